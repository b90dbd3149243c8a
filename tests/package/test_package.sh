#!/usr/bin/env bash
# The Debian package from a built tree: its files, the programs run from it unpacked, and the
# checks the desktop, AppStream and Debian tools make of its parts.
# Usage: test_package.sh BUILD-DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/duplink-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
debs=("$scratch"/out/duplink_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single duplink_*.deb: ${debs[*]}"
deb=${debs[0]}

expected="./usr/bin/duplink
./usr/bin/duplink-modem-sim
./usr/share/applications/duplink.desktop
./usr/share/doc/duplink/changelog.gz
./usr/share/doc/duplink/copyright
./usr/share/man/man1/duplink-modem-sim.1.gz
./usr/share/man/man1/duplink.1.gz
./usr/share/metainfo/example.c_seed_24b7abc8.duplink.metainfo.xml"
for size in 16 22 24 32 48 64 128 256; do
    expected+=$'\n'"./usr/share/icons/hicolor/${size}x${size}/apps/duplink.png"
done
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)
diff <(sort <<<"$expected") <(echo "$files") || fail "the package's files differ (- expected, + found)"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6serialport6' ||
    fail "the dependencies were not found: $(dpkg-deb -f "$deb" Depends)"

root="$scratch/root"
dpkg -x "$deb" "$root"
export ProgramFiles="$scratch/data" QT_QPA_PLATFORM=offscreen
version=$("$root/usr/bin/duplink" --version)
[[ $version == "Duplink v."[0-9]* ]] || fail "duplink --version printed: $version"
listing=$("$root/usr/bin/duplink" --list-ports) || fail "duplink --list-ports failed"
grep -q '^COM1 ' <<<"$listing" || fail "duplink --list-ports printed: $listing"
"$root/usr/bin/duplink-modem-sim" --help | grep -q '^Usage: duplink-modem-sim' ||
    fail "duplink-modem-sim --help"

for page in duplink duplink-modem-sim; do
    warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man warns on $page.1: $warnings"
done
manual=$(MANWIDTH=80 man -l "$root/usr/share/man/man1/duplink.1.gz" 2>/dev/null | col -b)
for option in $("$root/usr/bin/duplink" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$option" <<<"$manual" || fail "duplink(1) leaves out $option"
done
for section in ENVIRONMENT FILES 'EXIT STATUS' EXAMPLES 'SEE ALSO' DUPLINK_COM 'Duplink ports.ini'; do
    grep -q -- "$section" <<<"$manual" || fail "duplink(1) has no $section"
done

desktop-file-validate "$root/usr/share/applications/duplink.desktop"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
lintian --fail-on error "$deb"
echo "PASS"
