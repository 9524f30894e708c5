#!/usr/bin/env bash
# The demo's scripted flight, headless: every expectation of the scenario
# (the LEDs lit and dark at their moments, the master warning flashing, the
# boxes for the profile's one misspelled variable) is met, the summary says
# so, and the bridge exits with 0.
# Usage: test_demo.sh BRIDGE E2E_RUNNER LIBVIRTUAL_UNIT ...
set -u
bridge=$(realpath "$1")
runner=$(realpath "$2")
unit=$(realpath "$3")
demo_tool="$(dirname "$runner")/../demo/nimbra-demo"   # in the same build
demo=$(cd "$(dirname "$0")/../../demo" && pwd)
# The scenario's "1sec" ticks make the bridge look at the machine's reload
# markers: never while another test run drives them (they hold this lock
# exclusively).
exec 8>>/tmp/nimbra-markers.lock
flock -s -w 120 8 || { echo "the reload markers stayed busy"; exit 1; }
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$demo_tool" --plain --bridge "$bridge" --unit "$unit" --scenario "$demo/circuit.scenario" \
  --own-profiles "$demo/corvane_profiles" --profile "$demo/corvane_profiles/Demo_Trainer/Velk_Throttle_Config.json" >"$out" 2>&1
code=$?
checks=0
failures=0
check() {
  checks=$((checks + 1))
  if ! grep -qF -- "$1" "$out"; then echo "the demo did not print: $1"; failures=$((failures + 1)); fi
}
check "simulator text: NimbraBridge|ReloadJson: Velk_Throttle reloaded 16 binding(s) successfully from LOCAL profile 'Demo Trainer'."
check "  expectations: 42 met, 0 missed; scenario commands failed: 0"
check "as expected: 3/0 Master warning blinking"
# The one misspelled entry: the exception, then the variable withdrawn, in the summary's messages.
check "NimbraBridge|SimConnectException: SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED"
check "NimbraBridge|SimConnectException: There was problem with variable 'A:LIGHT BEACNO,Bool'. It will be removed from further processing."
check "  LEDs lit at some time: 1/0 Gear down, 1/1 Gear up below 500 ft, 1/2 Flaps out, 1/3 Parking brake, 1/4 Landing light, 1/5 Taxi light, 2/0 Autopilot, 2/1 AP heading, 2/2 AP altitude hold, 3/0 Master warning, 3/1 Master caution, 3/2 Above 1,500 ft, 4/0 Warning or caution, 4/3 Low fuel"
check "  the bridge's exit code: 0"
check "demo: the bridge behaved"
checks=$((checks + 1))
[ "$code" -eq 0 ] || { echo "nimbra-demo exited with $code"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] || cat "$out"
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
