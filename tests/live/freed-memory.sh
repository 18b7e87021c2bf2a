#!/usr/bin/env bash
# The unit tests that make, show and destroy windows (the break panel and its keyboard
# hand-over, the scenes, the panels) under valgrind on an X server of their own: fails on
# any read or write of freed memory, Qt's own included (Qt is not built with the
# sanitizers, so they miss what Qt does with a window freed too early). Uninitialised
# values and leaks are not looked at; freed-memory.supp names the few reads of whole
# vectors past the end of a live block that glibc and Qt make on purpose.
# Usage: freed-memory.sh APP_TESTS PLATFORM_TESTS
set -euo pipefail
app_tests="$1" platform_tests="$2"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check freed-memory Xvfb valgrind --

start_xvfb freed-memory
supp="$(dirname "${BASH_SOURCE[0]}")/freed-memory.supp"
run_valgrind() {
  valgrind --error-exitcode=99 --errors-for-leak-kinds=none --leak-check=no --undef-value-errors=no \
    --suppressions="$supp" --num-callers=24 "$1" --gtest_brief=1 --gtest_filter="$2" >"$tmp/out" 2>&1
}
check() {
  local name="$1" filter="$2" status=0
  run_valgrind "$name" "$filter" || status=$?
  # Status 99 is valgrind's own: memory was misused. Any other is a test that failed at
  # valgrind's pace (tens of times slower, on busy cores, than the ordinary run that checks
  # its behaviour): those tests run once more, and fail the check only if they fail again.
  if ((status != 0 && status != 99)); then
    local failed
    failed="$(sed -n 's/^\[  FAILED  \] \([A-Za-z0-9_]*\.[A-Za-z0-9_]*\).*/\1/p' "$tmp/out" | sort -u | paste -sd:)"
    if [[ -n "$failed" ]]; then
      echo "freed-memory: $failed failed at valgrind's pace, run once more"
      status=0
      run_valgrind "$name" "$failed" || status=$?
    fi
  fi
  if ((status != 0)); then
    echo "freed-memory: $(basename "$name") $filter: status $status"
    # The first errors and the end of the run.
    { grep -m 3 -A 40 '^==[0-9]*== \(Invalid\|Mismatched\|Source and destination\|Jump\)' "$tmp/out" || true; } | head -n 120
    # A test that failed under valgrind's pace: its own lines.
    grep -B 2 -A 12 'Failure$\|FAILED' "$tmp/out" | head -n 80 || true
    tail -n 20 "$tmp/out"
    exit 1
  fi
}
check "$app_tests" 'BreakPanelPresenterTest.ABreak*:BreakPanelPresenterTest.AWindow*:AppScenesViewTest.*'
check "$platform_tests" 'QtPanels.*'
echo "freed-memory: no read or write of freed memory in the window tests"
