#!/bin/bash
# CPU time of plain, untyped Python programs (bench/speed/*.py: numbers,
# strings and dictionaries, objects and method calls) run by the runtime's
# interpreter, and built by `bexlor-build exe` for size and for speed, side
# by side in one run. For each program it prints the built program's CPU
# time (user + system) divided by the interpreter's, the median of ROUNDS
# runs, and the geometric mean over the programs, with the executables'
# sizes. Target for the speed build: <= 1.0 in the geometric mean, <= 1.1 on
# each program. The three take turns in every round, so that load from
# elsewhere on the machine hits them alike; each built program must print
# what the interpreter prints.
# Usage: bench/exe_speed.sh [build-dir] [rounds] [runtime]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
ROUNDS=${2:-5}
RUNTIME=${3:-python3.11}

cmake --build "$BUILD" --target bexlor-build >/dev/null
TOOL=$PWD/$BUILD/bexlor-build
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/bexlor-bench-XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
trap 'exit 130' INT TERM
export XDG_CACHE_HOME=$SCRATCH/cache

# CPU seconds of one run, its output thrown away.
cpu() {
    local TIMEFORMAT='%3U %3S'
    { time "$@" >/dev/null; } 2>&1 | awk '{ printf "%.3f\n", $1 + $2 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

programs=()
for source in bench/speed/*.py; do
    program=$(basename "$source" .py)
    programs+=("$program")
    mkdir "$SCRATCH/$program"
    cp "$source" "$SCRATCH/$program/main.py"
    expected=$(cd "$SCRATCH/$program" && "/usr/bin/$RUNTIME" main.py)
    for optimise in size speed; do
        "$TOOL" exe "$SCRATCH/$program/main.py" --runtime "$RUNTIME" --output-dir "$SCRATCH/$program" \
            --name "$optimise" --optimise "$optimise" --quiet >"$SCRATCH/$program/$optimise.log" 2>&1 \
            || { cat "$SCRATCH/$program/$optimise.log" >&2; exit 1; }
        [ "$(cd "$SCRATCH/$program" && "./$optimise")" = "$expected" ] \
            || { echo "$program built for $optimise prints otherwise" >&2; exit 1; }
    done
done

printf '%-10s %12s %12s %12s %8s %8s\n' program interpreter size speed 'size/i' 'speed/i'
product_size=1 product_speed=1
for program in "${programs[@]}"; do
    directory=$SCRATCH/$program
    : >"$directory/interpreter.cpu"; : >"$directory/size.cpu"; : >"$directory/speed.cpu"
    for ((round = 0; round < ROUNDS; round++)); do
        (cd "$directory" && cpu "/usr/bin/$RUNTIME" main.py) >>"$directory/interpreter.cpu"
        (cd "$directory" && cpu ./size) >>"$directory/size.cpu"
        (cd "$directory" && cpu ./speed) >>"$directory/speed.cpu"
    done
    interpreter=$(median <"$directory/interpreter.cpu")
    size=$(median <"$directory/size.cpu")
    speed=$(median <"$directory/speed.cpu")
    ratios=$(awk -v i="$interpreter" -v a="$size" -v b="$speed" 'BEGIN { printf "%.3f %.3f", a / i, b / i }')
    printf '%-10s %11ss %11ss %11ss %8s %8s\n' "$program" "$interpreter" "$size" "$speed" $ratios
    product_size=$(awk -v p="$product_size" -v r="${ratios% *}" 'BEGIN { print p * r }')
    product_speed=$(awk -v p="$product_speed" -v r="${ratios#* }" 'BEGIN { print p * r }')
done
awk -v a="$product_size" -v b="$product_speed" -v n="${#programs[@]}" \
    'BEGIN { printf "geometric mean: size %.3f, speed %.3f (target for speed <= 1.0, each <= 1.1)\n", a ^ (1 / n), b ^ (1 / n) }'
for program in "${programs[@]}"; do
    printf '%-10s size build %s bytes, speed build %s bytes\n' "$program" \
        "$(stat -c %s "$SCRATCH/$program/size")" "$(stat -c %s "$SCRATCH/$program/speed")"
done
