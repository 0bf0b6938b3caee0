#!/bin/bash
# The package build against `fakeroot dpkg-deb --build` alone, side by side in
# one run, on two generated trees: 5,000 files of 200 MB in all, and 100,000
# small files of 100 MB. dpkg-deb alone packs an already staged copy of the
# same tree (with the md5sums the build writes), with the same compression.
# Every figure is the median of ROUNDS runs. The build's phases are printed
# too (the staging pass's walk, copy and hash are summed over its threads),
# and its peak memory: getrusage(RUSAGE_SELF) of the build's own process,
# the tools it runs not counted.
# Usage: bench/package_build.sh [build-dir] [rounds] [compression [level]]
# Each file holds a random 4 KiB block repeated and cut to its size: the
# large files compress well, the small ones hardly. The trees are generated
# in a temporary directory, removed afterwards; HOME points there, so no
# access-rights file of the user is read.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
ROUNDS=${2:-3}
COMPRESSION=${3:-xz}
LEVEL=${4:-}

cmake --build "$BUILD" --target bench_package_build >/dev/null
BENCH=$BUILD/bench_package_build
DPKG_OPTIONS=(-Z"$COMPRESSION")
[ -n "$LEVEL" ] && DPKG_OPTIONS+=(-z"$LEVEL")

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/bexlor-bench-XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
trap 'exit 130' INT TERM
export HOME=$SCRATCH/home
mkdir -p "$HOME/.bexlor/builder"

now() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
field() { local value=${1#* $2=}; echo "${value%% *}"; }

bench_tree() {
    local files=$1 megabytes=$2
    local work=$SCRATCH/work/mytool staged=$SCRATCH/staged/mytool out=$SCRATCH/out
    rm -rf "$SCRATCH/work" "$SCRATCH/staged" "$out"
    mkdir -p "$work/DEBIAN" "$out"
    printf 'Package: mytool\nVersion: 1.0\nArchitecture: all\nMaintainer: Bench <b@example.org>\nDescription: bench\n bench\n' \
        >"$work/DEBIAN/control"
    /usr/bin/python3 - "$work" "$files" "$megabytes" <<'PY'
import os, sys
root, files, megabytes = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
size = megabytes * 1024 * 1024 // files
for i in range(files):
    directory = os.path.join(root, "usr", "share", "mytool", "d%03d" % (i // 100))
    os.makedirs(directory, exist_ok=True)
    block = os.urandom(4096)
    with open(os.path.join(directory, "f%05d.dat" % i), "wb") as f:
        f.write((block * (size // 4096 + 1))[:size])
PY
    # What the build hands dpkg-deb: the tree, its modes, md5sums.
    mkdir -p "$(dirname "$staged")"
    cp -a "$work" "$staged"
    find "$staged" -type d -exec chmod 0755 {} +
    (cd "$work" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$staged/DEBIAN/md5sums"
    echo "== tree: $(find "$work" -type f | wc -l) files, $(du -sm "$work" | cut -f1) MB; compression ${DPKG_OPTIONS[*]}"

    raw_round() {
        local start end
        start=$(now)
        fakeroot dpkg-deb "${DPKG_OPTIONS[@]}" --build "$staged" "$out/raw.deb" >/dev/null
        end=$(now)
        rm -f "$out/raw.deb"
        echo $(((end - start) / 1000000))
    }
    ours_round() {
        local line
        line=$("$BENCH" "$work" "$out" "$COMPRESSION" $LEVEL)
        rm -f "$out"/*.deb
        echo " $line "
    }
    # One untimed pass of each to warm the page cache.
    raw_round >/dev/null
    ours_round >/dev/null

    local raws=() lines=() round raw line
    for ((round = 1; round <= ROUNDS; round++)); do
        raw=$(raw_round)
        line=$(ours_round)
        raws+=("$raw") lines+=("$line")
        echo "round $round: dpkg-deb alone ${raw} ms; bexlor build ${line# }"
    done
    local phases=() phase values line_ms=() rss=()
    for line in "${lines[@]}"; do
        line_ms+=("$(field "$line" ms)") rss+=("$(field "$line" maxrss_kb)")
    done
    for phase in check walk copy hash ELF control pack verify lint cleanup; do
        values=()
        for line in "${lines[@]}"; do values+=("$(field "$line" "$phase")"); done
        phases+=("$phase $(median "${values[@]}") ms")
    done
    local raw_median ours_median
    raw_median=$(median "${raws[@]}")
    ours_median=$(median "${line_ms[@]}")
    echo "median phases of the build: $(IFS=,; echo "${phases[*]}" | sed 's/,/, /g')"
    echo "median: dpkg-deb alone ${raw_median} ms, bexlor build ${ours_median} ms," \
        "ratio $(awk -v a="$ours_median" -v b="$raw_median" 'BEGIN { printf "%.3f", a / b }')"
    echo "peak memory of the build (median): $(($(median "${rss[@]}") / 1024)) MB (target < 100 MB)"
}

echo "machine: $(nproc) cores; $(dpkg-deb --version | head -1)"
bench_tree 5000 200
echo "target for 5,000 files: ratio <= 1.05"
bench_tree 100000 100
echo "target for 100,000 files: ratio <= 1.3"
