#!/usr/bin/env bash
# Builds and runs every test: the release build, the installed commands and
# the Debian package, the same suite built with AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short, bounded
# libFuzzer run of the parameter reader, the fine-table read-back and the
# closed form of Simpson's sum against simpson.
# Environment: JOBS (default: all cores), FUZZ_SECONDS per target (default 30;
# 0 skips fuzzing).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
fuzz_seconds=${FUZZ_SECONDS:-30}

echo "== release build and tests"
bench=OFF; [ -f /usr/include/benchmark/benchmark.h ] && bench=ON
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=ON -DQUORVANE_BENCH=$bench
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" | tee build/ctest.log

echo "== installed commands, and the Debian package unpacked"
rm -rf build/stage build/unpacked build/quorvane_*.deb
cmake --install build --prefix "$PWD/build/stage" >/dev/null
bash tools/installed_test.sh build/stage build/bin
(cd build && cpack -G DEB >/dev/null)
dpkg-deb --field build/quorvane_*.deb Package Version Depends
dpkg -x build/quorvane_*.deb build/unpacked
bash tools/installed_test.sh build/unpacked/usr build/bin

echo "== sanitizer build and tests"
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_TESTS=ON \
  -DQUORVANE_SANITIZE=address,undefined,float-cast-overflow
cmake --build build-sanitize -j"$jobs"
ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

if [ "$fuzz_seconds" -gt 0 ]; then
  echo "== fuzzing, ${fuzz_seconds}s per target"
  CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_TESTS=OFF \
    -DQUORVANE_FUZZ=ON -DQUORVANE_SANITIZE=address,undefined,float-cast-overflow
  cmake --build build-fuzz -j"$jobs" --target parameters_fuzz fine_table_fuzz simpson_fuzz
  for target in parameters fine_table simpson; do
    mkdir -p "build-fuzz/corpus/$target"
    "build-fuzz/bin/${target}_fuzz" -max_total_time="$fuzz_seconds" -close_fd_mask=2 \
      -print_final_stats=1 "build-fuzz/corpus/$target" "fuzz/corpus/$target"
  done
fi

# The release suite's closing lines again, for readers of the log's end.
tail -n 3 build/ctest.log
