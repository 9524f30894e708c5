#!/usr/bin/env bash
# The bridge with no simulator reachable: one box line on standard error,
# nothing on standard output, exit code 0. Its SimConnect.cfg names a pipe on
# another machine, which the Linux link refuses at once and after which it
# tries nothing else, so a simhost that another test run (or a demo) keeps on
# the default pipe cannot answer it.
set -u
bridge=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf '[SimConnect]\nProtocol=Pipe\nAddress=nimbra-elsewhere\nPort=nimbra-no-simulator\n' >SimConnect.cfg
env -u SimConnect_Port_IPv4 -u SimConnect_Port_IPv6 -u XDG_DOCUMENTS_DIR HOME="$work" \
  "$bridge" >"$work/out" 2>"$work/err"
code=$?
fail=0
[ "$code" -eq 0 ] || { echo "exit code $code, expected 0"; fail=1; }
[ ! -s "$work/out" ] || { echo "unexpected standard output:"; cat "$work/out"; fail=1; }
expected='NimbraBridge: Failed to Initialize SimConnectToTheLine'
[ "$(cat "$work/err")" = "$expected" ] && [ "$(wc -l <"$work/err")" -eq 1 ] || {
  echo "standard error was:"; cat "$work/err"; fail=1; }
[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
