# Shared by run.sh and test.sh: install what is missing, then configure and build.
# shellcheck shell=bash

PARLO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Everything the build, the program and the tests need from Debian.
PARLO_PACKAGES=(
    cmake ninja-build g++ pkg-config clang libclang-rt-14-dev
    qt6-base-dev qt6-multimedia-dev libgl-dev
    libespeak-ng-dev espeak-ng
    libcurl4-openssl-dev libzip-dev libdeflate-dev libsndfile1-dev libsoxr-dev libmp3lame-dev libsox-fmt-mp3
    libgtest-dev libgmock-dev
    pulseaudio xvfb xauth dbus-daemon playerctl
    python3 python3-pyftpdlib tinyproxy sox curl openssl
    fonts-dejavu-core gnome-icon-theme
    librsvg2-bin desktop-file-utils appstream man-db groff strace procps file bsdextrautils dpkg-dev
)

parlo_install_packages() {
    local missing=()
    for pkg in "${PARLO_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# parlo_build BUILD_DIR [cmake options...]
parlo_build() {
    local dir="$1"
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$PARLO_ROOT" -B "$dir" -G Ninja "$@"
    fi
    cmake --build "$dir" -j "$(nproc)"
}
