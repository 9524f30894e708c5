#!/usr/bin/env bash
# The Windows bridge end to end under wine, against simhost.exe:
#  - the test build (virtual_unit in place of hidapi, boxes recorded) on a
#    pipe of its own with a LOCAL profile under a Windows path: the reload
#    line, the LEDs, the menu, the rejected variable's boxes, and the dark
#    unit at the end;
#  - the test build over TCP: the GLOBAL profile beside the executable, the
#    menu's reload ignored while the simulation does not run;
#  - the named-mutex handshake driven by nimbra-reload.exe, both outcomes;
#  - the product itself: it connects, subscribes, adds its menu, goes on past
#    the HID box (wine's hidapi cannot start), reloads the GLOBAL profile;
#  - the test build with a UserCfg.opt in the prefix's roaming application
#    data (as MSFS 2020 from Steam keeps it) naming a package root: the
#    profile inside a Community package is loaded as LOCAL.
#  - the test build with Nimbra_Bridge.ini beside it (read through the
#    system's profile calls): the named pair's unit lit, items 8 and 9; a bad
#    value: the box, and the default pair looked for.
# Every bridge exits with 0 when simhost.exe closes.
# Usage: test_bridge_under_wine.sh TEST_BRIDGE PRODUCT SIMHOST NIMBRA_RELOAD
set -u
test_bridge=$(realpath "$1")
product=$(realpath "$2")
simhost=$(realpath "$3")
reload_command=$(realpath "$4")
work=$(mktemp -d)
host=
trap 'kill $host 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
export WINEDEBUG=-all DISPLAY=
# The named mutexes are the wine prefix's: one test run at a time uses them.
exec 8>>/tmp/nimbra-markers.lock
flock -w 200 8 || { echo "the reload markers stayed busy"; exit 1; }

win() { winepath -w "$1" 2>/dev/null; }
mkdir -p "$work/test" "$work/product" "$work/Plane/corvane_profiles" "$work/Other"
cp "$test_bridge" "$work/test/Nimbra_Bridge.exe"
cp "$product" "$work/product/Nimbra_Bridge.exe"
cat >"$work/Plane/corvane_profiles/Velk_Throttle_Config.json" <<'JSON'
{ "SaveName": "Local Demo", "Language": "en",
  "LEDs": [
    { "ByteIndex": 0, "BitIndex": 0, "Condition": "A:ELECTRICAL MASTER BATTERY,Bool", "ConditionValue": true },
    { "ByteIndex": 1, "BitIndex": 0, "en": "Gear down", "Condition": "A:GEAR HANDLE POSITION,Bool", "ConditionValue": true },
    { "ByteIndex": 2, "BitIndex": 0, "Condition": "A:BOGUS,Bool", "ConditionValue": true }
  ] }
JSON
for folder in test product; do
  printf '{ "SaveName": "Global Demo", "LEDs": [ { "ByteIndex": 3, "BitIndex": 7, "Condition": "A:GEAR HANDLE POSITION,Bool", "ConditionValue": true } ] }' \
    >"$work/$folder/Velk_Throttle_Config.json"
done
reloaded() { echo "NimbraBridge|ReloadJson: Velk_Throttle reloaded $1 binding(s) successfully from $2 profile '$3'."; }
source "$(dirname "$0")/../e2e/lib.sh"  # check, has, report, wait_for_listening, e2e_finish
checks=0
failures=0

