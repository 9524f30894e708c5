#!/usr/bin/env bash
# The bridge against the simhost command on the default pipe, with nothing
# configured: it opens, makes its four subscriptions and its menu entry with
# send identifiers 1 to 6, and exits 0 soon after the simulator quits and
# closes.
set -u
bridge=$1
simhost=$2
work=$(mktemp -d)
host=
trap 'kill $host 2>/dev/null; rm -rf "$work"' EXIT
# The simulator quits only after the whole start-up (6 messages, then the
# unit's three menu messages): a quit in the middle of it is a failure that
# the bridge reports with a box.
cat >"$work/script" <<'SCRIPT'
wait client 10000
wait 9 messages 10000
show messages
show subscriptions
show menu
quit
close
wait disconnect 5000
SCRIPT

# The default pipe is the machine's: hold the lock that every test run takes
# for it (testsupport::DefaultPipeLock) while using it.
lock=/tmp/nimbra-default-pipe.lock
[ -e "$lock" ] || (umask 0 && : >>"$lock")
exec 9<"$lock" || { echo "cannot open $lock"; exit 1; }
flock -w 150 9 || { echo "another test run kept the default pipe for 150 s ($lock)"; exit 1; }

# A simulator stand-in outside the tests may still listen there: try for a
# minute.
listening() { grep -q '^listening: ' "$work/host.out"; }
for attempt in $(seq 120); do
  "$simhost" --quiet --script "$work/script" >"$work/host.out" 2>"$work/host.err" &
  host=$!
  until listening || ! kill -0 $host 2>/dev/null; do sleep 0.05; done
  listening && break
  wait $host
  sleep 0.5
done
listening || { echo "simhost could not listen on the default pipe:"; cat "$work/host.err"; exit 1; }

start=$(date +%s%N)
(cd "$work" && env -u SimConnect_Port_IPv4 -u SimConnect_Port_IPv6 -u XDG_DOCUMENTS_DIR HOME="$work" \
   timeout 20 "$bridge" >"$work/bridge.out" 2>"$work/bridge.err")
code=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
wait $host
host_code=$?
exec 9<&-  # done with the default pipe

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
