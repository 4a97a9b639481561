#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the normal build (unit,
# gui and e2e tests; the display tests under Xvfb), a short fuzzing run, then
# the unit tests again in an AddressSanitizer + UndefinedBehaviorSanitizer build,
# and the tests of the threaded paths in a ThreadSanitizer build.  It ends with
# what became of each stage and a CTest summary of every test run, and exits
# non-zero when any stage failed.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || { echo "=== FAILED: installing the dependencies"; exit 1; }

export GSETTINGS_BACKEND=memory
export QUILLMARSH_HEADLESS=1
export NO_AT_BRIDGE=1
JOBS=$(nproc)

stages=()   # "name: outcome", in the order run
failed=()   # names of the stages that failed
pass() { stages+=("$1: passed"); }
fail() { stages+=("$1: FAILED${2:+ ($2)}"); failed+=("$1"); }
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

summary() {
  echo "=== stages"
  printf '  %s\n' "${stages[@]}"
  if [ ${#failed[@]} -gt 0 ]; then
    local joined
    joined=$(printf '%s, ' "${failed[@]}")
    echo "=== FAILED stages: ${joined%, }"
  else
    echo "=== every stage passed"
  fi
  # The output ends as CTest's own does, counting every CTest run above (the
  # sanitizer builds' too): the summary line, then the tests that failed.
  local total=0 bad=0 n f log
  for log in "$logs"/*.log; do
    [ -e "$log" ] || continue
    read -r f n < <(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests failed out of \([0-9]*\)$/\1 \2/p' "$log" | tail -1)
    total=$((total + ${n:-0})); bad=$((bad + ${f:-0}))
  done
  [ "$total" -gt 0 ] || return 0
  echo
  echo "$(( (total - bad) * 100 / total ))% tests passed, $bad tests failed out of $total"
  if [ "$bad" -gt 0 ]; then
    echo
    echo "The following tests FAILED:"
    for log in "$logs"/*.log; do
      sed -n '/^The following tests FAILED:$/,/^Errors while running CTest/{/^[[:space:]]*[0-9][0-9]* - /p}' "$log"
    done
    echo "Errors while running CTest"
  fi
}

# Runs ctest in a build folder (further arguments go to ctest), its output
# shown and kept, under the given name, for the closing summary.
run_ctest() {
  local name=$1 dir=$2; shift 2
  (cd "$dir" && "$@") 2>&1 | tee "$logs/$name.log"
  return "${PIPESTATUS[0]}"
}

echo "=== normal build"
if ! cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo || ! cmake --build build -j "$JOBS"; then
  fail "normal build"
  summary
  exit 1
fi
pass "normal build"

if [ -f tests/fuzz/CMakeLists.txt ]; then
  echo "=== fuzzing (a few seconds per target)"
  bad=()
  if CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARSH_FUZZ=ON -DBUILD_TESTING=ON >/dev/null; then
    targets=$(cmake --build build-fuzz --target help | sed -n 's/^\.\.\. \(fuzz_[A-Za-z0-9_]*\).*/\1/p')
    for t in $targets; do
      cmake --build build-fuzz --target "$t" -j "$JOBS" >/dev/null || { echo "fuzz build $t failed"; bad+=("$t build"); continue; }
      corpus=$(mktemp -d)
      seeds="tests/fuzz/corpus/${t#fuzz_}"
      [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
      if ! build-fuzz/"$t" -max_total_time=5 -rss_limit_mb=2048 "$corpus" >/tmp/"$t".log 2>&1; then
        echo "fuzz target $t failed:"; tail -40 /tmp/"$t".log; bad+=("$t")
      else
        echo "fuzz target $t: $(grep -c . /tmp/$t.log) lines of log, no crash"
      fi
      rm -rf "$corpus"
    done
  else
    bad+=("configure")
  fi
  if [ ${#bad[@]} -eq 0 ]; then pass "fuzzing"; else fail "fuzzing" "${bad[*]}"; fi
fi

echo "=== sanitizer build (unit tests)"
if cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLMARSH_SANITIZE=ON -DBUILD_TESTING=ON >/dev/null &&
   # Only what the unit tests need: their executables and the camera simulator.
   asan_targets=$(cmake --build build-asan --target help | sed -n 's/^\.\.\. \(test_[A-Za-z0-9_]*_\(unit\|net\)\)$/\1/p') &&
   cmake --build build-asan -j "$JOBS" --target device_sim $asan_targets; then
  if ASAN_OPTIONS=detect_leaks=1 run_ctest 1-asan build-asan ctest -L unit -j "$JOBS" --output-on-failure; then
    pass "AddressSanitizer tests"
  else
    fail "AddressSanitizer tests"
  fi
else
  fail "AddressSanitizer tests" "build"
fi

echo "=== ThreadSanitizer build (the tests of the threaded paths)"
# The build configures only the threaded areas' tests (and of their window
# tests only those where a thread meets a window); any report fails the test
# (tests/tsan/suppressions.txt lists what is suppressed in system libraries).
if cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARSH_TSAN=ON -DBUILD_TESTING=ON >/dev/null &&
   tsan_targets=$(cmake --build build-tsan --target help | sed -n 's/^\.\.\. \(test_[A-Za-z0-9_]*\)$/\1/p') &&
   cmake --build build-tsan -j "$JOBS" --target device_sim $tsan_targets; then
  if run_ctest 2-tsan build-tsan xvfb-run -a -s "-screen 0 1920x1080x24" ctest -j "$JOBS" --output-on-failure; then
    pass "ThreadSanitizer tests"
  else
    fail "ThreadSanitizer tests"
  fi
else
  fail "ThreadSanitizer tests" "build"
fi

echo "=== every test of the normal build (the display tests under Xvfb)"
if run_ctest 3-normal build xvfb-run -a -s "-screen 0 1920x1080x24" ctest -j "$JOBS" --output-on-failure; then
  pass "normal build's tests"
else
  fail "normal build's tests"
fi

summary
[ ${#failed[@]} -eq 0 ]
