#!/bin/sh
# The project packages itself: scripts/make-deb builds the .deb from BUILDDIR into a
# temporary directory; lintian --pedantic finds no error and no warning in it; it installs,
# the installed programs answer --help, its manual pages and metainfo pass man and
# appstreamcli, and it is purged again, also when a check fails. Root only; 77: skipped.
set -eu
build=$1
repo=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" != 0 ]; then
    echo "Installing the package needs root: skipped"
    exit 77
fi
installed() { dpkg-query -W -f '${db:Status-Status}' bexlor-builder 2>/dev/null | grep -qx installed; }
if installed; then
    echo "bexlor-builder is installed on this machine already: not replaced by a test"
    exit 77
fi
out=$(mktemp -d)
trap 'dpkg --purge bexlor-builder >/dev/null 2>&1 || true; rm -rf "$out"' EXIT
sh "$repo/scripts/make-deb" "$out" "$build" >"$out/make.log" 2>&1 || { cat "$out/make.log"; exit 1; }
deb=$(ls "$out"/bexlor-builder_*.deb)
# lintian leaves scratch files in its TMPDIR: this one goes with the rest.
tags=$(TMPDIR=$out lintian --pedantic "$deb" 2>/dev/null | grep -E '^[EW]: ' || true)
[ -z "$tags" ] || { echo "lintian --pedantic:"; echo "$tags"; exit 1; }
dpkg -i "$deb"
bexlor-build --help | grep -q 'Коды завершения'
for page in bexlor-build bexlor-builder; do
    warnings=$(man --warnings -E UTF-8 -l -Tutf8 -Z "/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$page.1: $warnings"; exit 1; }
done
appstreamcli validate --no-net /usr/share/metainfo/org.bexlor.builder.metainfo.xml
dpkg --verify bexlor-builder
dpkg --purge bexlor-builder
if installed; then echo "bexlor-builder is still installed after the purge"; exit 1; fi
echo "bexlor-builder packaged itself, installed, ran and was purged"
