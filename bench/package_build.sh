#!/bin/bash
# Package build speed, memory and the main event loop's longest stall during a
# build, against the raw pipeline on the same tree:
#   cp -a  +  chmod 0755 on every entry below the copy  +  fakeroot dpkg-deb --build
# Usage: bench/package_build.sh [build-dir] [files] [megabytes] [rounds]
# The tree is generated in a temporary directory (removed afterwards). Each
# file holds a random 4 KiB block repeated: the copy moves every byte while
# dpkg-deb's compressor stays quick, so the comparison is not drowned in xz
# time. HOME points to the temporary directory, so no access-rights file of
# the user is read.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
FILES=${2:-5000}
MEGABYTES=${3:-200}
ROUNDS=${4:-3}

cmake --build "$BUILD" --target bench_package_build >/dev/null
BENCH=$BUILD/bench_package_build

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/bexlor-bench-XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
export HOME=$SCRATCH/home
mkdir -p "$HOME/.bexlor/builder"
WORK=$SCRATCH/work/mytool
mkdir -p "$WORK/DEBIAN" "$SCRATCH/out-raw" "$SCRATCH/out-ours" "$SCRATCH/raw"
printf 'Package: mytool\nVersion: 1.0\nArchitecture: all\nMaintainer: Bench <b@example.org>\nDescription: bench\n' \
    >"$WORK/DEBIAN/control"

python3 - "$WORK" "$FILES" "$MEGABYTES" <<'PY'
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
echo "tree: $(find "$WORK" -type f | wc -l) files, $(du -sm "$WORK" | cut -f1) MB (random 4 KiB blocks repeated)"

now() { date +%s%N; }
raw_round() {
    local start end
    start=$(now)
    cp -a "$WORK" "$SCRATCH/raw/mytool"
    find "$SCRATCH/raw/mytool" -mindepth 1 -exec chmod 0755 {} +
    fakeroot dpkg-deb --build "$SCRATCH/raw/mytool" "$SCRATCH/out-raw" >/dev/null
    end=$(now)
    rm -rf "$SCRATCH/raw/mytool" "$SCRATCH/out-raw"/*.deb
    echo $(((end - start) / 1000000))
}
ours_round() {
    local line
    line=$("$BENCH" "$WORK" "$SCRATCH/out-ours")
    rm -f "$SCRATCH/out-ours"/*.deb
    echo "$line"
}

# One untimed pass of each to warm the page cache.
raw_round >/dev/null
ours_round >/dev/null

raw_times=() ours_times=() peak=0 stall_peak=0
for ((round = 1; round <= ROUNDS; round++)); do
    raw=$(raw_round)
    line=$(ours_round)
    ours=${line#ms=}; ours=${ours%% *}
    rss=${line#*maxrss_kb=}; rss=${rss%% *}
    ((rss > peak)) && peak=$rss
    stall=${line#*stall_ms=}; stall=${stall%% *}
    ((stall > stall_peak)) && stall_peak=$stall
    raw_times+=("$raw") ours_times+=("$ours")
    echo "round $round: raw pipeline ${raw} ms, buildPackage ${ours} ms (with removal of its copy), peak RSS ${rss} kB, longest event-loop stall ${stall} ms"
done

median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
raw_median=$(median "${raw_times[@]}")
ours_median=$(median "${ours_times[@]}")
ratio=$(awk -v a="$ours_median" -v b="$raw_median" 'BEGIN { printf "%.3f", a / b }')
echo "median: raw ${raw_median} ms, buildPackage ${ours_median} ms, ratio ${ratio} (target <= 1.05)"
echo "peak memory of buildPackage process: $((peak / 1024)) MB (target < 50 MB)"
echo "longest stall of the main event loop during a build: ${stall_peak} ms (target <= 100 ms)"
