#!/usr/bin/env bash
# Runs the installed commands under PREFIX (bin/, share/) on the shipped
# example in fresh folders, and compares the tables byte for byte with
# those of the build tree's programs in BUILD_BIN.
# usage: tools/installed_test.sh PREFIX BUILD_BIN
set -euo pipefail
prefix=$(cd "$1" && pwd) build_bin=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "installed_test: $*" >&2; exit 1; }

for page in cover2sd sd2cover quorvane-csv quorvane-plot quorvane-batch; do
  [ -x "$prefix/bin/$page" ] || fail "$prefix/bin/$page is not installed"
  [ -f "$prefix/share/man/man1/$page.1" ] || fail "no man page $page.1"
done
for doc in README.md input.txt; do
  cmp -s "$prefix/share/doc/quorvane/$doc" "$root/${doc/input.txt/examples/input.txt}" ||
    fail "share/doc/quorvane/$doc differs from the source"
done

mkdir "$work/installed" "$work/built"
for d in installed built; do cp "$prefix/share/doc/quorvane/input.txt" "$work/$d/"; done
(cd "$work/installed" && PATH=$prefix/bin:/usr/bin:/bin && cover2sd && sd2cover) ||
  fail "the installed programs failed"
(cd "$work/built" && "$build_bin/cover2sd" && "$build_bin/sd2cover")
for f in Quorvane_output_percentage.txt Quorvane_output_absolute.txt Quorvane_output.txt \
  calculations.txt ncol; do
  cmp -s "$work/installed/$f" "$work/built/$f" || fail "$f differs from the build tree's"
done
PATH=$prefix/bin:$PATH quorvane-csv "$work/installed/Quorvane_output_percentage.txt" |
  head -1 | grep -qx 'N,beta,sunshine_percent' || fail "quorvane-csv"
if command -v gnuplot >/dev/null; then
  PATH=$prefix/bin:$PATH quorvane-plot "$work/installed" || fail "quorvane-plot"
  [ -s "$work/installed/Quorvane_output_percentage.png" ] || fail "no picture"
fi
if command -v parallel >/dev/null; then
  echo 'ljubljana 46 3 0 14 30 0' >"$work/stations.txt"
  (cd "$work" && PATH=$prefix/bin:$PATH quorvane-batch --days 172-173 stations.txt \
    "$prefix/share/doc/quorvane/input.txt" year >/dev/null) || fail "quorvane-batch"
  for f in Quorvane_output_percentage.txt Quorvane_output.txt; do
    cmp -s "$work/year/ljubljana/06-21/$f" "$work/built/$f" || fail "batch: $f differs"
  done
fi
echo "installed_test: every installed command under $prefix works and matches the build"
