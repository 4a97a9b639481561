#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the normal build (unit,
# gui and e2e tests; the display tests under Xvfb), a short fuzzing run, then
# the unit tests again in an AddressSanitizer + UndefinedBehaviorSanitizer build,
# and the tests of the threaded paths in a ThreadSanitizer build.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

export GSETTINGS_BACKEND=memory
export QUILLMARSH_HEADLESS=1
export NO_AT_BRIDGE=1
JOBS=$(nproc)
status=0

echo "=== normal build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo || exit 1
cmake --build build -j "$JOBS" || exit 1

if [ -f tests/fuzz/CMakeLists.txt ]; then
  echo "=== fuzzing (a few seconds per target)"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARSH_FUZZ=ON -DBUILD_TESTING=ON >/dev/null || exit 1
  targets=$(cmake --build build-fuzz --target help | sed -n 's/^\.\.\. \(fuzz_[A-Za-z0-9_]*\).*/\1/p')
  for t in $targets; do
    cmake --build build-fuzz --target "$t" -j "$JOBS" >/dev/null || { echo "fuzz build $t failed"; status=1; continue; }
    corpus=$(mktemp -d)
    seeds="tests/fuzz/corpus/${t#fuzz_}"
    [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
    if ! build-fuzz/"$t" -max_total_time=5 -rss_limit_mb=2048 "$corpus" >/tmp/"$t".log 2>&1; then
      echo "fuzz target $t failed:"; tail -40 /tmp/"$t".log; status=1
    else
      echo "fuzz target $t: $(grep -c . /tmp/$t.log) lines of log, no crash"
    fi
    rm -rf "$corpus"
  done
fi

echo "=== sanitizer build (unit tests)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLMARSH_SANITIZE=ON -DBUILD_TESTING=ON >/dev/null || exit 1
# Only what the unit tests need: their executables and the camera simulator.
asan_targets=$(cmake --build build-asan --target help | sed -n 's/^\.\.\. \(test_[A-Za-z0-9_]*_\(unit\|net\)\)$/\1/p')
cmake --build build-asan -j "$JOBS" --target device_sim $asan_targets || exit 1
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest -L unit -j "$JOBS" --output-on-failure) || status=1

echo "=== ThreadSanitizer build (the tests of the threaded paths)"
# The build configures only the threaded areas' tests (and of their window
# tests only those where a thread meets a window); any report fails the test
# (tests/tsan/suppressions.txt lists what is suppressed in system libraries).
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARSH_TSAN=ON -DBUILD_TESTING=ON >/dev/null || exit 1
tsan_targets=$(cmake --build build-tsan --target help | sed -n 's/^\.\.\. \(test_[A-Za-z0-9_]*\)$/\1/p')
cmake --build build-tsan -j "$JOBS" --target device_sim $tsan_targets || exit 1
(cd build-tsan && xvfb-run -a -s "-screen 0 1920x1080x24" ctest -j "$JOBS" --output-on-failure) || status=1

echo "=== every test of the normal build (the display tests under Xvfb)"
(cd build && xvfb-run -a -s "-screen 0 1920x1080x24" ctest -j "$JOBS" --output-on-failure) || status=1
exit $status