# run NAME FOLDER TRANSPORT SCRIPT: simhost.exe plays SCRIPT; the bridge in
# FOLDER reaches it over TRANSPORT (pipe or tcp). E2E_BACKGROUND: the caller
# finishes with finish.
run() {
  local name=$1 folder=$2 transport=$3 script=$4
  printf '%s\n' "$script" >"$work/$name.simhost"
  local listen=(--pipe="nimbra-wine-$$-$name")
  [ "$transport" = tcp ] && listen=(--no-pipe --tcp4 0)
  (cd "$work" && wine "$simhost" "${listen[@]}" --quiet --value-period 50 --script "$(win "$work/$name.simhost")" \
     >"$work/$name.host" 2>&1) &
  host=$!
  wait_for_listening "$work/$name.host" 600  # wine takes a while to start
  if [ "$transport" = tcp ]; then
    local port
    port=$(sed -n 's/^listening: tcp4 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/$name.host" | tr -d '\r')
    printf '[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=%s\n' "$port" >"$work/$folder/SimConnect.cfg"
  else
    printf '[SimConnect]\nProtocol=Pipe\nPort=nimbra-wine-%s-%s\n' "$$" "$name" >"$work/$folder/SimConnect.cfg"
  fi
  (cd "$work/$folder" && NIMBRA_TEST_BOXES="$(win "$work/$name.boxes")" \
     VIRTUAL_UNIT_REPORTS="$(win "$work/$name.reports")" timeout 90 wine ./Nimbra_Bridge.exe \
     >"$work/$name.err" 2>&1) &
  bridge_pid=$!
  current=$name
  [ -n "${E2E_BACKGROUND:-}" ] || finish
}
finish() {
  wait $bridge_pid
  local code=$?
  wait $host
  host=
  check "$current" "the bridge exits with 0 (got $code)" [ "$code" -eq 0 ]
}

aircraft() { echo "aircraft $(win "$work/$1/aircraft.cfg")"; }

# ---- The test build on a pipe: LOCAL profile, LEDs, menu, boxes
run local test pipe "wait client 30000
wait 9 messages 10000
reject BOGUS
$(aircraft Plane)
set \"ELECTRICAL MASTER BATTERY\" Bool 1
set \"GEAR HANDLE POSITION\" Bool 1
sleep 600
sim on
event 6Hz
pick 9
set \"GEAR HANDLE POSITION\" Bool 0
sleep 600
event 6Hz
sleep 300
show texts
show menu
close
wait disconnect 10000"
check local "the LOCAL reload line" has local.host "$(reloaded 2 LOCAL "Local Demo")"
check local "the announcement" has local.host "NimbraBridge|Velk_Throttle: X_Gear down_X"
check local "the menu shows Hide Bindings" has local.host "Velk_Throttle - Hide Bindings [9]"
check local "the boxes" [ "$(tr -d '\r' <"$work/local.boxes")" = \
  "NimbraBridge|SimConnectException: SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED
NimbraBridge|SimConnectException: There was problem with variable 'A:BOGUS,Bool'. It will be removed from further processing." ]
check local "the reports" [ "$(tr -d '\r' <"$work/local.reports")" = "$(report; report 1=01; report; report)" ]

# ---- The test build over TCP: GLOBAL beside the executable
run global test tcp "wait client 30000
wait 9 messages 10000
$(aircraft Other)
pick 8
sleep 600
show texts
close
wait disconnect 10000"
check global "one GLOBAL reload (the menu's is ignored while Sim is off)" \
  [ "$(grep -cF "text (red, 10 s): $(reloaded 1 GLOBAL "Global Demo")" "$work/global.host")" -eq 1 ]

# ---- The reload handshake through named mutexes
E2E_BACKGROUND=1 run markers test pipe "wait client 30000
wait 9 messages 10000
sim on
ticks on
sleep 12000
show texts
close
wait disconnect 10000"
sleep 2
(cd "$work" && wine "$reload_command" --timeout 8 >"$work/markers.command" 2>&1)
check markers "nimbra-reload.exe is acknowledged (exit 0)" [ $? -eq 0 ]
check markers "its line" has markers.command "nimbra-reload: the bridge acknowledged the reload of Velk_Throttle's GLOBAL profile"
finish
check markers "exactly one reload" [ "$(grep -cF "text (red, 10 s): $(reloaded 1 GLOBAL "Global Demo")" "$work/markers.host")" -eq 1 ]
(cd "$work" && wine "$reload_command" --timeout 1 >"$work/markers.command" 2>&1)
check markers "nimbra-reload.exe without a bridge (exit 1)" [ $? -eq 1 ]

# ---- The product
run product product pipe "wait client 30000
wait 9 messages 10000
$(aircraft Other)
sleep 800
show subscriptions
show menu
show texts
close
wait disconnect 10000"
for line in 'subscription: event 1 "Sim"' 'subscription: event 5 "AircraftLoaded"' \
            'Velk_Throttle - Show Bindings [9]' "$(reloaded 1 GLOBAL "Global Demo")"; do
  check product "simhost shows: $line" has product.host "$line"
done

# ---- A Community package found through the simulator's UserCfg.opt
appdata=$(winepath -u "$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')" 2>/dev/null)
simulator_folder="$appdata/Microsoft Flight Simulator"
if [ -n "$appdata" ] && [ ! -e "$simulator_folder/UserCfg.opt" ]; then
  jet="Wine_Jet_$$"
  mkdir -p "$simulator_folder" "$work/msfs/Community/some-jet/SimObjects/Airplanes/$jet/corvane_profiles"
  printf '{ "SaveName": "Package Demo", "LEDs": [] }' \
    >"$work/msfs/Community/some-jet/SimObjects/Airplanes/$jet/corvane_profiles/Velk_Throttle_Config.json"
  printf 'Version 1\r\nInstalledPackagesPath "%s"\r\n' "$(win "$work/msfs")" >"$simulator_folder/UserCfg.opt"
  run package test pipe "wait client 30000
wait 9 messages 10000
aircraft SimObjects\\Airplanes\\$jet\\aircraft.CFG
sleep 600
show texts
close
wait disconnect 10000"
  rm -f "$simulator_folder/UserCfg.opt"
  rmdir "$simulator_folder" 2>/dev/null
  check package "the package's profile is LOCAL" has package.host "$(reloaded 0 LOCAL "Package Demo")"
else
  check package "the prefix's roaming folder is known and holds no UserCfg.opt of its own ($simulator_folder)" false
fi
# ---- Nimbra_Bridge.ini naming the unit's pair, and a bad value
export VIRTUAL_UNIT_SCRIPT='attach 16C0:05DF own/0'
unit_session="wait client 30000
wait 9 messages 10000
$(aircraft Other)
set \"GEAR HANDLE POSITION\" Bool 1
sleep 600
sim on
event 6Hz
pick 9
sleep 300
show menu
close
wait disconnect 10000"
printf '[Unit]\r\nVendorId=0x16C0\r\nProductId=0x05DF\r\n' >"$work/test/Nimbra_Bridge.ini"
run named test pipe "$unit_session"
check named "the named pair's unit lit" grep -qx "$(report 3=80)" <(tr -d '\r' <"$work/named.reports")
check named "items 8 and 9" bash -c "grep -qF 'Velk_Throttle - Reload Bindings [8]' '$work/named.host' &&
  grep -qF 'Velk_Throttle - Hide Bindings [9]' '$work/named.host'"
check named "no box" [ ! -s "$work/named.boxes" ]
printf '[Unit]\r\nVendorId=0x16C0\r\nProductId=banana\r\n' >"$work/test/Nimbra_Bridge.ini"
run bad test pipe "$unit_session"
check bad "the settings box" grep -qF \
  "NimbraBridge|Settings: $(win "$work/test/Nimbra_Bridge.ini"): [Unit] ProductId=banana is not a number from 1 to 0xFFFF. The unit 1209:0001 is used." \
  "$work/bad.boxes"
check bad "the named unit left alone" [ ! -s "$work/bad.reports" ]
check bad "the menu all the same" has bad.host 'Velk_Throttle - Hide Bindings [9]'
rm "$work/test/Nimbra_Bridge.ini"
unset VIRTUAL_UNIT_SCRIPT

e2e_finish
