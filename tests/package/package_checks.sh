#!/usr/bin/env bash
# Checks of the installed layout and the desktop files; run by ctest.
#   package_checks.sh desktop FILE.desktop
#   package_checks.sh metainfo FILE.metainfo.xml
#   package_checks.sh man PAGE.1 PARLO_BINARY
#   package_checks.sh man-warnings PAGE.1
#   package_checks.sh install BUILD_DIR SOURCE_DIR VERSION
#   package_checks.sh deb BUILD_DIR VERSION
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# desktop-file-validate fails only on errors; a warning is a fault here too.
check_desktop() {
    local out
    out=$(desktop-file-validate "$1" 2>&1) || fail "desktop-file-validate: $out"
    if grep -Eq '(error|warning):' <<<"$out"; then fail "desktop-file-validate: $out"; fi
    grep -q '^Exec=parlo %F$' "$1" || fail "Exec does not pass several files (%F)"
}

check_metainfo() {
    appstreamcli validate --no-net --pedantic "$1"
}

# The text of the man page as a reader sees it, on one line per paragraph.
rendered_man() {
    LC_ALL=C.UTF-8 MANWIDTH=4000 man -E ascii -l "$1" 2>/dev/null | col -b
}

squeeze() { tr -s ' \t\n' '   ' | tr -s ' ' | sed 's/ *$//'; }

