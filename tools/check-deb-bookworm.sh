#!/usr/bin/env bash
# Installs a Parlo package into a fresh Debian 12 (bookworm) made with debootstrap, starts the
# installed program there, and checks that removing the package leaves nothing behind.
# Needs root, debootstrap and a Debian mirror; a few minutes. Not part of ./test.sh.
#   tools/check-deb-bookworm.sh build/parlo_VERSION_ARCH.deb [MIRROR]
set -euo pipefail

deb=$(realpath "${1:?usage: $0 PACKAGE.deb [MIRROR]}")
mirror="${2:-http://deb.debian.org/debian}"
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap and chroot need it)" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "install debootstrap first" >&2; exit 1; }

work=$(mktemp -d /tmp/parlo-bookworm.XXXXXX)
root="$work/root"
cleanup() {
    for mount in "$root/proc" "$root/dev/pts" "$root/dev"; do
        if mountpoint -q "$mount"; then umount "$mount"; fi
    done
    rm -rf --one-file-system "${work:?}"
}
trap cleanup EXIT

step() { echo "== $*"; }
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

step "debootstrap bookworm from $mirror"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    fail "debootstrap: $(tail -5 "$work/debootstrap.log")"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp "$deb" "$root/tmp/"
package="/tmp/$(basename "$deb")"
in_root apt-get update -qq
# strace shows which files the installed program reads; installed before the lists are taken.
in_root apt-get install -y -qq strace >/dev/null

# Every file of the system, apart from what changes on its own (logs, apt's caches).
file_list() {
    in_root find / -xdev \( -path /proc -o -path /dev -o -path /tmp -o -path /var/log \
        -o -path /var/cache/apt -o -path /var/lib/apt/lists -o -path /root \) -prune \
        -o -print | sort
}

step "apt install ./$(basename "$deb")"
DEBIAN_FRONTEND=noninteractive in_root apt-get install -y "$package" >"$work/install.log" 2>&1 ||
    fail "apt install: $(tail -20 "$work/install.log")"
grep -E '^(Depends|Recommends):' <(dpkg-deb -f "$deb")
# The dependencies stay when the package goes: the lists compare the system with them alone.
DEBIAN_FRONTEND=noninteractive in_root apt-get remove -y -qq --purge parlo >/dev/null
file_list >"$work/before.txt"
DEBIAN_FRONTEND=noninteractive in_root apt-get install -y -qq "$package" >/dev/null

step "the installed program"
version=$(in_root parlo --version) || fail "parlo --version"
echo "$version"
[ "$version" = "parlo $(dpkg-deb -f "$deb" Version)" ] || fail "--version says: $version"
in_root env QT_QPA_PLATFORM=offscreen parlo --help >"$work/help.txt" || fail "parlo --help"
grep -q -- '--version' "$work/help.txt" || fail "--help: $(cat "$work/help.txt")"

# The window starts offscreen in German, reading its language files from /usr/share/parlo;
# it logs the end of its start-up and ends cleanly on SIGTERM.
home=/tmp/parlo-home
mkdir -p "$root$home"
printf 'langID, Deutsch\r\n' >"$root$home/Parlo.ini"
in_root env PARLO_HOME="$home" QT_QPA_PLATFORM=offscreen \
    strace -f -qq -e trace=%file -o /tmp/trace.txt parlo &
tracer=$!
waited=0
until grep -q 'Startup Complete' "$root$home/log.txt" 2>/dev/null; do
    kill -0 "$tracer" 2>/dev/null || fail "the window ended during start-up: $(cat "$root$home/log.txt")"
    ((waited++ < 1200)) || fail "no start-up within two minutes"
    sleep 0.1
done
# The program runs under strace, under chroot: the one named parlo whose root is ours.
for pid in $(pgrep -x parlo); do
    [ "$(readlink "/proc/$pid/root")" != "$root" ] || kill -TERM "$pid"
done
status=0
wait "$tracer" || status=$?
[ "$status" -eq 0 ] || fail "the window ended with $status on SIGTERM"
grep -q '"/usr/share/parlo/Languages/German.txt"' "$root/tmp/trace.txt" ||
    fail "the window did not read /usr/share/parlo/Languages/German.txt"
echo "the window started and read its language file from /usr/share/parlo"

step "menu entry, icons, help, man page, copyright"
for file in /usr/share/applications/parlo.desktop /usr/share/icons/hicolor/scalable/apps/parlo.svg \
    /usr/share/icons/hicolor/48x48/apps/parlo.png /usr/share/parlo/Help/Index.htm \
    /usr/share/man/man1/parlo.1.gz /usr/share/doc/parlo/copyright \
    /usr/share/metainfo/org.example.parlo.metainfo.xml; do
    [ -f "$root$file" ] || fail "$file is missing"
done
grep -q '^Exec=parlo %F$' "$root/usr/share/applications/parlo.desktop" || fail "Exec line"
in_root dpkg -L parlo >"$work/package-files.txt"

step "apt remove --purge parlo"
DEBIAN_FRONTEND=noninteractive in_root apt-get remove -y -qq --purge parlo >/dev/null
file_list >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" || fail "the system differs after the removal"
while IFS= read -r file; do
    [ "$file" = /. ] || [ -d "$root$file" ] || [ ! -e "$root$file" ] || fail "$file is left"
done <"$work/package-files.txt"
echo "PASS: installed, started and removed cleanly in Debian 12"
