#!/usr/bin/env bash
# Makes the Debian package from build/ with CPack, installs it with apt-get, and checks the installed copy:
# both programs start (the window offscreen, drawing itself), the desktop entry and the AppStream metainfo
# pass their validators, the desktop knows the new file types, udev reads the USB rule for the handheld without
# a complaint, and the package is removed again at the end.
# Installs the packages it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/env.sh
scripts/deps.sh
# dpkg-dev and file: CPack's dependency search; the rest: the checks of the installed copy.
scripts/install-packages.sh dpkg-dev file desktop-file-utils appstream shared-mime-info xdg-utils \
    libfile-mimeinfo-perl libglib2.0-bin udev

echo "== package =="
scripts/build.sh build -DTUNELORE_WERROR=ON
rm -f build/tunelore-importer_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls "$PWD"/build/tunelore-importer_*.deb)
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Depends\|Recommends\):/\1:/p'

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo env DEBIAN_FRONTEND=noninteractive"
fi
$sudo apt-get install -y -qq "$deb" >/dev/null
work=$(mktemp -d)
trap '$sudo apt-get remove -y -qq tunelore-importer >/dev/null; rm -rf "$work"' EXIT

failures=0
check()
{
    # check WHAT COMMAND...: runs the command and reports it.
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}
installed()
{
    dpkg -L tunelore-importer | grep -qx "$1"
}

version=$(sed -n 's/^project(TuneloreImporter VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
check "tunelore-cli --version" bash -c "/usr/bin/tunelore-cli --version | grep -qx 'tunelore-cli $version'"
check "tunelore-importer --screenshot" bash -c "QT_QPA_PLATFORM=offscreen /usr/bin/tunelore-importer \
    --screenshot '$work/window.png' examples/* 2>/dev/null && file '$work/window.png' | grep -q 'PNG image data'"
for file in /usr/share/man/man1/tunelore-cli.1.gz /usr/share/man/man1/tunelore-importer.1.gz \
    /usr/share/bash-completion/completions/tunelore-cli /usr/share/icons/hicolor/scalable/apps/tunelore-importer.svg; do
    check "installed $file" installed "$file"
done
check "depends on libusb-1.0-0" bash -c "dpkg-query -W -f='\${Depends}' tunelore-importer | grep -Eq '(^|, )libusb-1.0-0( |,|\$)'"

# The udev rule: the Palm vendor id, access through the seat's access list only (no mode, group or owner for
# everybody), and udev reads it without rejecting a line.
rules=/usr/lib/udev/rules.d/60-tunelore-palm.rules
check "installed $rules" installed "$rules"
check "udev rule names the Palm vendor id 0830" grep -q '^ATTR{idVendor}=="0830".*TAG+="uaccess"' "$rules"
check "udev rule sets no mode, group or owner" bash -c "! grep -Eq '^[^#]*(MODE|GROUP|OWNER|RUN)' '$rules'"
udev_reads_rule()
{
    if udevadm verify --help >/dev/null 2>&1; then
        udevadm verify "$rules"
        return
    fi
    # No verify before udev 253 (Debian 12 has 252): a dry run over the loopback device reads every rule file
    # and names each line it rejects as FILE:LINE.
    local log
    log=$(udevadm test /sys/class/net/lo 2>&1 || true)
    if ! grep -q "Reading rules file: $rules" <<<"$log"; then
        echo "  udevadm test did not read $rules"
        return 1
    fi
    ! grep "^$rules:" <<<"$log"
}
if command -v udevadm >/dev/null && [ -e /sys/class/net/lo ]; then
    check "udevadm reads the rule without a complaint" udev_reads_rule
else
    echo "skipped: udevadm reads the rule (no udevadm or no /sys here)"
fi
check "desktop-file-validate" desktop-file-validate /usr/share/applications/tunelore-importer.desktop
check "appstreamcli validate" appstreamcli validate --no-net /usr/share/metainfo/io.github.tunelore.importer.metainfo.xml

# The file types as a desktop sees them: a ChordPro song, the handheld's song database (a database the
# command line builds, given the handheld's type), and an import database, which the window does not claim.
printf '[G]Amazing grace, how [C]sweet the sound\n' >"$work/grace.cho" # no title: the name decides
/usr/bin/tunelore-cli build -o "$work/import.pdb" "$work/grace.cho" >/dev/null
cp "$work/import.pdb" "$work/songs.pdb"
printf 'SONG' | dd of="$work/songs.pdb" bs=1 seek=60 conv=notrunc status=none
unset XDG_CURRENT_DESKTOP # the desktop-neutral way, through the shared MIME database
expect()
{
    # expect WHAT EXPECTED COMMAND...: the command prints EXPECTED.
    local what=$1 expected=$2 got
    shift 2
    got=$("$@" 2>/dev/null || true)
    check "$what -> '$expected'" test "$got" == "$expected"
    [ "$got" == "$expected" ] || echo "  got '$got'"
}
expect "xdg-mime query filetype grace.cho" application/x-chordpro xdg-mime query filetype "$work/grace.cho"
expect "xdg-mime query filetype songs.pdb" application/x-tunelore-songs xdg-mime query filetype "$work/songs.pdb"
expect "xdg-mime query filetype import.pdb" application/x-tunelore-song-import \
    xdg-mime query filetype "$work/import.pdb"
expect "opens song databases" tunelore-importer.desktop xdg-mime query default application/x-tunelore-songs
# Nor plain texts. GIO, as GNOME's opener, also offers the handlers of a type's parents: claiming all Palm
# databases would show here.
for type in text/plain application/x-tunelore-song-import application/x-tunelore-chord-import; do
    check "never opens $type" bash -c "! gio mime $type | grep -q tunelore-importer"
done

if [ $failures -ne 0 ]; then
    echo "package: $failures checks failed"
    exit 1
fi
echo "package: every check passed"
