#!/usr/bin/env bash
# The pilot's own unit, end to end with the real Linux bridge and virtual_unit
# preloaded against simhost on a pipe of its own. Nimbra_Bridge.ini beside the
# bridge naming 16C0:05DF: that unit is opened, its menu items are 8 and 9 and
# its LEDs follow the values; without the file it is not opened; a bad value:
# the box, then the default pair. SIGTERM, SIGINT and SIGHUP while LEDs are
# lit: one all-zero report, the unit closed, the library shut down, exit 0
# within a second. nimbra-unit (built beside the bridge) against the
# preloaded virtual_unit: the report sequence of `test`, `set`, `off`, `list`,
# and its messages and statuses with no unit and with a failing open.
# Usage: test_bridge_settings_unit.sh BRIDGE SIMHOST LIBVIRTUAL_UNIT
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "$1" "$2" "$3"
tool=$(dirname "$bridge_source")/nimbra-unit

printf '{ "SaveName": "Own Unit", "LEDs": [ { "ByteIndex": 2, "BitIndex": 5, "Condition": "A:GEAR HANDLE POSITION,Bool", "ConditionValue": true } ] }' \
  >"$work/Velk_Throttle_Config.json"
named=$'[Unit]\r\nVendorId=0x16C0\r\nProductId=0x05DF\r\n'
both='attach 1209:0001 default/0; attach 16C0:05DF own/0'
session='wait client 5000
wait 9 messages 5000
aircraft Z:\nowhere\Plane\aircraft.cfg
set "GEAR HANDLE POSITION" Bool 1
sleep 400
sim on
event 6Hz
pick 9
set "GEAR HANDLE POSITION" Bool 0
sleep 300
event 6Hz
close
wait disconnect 5000'

# ---- the named pair
printf '%s' "$named" >"$work/Nimbra_Bridge.ini"
e2e_run named "$session" VIRTUAL_UNIT_SCRIPT="$both"
check named "the named pair is looked for" has named.log 'hid_enumerate(0x16c0, 0x05df) = 1 records'
check named "and its unit opened" has named.log 'hid_open_path("own/0") = handle 1'
check named "reload item 8" has named.host '  Velk_Throttle - Reload Bindings [8]'
check named "show item 9" has named.host '  Velk_Throttle - Show Bindings [9]'
check named "item 9 picked: hide item 9" has named.host '  Velk_Throttle - Hide Bindings [9]'
# The profile's load darkens the unit first; the shutdown ends with a zero report.
check named "dark, the LED lit, dark, then the zero report" \
  [ "$(cat "$work/named.reports")" = "$(printf '%s\n' "$(report)" "$(report 2=20)" "$(report)" "$(report)")" ]
check named "no box" [ ! -s "$work/named.err" ]

# ---- no file: the default pair, the other unit untouched
rm "$work/Nimbra_Bridge.ini"
e2e_run nofile "$session" VIRTUAL_UNIT_SCRIPT='attach 16C0:05DF own/0'
check nofile "the default pair is looked for" has nofile.log 'hid_enumerate(0x1209, 0x0001) = 0 records'
check nofile "nothing opened" lacks nofile.log 'hid_open_path'
check nofile "no report" [ ! -s "$work/nofile.reports" ]
check nofile "no box" [ ! -s "$work/nofile.err" ]

# ---- a bad value: the box, then the default pair
printf '[Unit]\nVendorId=0x16C0\nProductId=banana\n' >"$work/Nimbra_Bridge.ini"
e2e_run bad "$session" VIRTUAL_UNIT_SCRIPT="$both"
check bad "one box naming the file, the key and the value" [ "$(cat "$work/bad.err")" = \
  "NimbraBridge|Settings: $work/Nimbra_Bridge.ini: [Unit] ProductId=banana is not a number from 1 to 0xFFFF. The unit 1209:0001 is used." ]
check bad "the default unit opened" has bad.log 'hid_open_path("default/0") = handle 1'
check bad "its menu items 8 and 9" bash -c "grep -qF '  Velk_Throttle - Reload Bindings [8]' '$work/bad.host' &&
  grep -qF '  Velk_Throttle - Hide Bindings [9]' '$work/bad.host'"
rm "$work/Nimbra_Bridge.ini"

# ---- stop signals while an LED is lit
# The bridge's own process (under timeout and env), by its executable.
bridge_process() {
  local p
  for p in $(pgrep -f -- "$bridge"); do [ "$(readlink "/proc/$p/exe")" = "$bridge" ] && echo "$p"; done
}
for signal in TERM INT HUP; do
  name=sig$signal
  E2E_BACKGROUND=1 e2e_run $name 'wait client 5000
