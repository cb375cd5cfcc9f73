#!/usr/bin/env bash
# Benchmark: one cell, and whole 1001-column runs of sd2cover and cover2sd,
# each shipped against
#   - the reference build (pow at every integration node, simpson's 4999
#     additions one by one), and
#   - the replay build (the cell results read back from a recording instead
#     of computed: what a run costs besides the arithmetic).
# Checks that every build writes the same bytes. Prints times and ratios.
# Needs libbenchmark-dev. Environment: ROUNDS (default 15) shipped/replay
# pairs, run alternately so that a drift of the machine meets both alike;
# the fastest run of each variant counts.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rounds=${ROUNDS:-15}
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON -DQUORVANE_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" >/dev/null
bin=$root/build-bench/bin

echo "== one cell (example site and date, N 0.37, beta 0.5, cuboidal)"
"$bin/cell_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_format=csv 2>/dev/null >"$root/build-bench/cells.csv"
cell_ns() { awk -F, -v n="\"$1_median\"" '$1 == n { print $3 }' "$root/build-bench/cells.csv"; }
printf '%-32s %10.0f ns\n' "straightforward (pow each node)" "$(cell_ns cell/straightforward)" \
  "shipped" "$(cell_ns cell/shipped)" "closed-form sum alone" "$(cell_ns cell/closed_form_sum)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Example site and date; beta 0 to 1 by 0.001; N 0 to 1 by 0.01; SD 0 to 100 by 1.
input="46 3 0 14 30 0 21 6 0 1 0.001 0 1 0.01 0 100 1 2014 1"

for program in sd2cover cover2sd; do
  echo "== $program, 1001 beta columns"
  for variant in shipped reference record replay; do
    mkdir -p "$work/$program/$variant" && echo "$input" >"$work/$program/$variant/input.txt"
  done
  exe() { [ "$1" = shipped ] && echo "$bin/$program" || echo "$bin/${program}_$1"; }
  export QUORVANE_CELLS=$work/$program/cells.bin
  (cd "$work/$program/record" && "$(exe record)")
  # The reference twice, shipped and replay alternately: the fastest run of
  # each counts, so that a drift of the machine meets all alike.
  read -r t_ref _ < <("$bin/run_timer" 2 "$work/$program/reference" "$(exe reference)")
  { read -r t_ship mean_ship; read -r t_replay mean_replay; } < <("$bin/run_timer" "$rounds" \
    "$work/$program/shipped" "$(exe shipped)" "$work/$program/replay" "$(exe replay)")
  for variant in reference record replay; do
    for f in "$work/$program/shipped"/*.txt "$work/$program/shipped/ncol"; do
      cmp -s "$f" "$work/$program/$variant/${f##*/}" ||
        { echo "outputs differ: $variant ${f##*/}"; exit 1; }
    done
  done
  rss=0
  [ -x /usr/bin/time ] && rss=$(cd "$work/$program/shipped" && /usr/bin/time -f %M "$(exe shipped)" 2>&1)
  awk -v r="$t_ref" -v s="$t_ship" -v p="$t_replay" -v ms="$mean_ship" -v mp="$mean_replay" \
    -v m="$rss" 'BEGIN {
    printf "%-32s %9.1f ms\n", "reference (pow at each node)", r
    printf "%-32s %9.1f ms (mean %.1f)   peak memory %d KiB\n", "shipped", s, ms, m
    printf "%-32s %9.1f ms (mean %.1f)\n", "replay (no cell arithmetic)", p, mp
    printf "reference/shipped: %.0f   shipped/replay: %.2f\n", r / s, s / p }'
done
echo "outputs of the shipped, reference, recording and replay builds are identical"
