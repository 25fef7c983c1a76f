# The bookkeeping of a test suite in shell: named checks, counted, and the
# closing "N passed, N failed" line. Source it, then check NAME COMMAND...

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; }
check() {  # check NAME COMMAND...
  local name="$1"; shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; exit $?; }
# require_built SUITE BINARY...: ends the suite when one is missing.
require_built() {
  local suite="$1" bin; shift
  for bin in "$@"; do
    if [ ! -x "$bin" ]; then
      echo "$suite: $bin is not built"
      fail "binaries built"
      finish
    fi
  done
}
