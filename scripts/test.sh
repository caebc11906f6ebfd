#!/usr/bin/env bash
# Sets up, builds both trees and runs every test: native ones directly, Windows ones under
# Wine (on a private Xvfb when no display is set). Ends with one line "N passed, N failed"
# and a non-zero exit status when anything failed.
set -uo pipefail
source "$(dirname "$0")/env.sh"
source "$(dirname "$0")/xvfb.sh"

bash "$VORN_ROOT/scripts/setup.sh" || exit 1
bash "$VORN_ROOT/scripts/build.sh" all || { echo "0 passed, 1 failed"; exit 1; }

cleanup() {
  wineserver -k >/dev/null 2>&1
  [ -n "${VORN_XVFB_PID:-}" ] && kill "$VORN_XVFB_PID" 2>/dev/null
}
trap cleanup EXIT
vorn_start_xvfb || { echo "0 passed, 1 failed"; exit 1; }

passed=0
failed=0
run_ctest() {
  local tree=$1
  shift
  local log="$VORN_BUILD/$tree-ctest.log"
  ctest --test-dir "$VORN_BUILD/$tree" --output-on-failure --no-tests=error "$@" 2>&1 | tee "$log"
  local total bad
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  bad=$(sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -n 1)
  if [ -z "$total" ]; then
    failed=$((failed + 1))
    return
  fi
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

run_ctest native -j2
# A cold Wine makes every test pay for starting its services: start them once here.
wineserver -p
wine cmd /c exit >/dev/null 2>&1
run_ctest windows

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
