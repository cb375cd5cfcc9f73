#!/usr/bin/env bash
# Benchmark: one cell, a 1001-column sd2cover run and a 1001-column cover2sd
# run, each shipped against the reference build that evaluates pow at every
# integration node; the sd2cover run also against the bare arithmetic.
# Prints times and ratios. Needs libbenchmark-dev.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON -DQUORVANE_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" >/dev/null
bin=$root/build-bench/bin

echo "== one cell (example site and date, N 0.37, beta 0.5, cuboidal)"
"$bin/cell_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_format=csv 2>/dev/null >"$root/build-bench/cells.csv"
cell_ns() { awk -F, -v n="\"$1_median\"" '$1 == n { print $3 }' "$root/build-bench/cells.csv"; }
straight=$(cell_ns cell/straightforward)
shipped=$(cell_ns cell/shipped)
bare=$(cell_ns cell/bare_arithmetic)
printf '%-28s %12.0f ns\n' "straightforward" "$straight" "shipped" "$shipped" "bare arithmetic" "$bare"
awk -v s="$straight" -v p="$shipped" -v b="$bare" \
  'BEGIN { printf "ratio straightforward/shipped: %.1f   shipped/bare: %.2f\n", s / p, p / b }'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Example site and date; beta 0 to 1 by 0.001; N 0 to 1 by 0.01; SD 0 to 100 by 1.
input="46 3 0 14 30 0 21 6 0 1 0.001 0 1 0.01 0 100 1 2014 1"

# Runs $1 in a fresh folder $2; prints wall seconds and peak memory (KiB).
run() {
  mkdir -p "$2" && echo "$input" >"$2/input.txt"
  local start end
  start=$(date +%s.%N)
  if [ -x /usr/bin/time ]; then
    (cd "$2" && /usr/bin/time -f %M -o rss "$1")
  else
    (cd "$2" && "$1" && echo 0 >rss)
  fi
  end=$(date +%s.%N)
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }') $(cat "$2/rss")"
}

for program in sd2cover cover2sd; do
  echo "== $program, 1001 beta columns"
  read -r t_ship rss_ship <<<"$(run "$bin/$program" "$work/$program")"
  read -r t_ref rss_ref <<<"$(run "$bin/${program}_reference" "$work/${program}_reference")"
  for f in "$work/$program"/*.txt "$work/$program/ncol"; do
    cmp -s "$f" "$work/${program}_reference/${f##*/}" || { echo "outputs differ: ${f##*/}"; exit 1; }
  done
  printf '%-28s %8.3f s  %8d KiB\n' "reference (pow at each node)" "$t_ref" "$rss_ref" \
    "shipped" "$t_ship" "$rss_ship"
  cells=$(( 100 * 1001 ))
  [ "$program" = cover2sd ] && cells=$(( 101 * 1001 ))
  awk -v r="$t_ref" -v s="$t_ship" -v b="$bare" -v c="$cells" 'BEGIN {
    printf "ratio reference/shipped: %.1f   shipped/bare arithmetic (%d cells x %.0f ns = %.3f s): %.2f\n",
      r / s, c, b, c * b * 1e-9, s / (c * b * 1e-9) }'
done
echo "outputs of shipped and reference builds are identical"
