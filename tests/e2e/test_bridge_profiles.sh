#!/usr/bin/env bash
# The real bridge end to end with virtual_unit preloaded and the simhost
# command on a pipe of its own: an aircraft with a LOCAL profile (the reload
# line, registrations, LEDs that follow values only while the simulation
# runs, the gate, announcements, a rejected variable with its two boxes and
# its withdrawal), the GLOBAL fallback beside the executable, a LOCAL profile
# with a syntax error, the menu's reload ignored while not running, and the
# reload handshake driven by another program and by nimbra-reload.
# Usage: test_bridge_profiles.sh BRIDGE SIMHOST LIBVIRTUAL_UNIT NIMBRA_RELOAD
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "$1" "$2" "$3"
reload_command=$(realpath "$4")

mkdir -p "$work/Plane/corvane_profiles" "$work/Other" "$work/Broken/corvane_profiles"
aircraft() { echo "aircraft Z:$(echo "$work/$1/aircraft.cfg" | tr / '\\')"; }
cat >"$work/Plane/corvane_profiles/Velk_Throttle_Config.json" <<'JSON'
{ "SaveName": "Local Demo", "Language": "en",
  "LEDs": [
    { "ByteIndex": 0, "BitIndex": 0, "Condition": "A:ELECTRICAL MASTER BATTERY,Bool", "ConditionValue": true },
    { "ByteIndex": 1, "BitIndex": 0, "en": "Gear down", "Condition": "A:GEAR HANDLE POSITION,Bool", "ConditionValue": true },
    { "ByteIndex": 4, "BitIndex": 3, "en": "Flaps", "Condition": "A:FLAPS HANDLE PERCENT,percent", "ConditionValue": ">10" },
    { "ByteIndex": 2, "BitIndex": 0, "Condition": "A:BOGUS,Bool", "ConditionValue": true }
  ] }
JSON
printf '{ "SaveName": "Global Demo", "LEDs": [ { "ByteIndex": 3, "BitIndex": 7, "Condition": "A:GEAR HANDLE POSITION,Bool", "ConditionValue": true } ] }' \
  >"$work/Velk_Throttle_Config.json"
printf '{ "SaveName": "Broken", "LEDs": [ }' >"$work/Broken/corvane_profiles/Velk_Throttle_Config.json"
reloaded() { echo "text (red, 10 s): NimbraBridge|ReloadJson: Velk_Throttle reloaded $1 binding(s) successfully from $2 profile '$3'."; }

# ---- LOCAL profile: values, the gate, the simulation state, announcements
e2e_run local "wait client 5000
wait 9 messages 5000
reject BOGUS
$(aircraft Plane)
set \"ELECTRICAL MASTER BATTERY\" Bool 1
set \"GEAR HANDLE POSITION\" Bool 1
sleep 400
event 6Hz
sim on
event 6Hz
pick 9
set \"GEAR HANDLE POSITION\" Bool 0
set \"FLAPS HANDLE PERCENT\" percent 20
sleep 300
event 6Hz
set \"ELECTRICAL MASTER BATTERY\" Bool 0
sleep 300
event 6Hz
event 6Hz
set \"ELECTRICAL MASTER BATTERY\" Bool 1
sim off
sleep 300
event 6Hz
sim on
event 6Hz
sleep 300
show definitions
close
wait disconnect 5000"
check local "the LOCAL reload line" has local.host "$(reloaded 3 LOCAL "Local Demo")"
for name in '"ELECTRICAL MASTER BATTERY" in "Bool"' '"GEAR HANDLE POSITION" in "Bool"' '"FLAPS HANDLE PERCENT" in "percent"'; do
  check local "registered: $name" has local.host "$name"
done
check local "the rejected variable is withdrawn" lacks local.host '"BOGUS" in "Bool"'
check local "the exception box and the variable box" [ "$(cat "$work/local.err")" = \
  "NimbraBridge|SimConnectException: SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED
NimbraBridge|SimConnectException: There was problem with variable 'A:BOGUS,Bool'. It will be removed from further processing." ]
check local "the announcements" [ "$(grep -F 'NimbraBridge|Velk_Throttle:' "$work/local.host")" = \
  "text (red, 10 s): NimbraBridge|Velk_Throttle: X_Gear down_X
text (red, 10 s): NimbraBridge|Velk_Throttle: Flaps
text (red, 10 s): NimbraBridge|Velk_Throttle: Flaps" ]
check local "the menu shows Hide Bindings" has local.host "Velk_Throttle - Hide Bindings [9]"
# Dark at the reload; lit only once Sim runs; the gate closes once and opens
# again; nothing while Sim is off; dark at the end.
check local "the reports" [ "$(cat "$work/local.reports")" = "$(report; report 1=01; report 4=08; report; report 4=08; report)" ]

# ---- GLOBAL fallback, and the menu's reload only while the simulation runs
e2e_run global "wait client 5000
wait 9 messages 5000
$(aircraft Other)
pick 8
sleep 300
sim on
pick 8
sleep 300
close
wait disconnect 5000"
check global "two GLOBAL reloads, the second from the menu" [ "$(count global.host "$(reloaded 1 GLOBAL "Global Demo")")" -eq 2 ]
check global "nothing on standard error" [ ! -s "$work/global.err" ]

# ---- A LOCAL profile with a syntax error: its box, no fallback, dark
e2e_run broken "wait client 5000
wait 9 messages 5000
$(aircraft Broken)
sim on
event 6Hz
sleep 300
close
wait disconnect 5000"
check broken "the parse error box" grep -qE '^NimbraBridge\|DeserializeJson: There is at least one parsing error present in the JSON file .*Broken.corvane_profiles.Velk_Throttle_Config.json. at offset 35\. Message: Invalid value\.$' "$work/broken.err"
check broken "no reload line" lacks broken.host "reloaded"
check broken "dark: the reload's report and the last" [ "$(cat "$work/broken.reports")" = "$(report; report)" ]

# ---- The reload handshake. The marker names are the machine's: one test
# run at a time uses them.
exec 8>>/tmp/nimbra-markers.lock
flock -w 120 8 || { echo "the markers stayed busy"; exit 1; }
shm=/dev/shm
[ -d "$shm" ] || shm=/tmp
write_marker="$shm/Global.Velk_Throttle_Write.lock"
read_marker="$shm/Global.Velk_Throttle_Read.lock"
held() { [ -e "$1" ] && ! flock -n -x "$1" true; }
E2E_BACKGROUND=1 e2e_run markers "wait client 5000
wait 9 messages 5000
sim on
ticks on
sleep 9000
close
wait disconnect 5000"
sleep 1
# Another program holds the write side for three seconds: one reload only.
(umask 0 && : >>"$write_marker")
flock -s "$write_marker" sleep 3
sleep 1.5
check markers "the read side is let go after the write side" bash -c "! { [ -e '$read_marker' ] && ! flock -n -x '$read_marker' true; }"
"$reload_command" --timeout 5 >"$work/markers.command"
check markers "nimbra-reload is acknowledged (exit 0)" [ $? -eq 0 ]
check markers "its line" has markers.command "nimbra-reload: the bridge acknowledged the reload of Velk_Throttle's GLOBAL profile"
e2e_wait
check markers "one reload per appearance of the write side" [ "$(count markers.host "$(reloaded 1 GLOBAL "Global Demo")")" -eq 2 ]
"$reload_command" --timeout 1 >"$work/markers.command"
check markers "nimbra-reload without a bridge (exit 1)" [ $? -eq 1 ]
check markers "its line" has markers.command "nimbra-reload: no bridge answered for Velk_Throttle within 1 s"
flock -u 8
e2e_finish
