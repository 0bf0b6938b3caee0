#!/bin/sh
# Checksum refresh and installed-size walk against the command-line tools on
# the same generated tree (about 5,000 files, 200 MB), measured in one run.
# Targets: checksums <= 0.6 x find/md5sum, installed size <= 1.5 x du -sb.
# Each figure is the fastest of RUNS rounds (default 5) on a warm page cache;
# the program's own start-up is left out of its figures.
set -eu
cd "$(dirname "$0")/.."
RUNS=${RUNS:-5}
export RUNS
cmake -S . -B build >/dev/null
cmake --build build --target bench_debian_tools >/dev/null
program=./build/bench_debian_tools

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT INT TERM
work="$tree/work"
"$program" generate "$work"

now() { date +%s%N; }
# Wall-clock time in ms of the command given as arguments, output discarded.
timed() {
    start=$(now)
    "$@" >/dev/null
    end=$(now)
    awk -v ns="$((end - start))" 'BEGIN { printf "%.3f\n", ns / 1e6 }'
}
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

find_md5sum() {
    find "$work/" -type f -not -path "$work/DEBIAN*" -exec md5sum '{}' + >"$tree/md5sums.find"
}

cat "$work"/usr/share/pkg/*/* >/dev/null   # warm the page cache for both sides
# The two sides take turns, so that load from elsewhere on the machine hits
# both alike; each keeps its fastest round.
tool_md5= ours_md5= tool_du= ours_size=
round=0
while [ "$round" -lt "$RUNS" ]; do
    tool_md5=$(min "$(timed find_md5sum)" "$tool_md5")
    ours_md5=$(min "$(RUNS=1 "$program" checksums "$work" "$tree/md5sums.ours" 2>&1 >/dev/null)" "$ours_md5")
    tool_du=$(min "$(timed du -sb "$work")" "$tool_du")
    ours_size=$(min "$(RUNS=1 "$program" size "$work" 2>&1 >/dev/null)" "$ours_size")
    round=$((round + 1))
done

# Both sides must agree before their times mean anything.
sed "s|  $work/|  |" "$tree/md5sums.find" | cmp -s - "$tree/md5sums.ours" \
    || { echo "checksum lines differ from md5sum" >&2; exit 1; }

echo "checksums:      ours ${ours_md5} ms, find/md5sum ${tool_md5} ms"
echo "installed size: ours ${ours_size} ms, du -sb ${tool_du} ms"
awk -v a="$ours_md5" -v b="$tool_md5" 'BEGIN { printf "checksum ratio: %.2f (target <= 0.6)\n", a / b }'
awk -v a="$ours_size" -v b="$tool_du" 'BEGIN { printf "size ratio:     %.2f (target <= 1.5)\n", a / b }'
