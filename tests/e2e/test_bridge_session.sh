#!/usr/bin/env bash
# The bridge against the simhost command on the default pipe: it opens, makes
# its four subscriptions and its menu entry with send identifiers 1 to 6, and
# exits 0 soon after the simulator quits and closes.
set -u
bridge=$1
simhost=$2
work=$(mktemp -d)
trap 'kill $host 2>/dev/null; rm -rf "$work"' EXIT
cat >"$work/script" <<'SCRIPT'
wait client 10000
wait 6 messages 10000
show messages
show subscriptions
show menu
quit
close
wait disconnect 5000
SCRIPT
"$simhost" --quiet --script "$work/script" >"$work/host.out" 2>"$work/host.err" &
host=$!
sleep 0.3
start=$(date +%s%N)
(cd "$work" && timeout 20 "$bridge" >"$work/bridge.out" 2>"$work/bridge.err")
code=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
wait $host
host_code=$?

fail=0
check() { grep -qF -- "$1" "$work/host.out" || { echo "simhost did not show: $1"; fail=1; }; }
[ "$code" -eq 0 ] || { echo "bridge exit code $code"; fail=1; }
[ "$host_code" -eq 0 ] || { echo "simhost exit code $host_code"; cat "$work/host.err"; fail=1; }
check 'Open #1: name "Nimbra_Bridge"'
check 'SubscribeToSystemEvent #2: event 1 "Sim"'
check 'SubscribeToSystemEvent #3: event 2 "6Hz"'
check 'SubscribeToSystemEvent #4: event 3 "1sec"'
check 'SubscribeToSystemEvent #5: event 5 "AircraftLoaded"'
check 'MenuAddItem #6: "Corvane" [6], data 0'
[ ! -s "$work/bridge.err" ] || { echo "bridge standard error:"; cat "$work/bridge.err"; fail=1; }
echo "bridge ran for ${elapsed_ms} ms"
if [ $fail -ne 0 ] || [ -n "${SHOW:-}" ]; then echo "--- simhost output"; cat "$work/host.out"; fi
[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