check_man_warnings() {
    local warnings
    warnings=$(LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man --warnings: $warnings"
}

check_man() {
    local page="$1" parlo="$2"
    check_man_warnings "$page"

    local help man_text
    help=$("$parlo" --help)
    man_text=$(rendered_man "$page" | squeeze)
    # Every option of --help is on the page with the same words, and the page names no
    # option the program does not know.
    local option_lines
    option_lines=$(sed -n '/^Options:/,/^Arguments:/p' <<<"$help" | sed '1d;$d')
    local current=""
    while IFS= read -r line; do
        if [[ "$line" =~ ^\ \ (-[^ ].*[^ ])\ \ +(.*)$ ]]; then
            [ -z "$current" ] || check_described "$current" "$man_text"
            current="${BASH_REMATCH[1]}|${BASH_REMATCH[2]}"
        else
            current="$current ${line#"${line%%[! ]*}"}"
        fi
    done <<<"$option_lines"
    [ -z "$current" ] || check_described "$current" "$man_text"

    local from_help from_man
    from_help=$(grep -oE -- '--[a-z][a-z-]*' <<<"$option_lines" | sort -u)
    from_man=$(rendered_man "$page" | sed -n '/^OPTIONS/,/^[A-Z]/p' |
        grep -oE -- '(^|[ ,(])--[a-z][a-z-]*' | grep -oE -- '--[a-z-]*' | sort -u)
    [ "$from_help" = "$from_man" ] ||
        fail "options differ between --help and the man page:"$'\n'"$(diff <(echo "$from_help") <(echo "$from_man"))"
}

# check_described "NAMES|DESCRIPTION" MAN_TEXT
check_described() {
    local names="${1%%|*}" description="${1#*|}"
    names=${names//</}
    names=${names//>/}
    description=$(squeeze <<<"$description")
    grep -qF -- "$names $description" <<<"$2" ||
        fail "the man page does not say \"$names $description\""
}

check_install() {
    local build="$1" source="$2" version="$3"
    prefix=$(mktemp -d)
    trap 'rm -rf "${prefix:?}"' EXIT
    cmake --install "$build" --prefix "$prefix/usr" >/dev/null
    local usr="$prefix/usr"
    local expected=(
        bin/parlo bin/parlo-updater
        share/parlo/Languages/Languages.lst share/parlo/Help/Index.htm
        share/applications/parlo.desktop
        share/metainfo/org.example.parlo.metainfo.xml
        share/icons/hicolor/scalable/apps/parlo.svg
        share/man/man1/parlo.1.gz share/man/man1/parlo-updater.1.gz
        share/doc/parlo/copyright share/doc/parlo/changelog.gz
    )
    for size in 16 22 24 32 48 64 128 256; do
        expected+=("share/icons/hicolor/${size}x${size}/apps/parlo.png")
        local dims
        dims=$(file "$usr/share/icons/hicolor/${size}x${size}/apps/parlo.png")
        [[ "$dims" == *"PNG image data, $size x $size"* ]] || fail "icon ${size}: $dims"
    done
    for file in "${expected[@]}"; do
        [ -f "$usr/$file" ] || fail "not installed: $file"
    done
    # Only the language files and help go to share/parlo, not the desktop's own files.
    [ "$(ls "$usr/share/parlo")" = $'Help\nLanguages' ] ||
        fail "share/parlo holds: $(ls "$usr/share/parlo")"

    [ "$("$usr/bin/parlo" --version)" = "parlo $version" ] || fail "installed --version"

    # The window starts from the prefix and reads the language files installed there, not
    # the source tree's. The program logs the end of its start-up, and ends cleanly on
    # SIGTERM; the time-out only bounds a failure.
    local home="$prefix/home"
    mkdir -p "$home"
    printf 'langID, Deutsch\r\n' >"$home/Parlo.ini"
    local trace="$prefix/trace.txt" tracer=()
    if strace -o /dev/null true 2>/dev/null; then
        tracer=(strace -f -qq -e trace=%file -o "$trace")
    else
        echo "strace cannot trace here; checking the start-up only"
    fi
    PARLO_HOME="$home" QT_QPA_PLATFORM=offscreen "${tracer[@]}" "$usr/bin/parlo" &
    local pid=$! waited=0
    until grep -q 'Startup Complete' "$home/log.txt" 2>/dev/null; do
        kill -0 "$pid" 2>/dev/null || fail "the installed parlo ended during start-up"
        ((waited++ < 1200)) || { kill "$pid"; fail "no start-up within two minutes"; }
        sleep 0.1
    done
    # Under strace the program is the tracer's child.
    local target="$pid"
    [ ${#tracer[@]} -eq 0 ] || target=$(pgrep -P "$pid")
    kill -TERM "$target"
    local status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || fail "the installed parlo ended with $status on SIGTERM"
    if [ ${#tracer[@]} -gt 0 ]; then
        grep -q "\"$usr/share/parlo/Languages/German.txt\"" "$trace" ||
            fail "the installed parlo did not read its installed language file"
        ! grep -q "\"$source/resources" "$trace" ||
            fail "the installed parlo read the source tree's resources"
    fi
}

# The package carries the program, its dependencies as dpkg-shlibdeps found them, and
# nothing outside /usr.
check_deb() {
    local build="$1" version="$2"
    out=$(mktemp -d)
    trap 'rm -rf "${out:?}"' EXIT
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
    local arch deb
    arch=$(dpkg --print-architecture)
    deb="$out/parlo_${version}_$arch.deb"
    [ -f "$deb" ] || fail "no $deb among: $(ls "$out")"
    local depends
    depends=$(dpkg-deb -f "$deb" Depends)
    for library in libqt6widgets6 libqt6multimedia6 libespeak-ng1 libcurl4 libzip4 libc6; do
        grep -q "\b$library\b" <<<"$depends" || fail "Depends lacks $library: $depends"
    done
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no Maintainer"
    # Package tools show the description indented, in 80 columns.
    if dpkg-deb -f "$deb" Description | grep -q '^.\{81\}'; then
        fail "a description line is longer than 80 characters"
    fi
    local listing files
    listing=$(dpkg-deb -c "$deb")
    files=$(awk '{print $6}' <<<"$listing")
    for file in ./usr/bin/parlo ./usr/bin/parlo-updater ./usr/share/applications/parlo.desktop \
        ./usr/share/parlo/Languages/German.txt ./usr/share/man/man1/parlo.1.gz \
        ./usr/share/doc/parlo/copyright ./usr/share/doc/parlo/changelog.gz; do
        grep -qx -- "$file" <<<"$files" || fail "$file is not in the package"
    done
    # Owned by root, writable by root alone, executable only where it is a program.
    local odd
    odd=$(awk '$2 != "root/root" ||
               ($1 !~ /^(drwxr-xr-x|-rw-r--r--)$/ &&
                !($1 == "-rwxr-xr-x" && $6 ~ /^\.\/usr\/bin\//))' <<<"$listing")
    [ -z "$odd" ] || fail "wrong owner or permissions:"$'\n'"$odd"
    dpkg-deb -x "$deb" "$out/root"
    head -1 "$out/root/usr/share/doc/parlo/copyright" |
        grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
        fail "the copyright file is not in Debian's machine-readable format"
    for binary in parlo parlo-updater; do
        [[ "$(file "$out/root/usr/bin/$binary")" == *", stripped"* ]] || fail "$binary is not stripped"
    done
    if grep -v '^\./usr/' <<<"$files" | grep -qvx '\./'; then
        fail "files outside /usr: $(grep -v '^\./usr/' <<<"$files")"
    fi
}

case "${1:-}" in
desktop) check_desktop "$2" ;;
metainfo) check_metainfo "$2" ;;
man) check_man "$2" "$3" ;;
man-warnings) check_man_warnings "$2" ;;
install) check_install "$2" "$3" "$4" ;;
deb) check_deb "$2" "$3" ;;
*) fail "unknown check: ${1:-}" ;;
esac
