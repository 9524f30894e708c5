#!/usr/bin/env bash
# The real Linux bridge with virtual_unit preloaded in place of hidapi,
# against the simhost command on a pipe of its own. With the unit attached:
# its two menu sub-items with send ids 7 to 9, and when simhost closes one
# all-zero report, the unit closed, the library shut down and exit code 0.
# Then with each hidapi call failing in turn: no crash, the menu all the
# same, exit code 0, and the HID box only when hid_init fails.
# Usage: test_bridge_unit.sh BRIDGE SIMHOST LIBVIRTUAL_UNIT
# (No "1sec" event: the reload markers are the machine's, and another test
# run may be using them.)
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "$1" "$2" "$3"

script='wait client 5000
wait 9 messages 5000
show messages
sim on
event 6Hz
close
wait disconnect 5000'

opened=$'hid_init() = 0\nhid_enumerate(0x1209, 0x0001) = 1 records\nhid_open_path("virtual_unit/0") = handle 1\nhid_free_enumeration()'
declare -A calls=(
  [attached]="$opened"$'\nhid_send_feature_report(handle 1, 65 bytes) = 65\nhid_close(handle 1)\nhid_exit() = 0'
  [init]=$'hid_init() = -1\nhid_exit() = 0'
  [enumerate]=$'hid_init() = 0\nhid_enumerate(0x1209, 0x0001) = failed\nhid_free_enumeration()\nhid_exit() = 0'
  [open]=$'hid_init() = 0\nhid_enumerate(0x1209, 0x0001) = 1 records\nhid_open_path("virtual_unit/0") = failed\nhid_free_enumeration()\nhid_exit() = 0'
  [send]="$opened"$'\nhid_send_feature_report(handle 1, 65 bytes) = -1\nhid_close(handle 1)\nhid_exit() = 0'
  [exit]="$opened"$'\nhid_send_feature_report(handle 1, 65 bytes) = 65\nhid_close(handle 1)\nhid_exit() = -1'
)
hid_box='NimbraBridge|HidDevice: Failed to Initialize Main HID Interface (thus inoperative)'

for name in attached init enumerate open send exit; do
  setup="attach 1209:0001 virtual_unit/0"
  [ "$name" = attached ] || setup="$setup; fail $name"
  e2e_run "$name" "$script" VIRTUAL_UNIT_SCRIPT="$setup"
  check "$name" "reload sub-item #7" has "$name.host" 'MenuAddSubItem #7: under [6] "Velk_Throttle - Reload Bindings" [8], data 0'
  check "$name" "sub-item delete #8" has "$name.host" 'MenuDeleteSubItem #8: under [6] [9]'
  check "$name" "show sub-item #9" has "$name.host" 'MenuAddSubItem #9: under [6] "Velk_Throttle - Show Bindings" [9], data 0'
  check "$name" "the hidapi calls" [ "$(cat "$work/$name.log")" = "${calls[$name]}" ]
  expected_err=""
  [ "$name" = init ] && expected_err=$hid_box
  check "$name" "standard error: '$expected_err'" [ "$(cat "$work/$name.err")" = "$expected_err" ]
  if [ "$name" = attached ] || [ "$name" = exit ]; then
    check "$name" "exactly one all-zero report" [ "$(cat "$work/$name.reports")" = "$(report)" ]
  else
    check "$name" "no report reached the unit" [ ! -s "$work/$name.reports" ]
  fi
done
e2e_finish