wait 9 messages 5000
aircraft Z:\nowhere\Plane\aircraft.cfg
set "GEAR HANDLE POSITION" Bool 1
sleep 400
sim on
event 6Hz
wait disconnect 10000'
  tries=0
  until grep -qx "$(report 2=20)" "$work/$name.reports" 2>/dev/null || [ $tries -ge 200 ]; do sleep 0.05; tries=$((tries + 1)); done
  pid=$(bridge_process)
  check $name "the LED is lit before the signal" grep -qx "$(report 2=20)" "$work/$name.reports"
  [ -n "$pid" ] && kill -s $signal "$pid"
  tries=0
  while [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && [ $tries -lt 20 ]; do sleep 0.05; tries=$((tries + 1)); done
  check $name "the bridge ended within a second" bash -c "[ -n '$pid' ] && ! kill -0 '$pid' 2>/dev/null"
  e2e_wait
  check $name "one zero report, close, exit" \
    [ "$(tail -n 3 "$work/$name.log")" = $'hid_send_feature_report(handle 1, 65 bytes) = 65\nhid_close(handle 1)\nhid_exit() = 0' ]
  check $name "the last report is all zero" [ "$(tail -n 1 "$work/$name.reports")" = "$(report)" ]
done

# ---- nimbra-unit against virtual_unit
unit_run() {  # NAME SCRIPT ARGS...: output in $work/NAME.{out,err,log,reports}, status in $work/NAME.status
  local name=$1 script=$2
  shift 2
  rm -f "$work/$name.log" "$work/$name.reports"
  LD_PRELOAD="$(preload_list "$tool" "$unit")" VIRTUAL_UNIT_SCRIPT="$script" VIRTUAL_UNIT_LOG="$work/$name.log" \
    VIRTUAL_UNIT_REPORTS="$work/$name.reports" "$tool" --settings "$work/tool.ini" "$@" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.status"
}
status() { [ "$(cat "$work/$1.status")" = "$2" ]; }
printf '%s' "$named" >"$work/tool.ini"

unit_run test "$both" test --delay 0
expected=() lines=("nimbra-unit: testing 16C0:05DF")
for byte in 1 2 3 4; do
  for bit in 0 1 2 3 4 5 6 7; do
    [ $byte = 4 ] && [ $bit -gt 3 ] && break
    expected+=("$(report $byte=$(printf '%02x' $((1 << bit))))")
    lines+=("byte $byte bit $bit")
  done
done
expected+=("$(report 1=ff 2=ff 3=ff 4=0f)" "$(report)")
lines+=("all 28 positions" "none")
check test "exit 0" status test 0
check test "each position, then all, then none" [ "$(cat "$work/test.reports")" = "$(printf '%s\n' "${expected[@]}")" ]
check test "each position printed" [ "$(cat "$work/test.out")" = "$(printf '%s\n' "${lines[@]}")" ]
check test "on the named unit, closed" bash -c "grep -q 'hid_open_path(\"own/0\")' '$work/test.log' && tail -n 2 '$work/test.log' | grep -q 'hid_close(handle 1)'"

unit_run set "$both" set 1/0 4/3
check set "exit 0" status set 0
check set "exactly those positions" [ "$(cat "$work/set.reports")" = "$(report 1=01 4=08)" ]
unit_run set_range "$both" set 1/0 4/4
check set_range "out of range: usage error" status set_range 2
check set_range "the position named" has set_range.err "'4/4' is not an LED position"
check set_range "nothing sent, hidapi untouched" [ ! -s "$work/set_range.log" ]
unit_run off "$both" off
check off "exit 0, one zero report" bash -c "[ \"\$(cat '$work/off.status')\" = 0 ] && [ \"\$(cat '$work/off.reports')\" = '$(report)' ]"
unit_run list "$both" list
check list "exit 0" status list 0
check list "the named unit marked" has list.out '* 16C0:05DF  "" ""  usage 0000:0000  interface 1  own/0'
check list "the other listed" has list.out '  1209:0001  "" ""  usage 0000:0000  interface 0  default/0'
unit_run none 'attach 1209:0001 default/0' off
check none "no unit: exit 1" status none 1
check none "one line saying so" [ "$(cat "$work/none.err")" = 'nimbra-unit: no HID interface is 16C0:05DF; is the unit plugged in? (nimbra-unit list shows what is there)' ]
unit_run failopen "$both; fail open" test --delay 0
check failopen "failing open: exit 2" status failopen 2
check failopen "one line naming the missing rule" bash -c "[ \$(wc -l <'$work/failopen.err') = 1 ] &&
  grep -qF '16C0:05DF at own/0 did not open; opening it needs the udev rule /etc/udev/rules.d/71-nimbra-unit.rules' '$work/failopen.err'"
check failopen "nothing sent" [ ! -s "$work/failopen.reports" ]
e2e_finish
