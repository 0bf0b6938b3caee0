#!/bin/sh
# The project packages itself, reproducibly: scripts/make-deb, run on two copies of the
# source tree in two directories under another umask, time zone and locale, builds the same
# bytes twice; lintian finds no tag at info level or above in the package (--pedantic, so
# that a new pedantic tag shows too, but only E, W and I fail); as root it installs, the
# installed programs answer --help, their manual pages and metainfo pass man and appstreamcli,
# and it is purged again, also when a check fails.
# Usage: selfpackage.sh SOURCE_DIR
set -eu
source=$1
scratch=$(mktemp -d)
installed() { dpkg-query -W -f '${db:Status-Status}' bexlor-builder 2>/dev/null | grep -qx installed; }
purge=
trap '[ -z "$purge" ] || dpkg --purge bexlor-builder >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT

# The files of the checkout as they stand, changes and new files included, build trees not.
files=$(cd "$source" && { git ls-files -co --exclude-standard 2>/dev/null || find . -path ./build -prune -o \
    -path './build-*' -prune -o -type f -print; } | while IFS= read -r file; do [ ! -e "$file" ] || echo "$file"; done)
export SOURCE_DATE_EPOCH=1700000000
build() { # directory, umask, TZ, locale
    mkdir -p "$1/src"
    (cd "$source" && echo "$files" | tar -cf - -T -) | (umask "$2" && tar -xf - -C "$1/src")
    (umask "$2" && TZ=$3 LC_ALL=$4 sh "$1/src/scripts/make-deb" "$1/out" "$1/src/build-deb") >"$1/make.log" 2>&1 ||
        { cat "$1/make.log"; exit 1; }
}
build "$scratch/one" 022 UTC C.UTF-8
build "$scratch/two/deeper" 077 Asia/Tokyo C
deb=$(ls "$scratch"/one/out/bexlor-builder_*.deb)
if ! cmp "$deb" "$scratch"/two/deeper/out/bexlor-builder_*.deb; then
    command -v diffoscope >/dev/null && diffoscope --text - "$deb" "$scratch"/two/deeper/out/bexlor-builder_*.deb | head -100
    exit 1
fi

# lintian leaves scratch files in its TMPDIR: this one goes with the rest.
tags=$(TMPDIR=$scratch lintian --pedantic -I "$deb" 2>/dev/null | grep -E '^[EWI]: ' || true)
[ -z "$tags" ] || { echo "lintian --pedantic -I:"; echo "$tags"; exit 1; }

if [ "$(id -u)" != 0 ]; then
    echo "bexlor-builder packaged itself reproducibly; installing it needs root: not installed"
    exit 0
fi
if installed; then
    echo "bexlor-builder is installed on this machine already: not replaced by a test"
    exit 0
fi
purge=yes
dpkg -i "$deb"
bexlor-build --help | grep -q 'Коды завершения'
for page in bexlor-build bexlor-builder; do
    warnings=$(man --warnings -E UTF-8 -l -Tutf8 -Z "/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$page.1: $warnings"; exit 1; }
done
appstreamcli validate --no-net /usr/share/metainfo/org.bexlor.builder.metainfo.xml
dpkg --verify bexlor-builder
dpkg --purge bexlor-builder
purge=
if installed; then echo "bexlor-builder is still installed after the purge"; exit 1; fi
echo "bexlor-builder packaged itself reproducibly, installed, ran and was purged"
