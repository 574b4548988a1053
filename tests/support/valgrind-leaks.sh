#!/usr/bin/env bash
# Runs a test program under valgrind's leak check: VALGRIND ARGS... . Valgrind's instruction
# decoder lags behind some CPUs: where it stops a system library's own start-up
# code with SIGILL (an instruction its CPU model reports but it cannot run),
# the leak check cannot be made on this machine and the test is reported as
# skipped (77); the sanitizer run still checks the same test for leaks. Any
# other failure, a SIGILL in our own code included, fails as usual.
set -uo pipefail
log=$(mktemp)
trap 'rm -f "$log"' EXIT
valgrind=$1
shift
"$valgrind" "$@" 2> >(tee "$log" >&2)
rc=$?
wait
if [[ $rc -eq 132 ]] && grep -q 'Illegal opcode' "$log" &&
   grep -A1 'Illegal opcode' "$log" | grep -Eq 'at 0x[0-9A-F]+: .* \(in /(usr/)?lib/'; then
  echo "valgrind cannot run a system library's start-up code on this CPU; leak check skipped" >&2
  exit 77
fi
exit $rc
