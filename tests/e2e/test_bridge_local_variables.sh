#!/usr/bin/env bash
# Local ("L:") variables with the real bridge, virtual_unit preloaded and the
# simhost command on a pipe of its own: a profile with "LocalVariables": true
# registers them under their "L:" name as FLOAT64 and values set in simhost
# light and darken LEDs (a Bool one rounded toward zero); without the member
# each is refused with its box and never registered; a reload from a profile
# with the member to one without gives them back. Then the checker on a table
# of mistakes, in text and as JSON with a code per warning.
# Usage: test_bridge_local_variables.sh BRIDGE SIMHOST LIBVIRTUAL_UNIT NIMBRA_RELOAD NIMBRA_PROFILE
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "$1" "$2" "$3"
checker=$(realpath "$5")

mkdir -p "$work/On/corvane_profiles" "$work/Off/corvane_profiles" "$work/Text/corvane_profiles"
aircraft() { echo "aircraft Z:$(echo "$work/$1/aircraft.cfg" | tr / '\\')"; }
leds='"LEDs": [
    { "ByteIndex": 1, "BitIndex": 0, "Condition": "L:E2E_CAUTION,Bool", "ConditionValue": true },
    { "ByteIndex": 2, "BitIndex": 1, "Condition": "L:E2E_LEVEL,Number", "ConditionValue": ">0.25" } ]'
printf '{ "SaveName": "On", "LocalVariables": true, %s }' "$leds" >"$work/On/corvane_profiles/Velk_Throttle_Config.json"
printf '{ "SaveName": "Off", %s }' "$leds" >"$work/Off/corvane_profiles/Velk_Throttle_Config.json"
printf '{ "SaveName": "Text", "LocalVariables": "true", %s }' "$leds" >"$work/Text/corvane_profiles/Velk_Throttle_Config.json"
refused() {
  echo "NimbraBridge: Could not add condition variable 'L:E2E_CAUTION,Bool' to MSFS processing.
NimbraBridge: Could not add condition variable 'L:E2E_LEVEL,Number' to MSFS processing."
}

# ---- With the member: registered as the simulator hands them out; values light and darken
e2e_run on "wait client 5000
wait 9 messages 5000
$(aircraft On)
sim on
sleep 300
show definitions
set L:E2E_CAUTION number 1
sleep 300
event 6Hz
set L:E2E_CAUTION number 0.5
sleep 300
event 6Hz
set L:E2E_CAUTION Bool 1.9
set L:E2E_LEVEL number 0.5
sleep 300
event 6Hz
set L:E2E_CAUTION number 0
sleep 300
event 6Hz
close
wait disconnect 5000"
check on "the reload line" has on.host "Velk_Throttle reloaded 2 binding(s) successfully from LOCAL profile 'On'."
check on "L:E2E_CAUTION as FLOAT64, created with 0" has on.host '"L:E2E_CAUTION" in "Bool", type 4, value 0'
check on "L:E2E_LEVEL as FLOAT64" has on.host '"L:E2E_LEVEL" in "Number", type 4, value 0'
check on "no box" [ ! -s "$work/on.err" ]
# Dark at the reload; 1 lights; 0.5 reads 0; 1.9 reads 1 and 0.5 > 0.25; 0 darkens; dark at the end.
check on "the reports" [ "$(cat "$work/on.reports")" = "$(report; report 1=01; report; report 1=01 2=02; report 2=02; report)" ]

# ---- Without the member (absent, or a string): the boxes, no registration
for name in off text; do
  profile=Off
  [ $name = text ] && profile=Text
  e2e_run $name "wait client 5000
wait 9 messages 5000
$(aircraft $profile)
sim on
set L:E2E_CAUTION number 1
sleep 300
event 6Hz
show definitions
close
wait disconnect 5000"
  check $name "a box per refused variable" [ "$(cat "$work/$name.err")" = "$(refused)" ]
  check $name "nothing registered" has $name.host "definitions: none"
  check $name "no AddToDataDefinition" lacks $name.host "AddToDataDefinition"
  check $name "dark" [ "$(cat "$work/$name.reports")" = "$(report; report)" ]
done

# ---- A reload from a profile with the member to one without
e2e_run switch "wait client 5000
wait 9 messages 5000
$(aircraft On)
sleep 200
$(aircraft Off)
sleep 300
show definitions
show messages
close
wait disconnect 5000"
check switch "the first reload" has switch.host "reloaded 2 binding(s) successfully from LOCAL profile 'On'."
check switch "the second reload" has switch.host "reloaded 2 binding(s) successfully from LOCAL profile 'Off'."
check switch "the request of each is stopped" [ "$(grep -cE 'RequestDataOnSimObject[^:]*: request [12], definition [12], object 0, period 0,' "$work/switch.host")" -eq 2 ]
check switch "the definition of each is cleared" [ "$(grep -cE 'ClearDataDefinition[^:]*: definition [12]$' "$work/switch.host")" -eq 2 ]
check switch "nothing registered after the second" has switch.host "definitions: none"
check switch "the second profile's boxes" [ "$(cat "$work/switch.err")" = "$(refused)" ]

# ---- The checker on a table of mistakes
cat >"$work/mistakes.json" <<'JSON'
{ "LEDs": [
    { "ByteIndex": 1, "BitIndex": 0, "Condition": "A:GEAR HANDEL POSITION,Bool", "ConditionValue": true },
    { "ByteIndex": 1, "BitIndex": 1, "Condition": "A:GEAR HANDLE POSITION,feet", "ConditionValue": ">0" },
    { "ByteIndex": 1, "BitIndex": 2, "Condition": "A:PLANE ALT ABOVE GROUND,feets", "ConditionValue": ">0" },
    { "ByteIndex": 1, "BitIndex": 3, "Condition": "A:LIGHT TAXI:1,Bool", "ConditionValue": true },
    { "ByteIndex": 1, "BitIndex": 4, "Condition": "L:MY_SWITCH,Bool", "ConditionValue": true }
  ] }
JSON
"$checker" check "$work/mistakes.json" >"$work/mistakes.text"
check mistakes "warnings: exit 1" [ $? -eq 1 ]
"$checker" check --json "$work/mistakes.json" >"$work/mistakes.json.out"
for pair in 'unknown-variable|A:GEAR HANDLE POSITION,Bool' 'unit-dimension|A:GEAR HANDLE POSITION,Bool' \
    'unknown-unit|A:PLANE ALT ABOVE GROUND,feet' 'index-not-taken|A:LIGHT TAXI,Bool' \
    'local-variables-off|\"LocalVariables\": true'; do
  code=${pair%%|*}
  suggestion=${pair#*|}
  check mistakes "$code in the text" has mistakes.text "warning [$code]:"
  check mistakes "$code with its suggestion as JSON" grep -qF "\"code\":\"$code\",\"severity\":\"warning\"" "$work/mistakes.json.out"
  check mistakes "$code suggests $suggestion" grep -qF "\"suggestions\":[\"$suggestion" "$work/mistakes.json.out"
done
check mistakes "did you mean, in the text" has mistakes.text "did you mean: A:GEAR HANDLE POSITION,Bool"
"$checker" check "$(dirname "$0")/../../tools/demo/corvane_profiles/Demo_Trainer/Velk_Throttle_Config.json" >"$work/demo.text"
check demo "the demo's profile is clean (exit $?)" [ $? -eq 0 ]
check demo "with a note on its local variables" has demo.text "note [local-variable-unchecked]"
e2e_finish
