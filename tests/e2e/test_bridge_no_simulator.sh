#!/usr/bin/env bash
# The bridge with no simulator reachable: one box line on standard error,
# nothing on standard output, exit code 0.
set -u
bridge=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"   # no SimConnect.cfg here
env -u SimConnect_Port_IPv4 -u SimConnect_Port_IPv6 HOME="$work" "$bridge" >"$work/out" 2>"$work/err"
code=$?
fail=0
[ "$code" -eq 0 ] || { echo "exit code $code, expected 0"; fail=1; }
[ ! -s "$work/out" ] || { echo "unexpected standard output:"; cat "$work/out"; fail=1; }
expected='NimbraBridge: Failed to Initialize SimConnectToTheLine'
[ "$(cat "$work/err")" = "$expected" ] && [ "$(wc -l <"$work/err")" -eq 1 ] || {
  echo "standard error was:"; cat "$work/err"; fail=1; }
[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
