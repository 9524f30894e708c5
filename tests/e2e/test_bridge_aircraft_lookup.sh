#!/usr/bin/env bash
# Where the real bridge finds an aircraft's LOCAL profile for each form in
# which the simulators report the aircraft: the folder of an absolute path,
# the pilot's own per-aircraft folder beside the executable (keys from the
# part after SimObjects, matched without regard to case), and a Community
# package below the PackagesPath of the settings file. Each load is checked
# by its exact reload line, and `nimbra-profile which` must name the same file.
# Usage: test_bridge_aircraft_lookup.sh BRIDGE SIMHOST LIBVIRTUAL_UNIT NIMBRA_RELOAD NIMBRA_PROFILE
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "$1" "$2" "$3"
profile_tool=$(realpath "$5")

# A profile without LEDs titled TITLE at PATH (below the work folder).
profile() {
  mkdir -p "$work/$(dirname "$1")"
  printf '{ "SaveName": "%s", "LEDs": [] }' "$2" >"$work/$1"
}
file=Velk_Throttle_Config.json
profile "$file" "Global"
profile "corvane_profiles/asobo_c172sp_classic/$file" "C172 classic"
profile "corvane_profiles/C172SP_Avionics_Cargo/$file" "Cargo preset"
profile "corvane_profiles/ASOBO_C172SP_G1000/$file" "G1000 airframe"
profile "corvane_profiles/asobo_h125/$file" "H125"
profile "corvane_profiles/Plane/$file" "Own Plane"
profile "Plane/corvane_profiles/$file" "Parts Plane"
profile "msfs/Community/b-jet/SimObjects/Airplanes/Addon_Jet/corvane_profiles/$file" "Community Jet"
profile "msfs/Community/c-jet/SimObjects/Airplanes/Addon_Jet/corvane_profiles/$file" "Later package"
mkdir -p "$work/msfs/Community/a-jet/SimObjects/Airplanes/Addon_Jet"
printf 'not a package' >"$work/msfs/Community/0-file"
printf '[Simulator]\nPackagesPath=%s/msfs\n' "$work" >"$work/Nimbra_Bridge.ini"

windows_work="Z:$(echo "$work" | tr / '\\')"
long=$(printf 'SimObjects\\Airplanes\\%05000d\\aircraft.cfg' 0)
# The reported string, the title the bridge must load (empty: the GLOBAL
# profile), and what the case shows.
cases=(
  'SimObjects\Airplanes\Asobo_C172sp_classic\aircraft.CFG' "C172 classic" "2020, relative"
  'SimObjects\Airplanes\asobo_c172sp_g1000\presets\asobo\c172sp_avionics_cargo\config\aircraft.CFG' "Cargo preset" "2024, the preset key first"
  'SimObjects\Airplanes\asobo_c172sp_g1000\presets\asobo\c172sp_avionics_ferry\config\aircraft.CFG' "G1000 airframe" "2024, only the airframe key"
  'c:\users\pilot\appdata\local\packages\microsoft.limitless_8wekyb3d8bbwe\localstate\streamedpackages\asobo-aircraft-h125\content\simobjects\airplanes\asobo_h125\presets\asobo\h125_rescue\config\aircraft.cfg' "H125" "2024, absolute and streamed"
  "$windows_work\\Plane\\aircraft.cfg" "Parts Plane" "an absolute existing folder: its own profile wins"
  'C:\Aircraft\Plane\aircraft.cfg' "Own Plane" "no SimObjects: the folder holding the file"
  'SimObjects\Airplanes\ADDON_JET\aircraft.cfg' "Community Jet" "a Community package below PackagesPath, first in name order"
  'SimObjects\Airplanes\..\aircraft.cfg' "" "a key .. is refused"
  'SimObjects\Airplanes\Unknown\aircraft.cfg' "" "nothing anywhere"
  '\\\\\\' "" "only separators"
  "$long" "" "5,000 characters"
)
reloaded() {
  if [ -n "$1" ]; then
    echo "text (red, 10 s): NimbraBridge|ReloadJson: Velk_Throttle reloaded 0 binding(s) successfully from LOCAL profile '$1'."
  else
    echo "text (red, 10 s): NimbraBridge|ReloadJson: Velk_Throttle reloaded 0 binding(s) successfully from GLOBAL profile 'Global'."
  fi
}

script="wait client 5000
wait 9 messages 5000"
expected=""
for ((i = 0; i < ${#cases[@]}; i += 3)); do
  script+=$'\n'"aircraft ${cases[i]}"
  expected+="$(reloaded "${cases[i + 1]}")"$'\n'
done
# The event and the system-state answer of one aircraft, as different strings;
# then an empty string on both (a menu).
script+=$'\n''aircraft SimObjects\Airplanes\Asobo_C172sp_classic\aircraft.CFG | c:\users\pilot\appdata\local\packages\microsoft.limitless_8wekyb3d8bbwe\localstate\streamedpackages\asobo-aircraft-h125\content\simobjects\airplanes\asobo_h125\presets\asobo\h125_rescue\config\aircraft.cfg'
expected+="$(reloaded "C172 classic")"$'\n'"$(reloaded "H125")"$'\n'
# No folder: the bare file name in the current folder, which here is the
# bridge's own, so its GLOBAL file is read and called LOCAL.
script+=$'\n''aircraft |'
expected+="$(reloaded "Global")"$'\n'"$(reloaded "Global")"$'\n'
script+="
sleep 500
close
wait disconnect 5000"
e2e_run lookup "$script"
check lookup "one reload line per report, in order, each from the expected profile" \
  [ "$(grep -F 'NimbraBridge|ReloadJson' "$work/lookup.host")"$'\n' = "$expected" ]
check lookup "no box" [ ! -s "$work/lookup.err" ]

# The same table through nimbra-profile which, against the same folder.
for ((i = 0; i < ${#cases[@]}; i += 3)); do
  title=${cases[i + 1]}
  out=$("$profile_tool" which --bridge-dir "$work" "${cases[i]}")
  chosen=$(sed -n 's/^loads: //p' <<<"$out")
  if [ -n "$title" ]; then
    # The file it names holds the expected title.
    check which "${cases[i + 2]}: LOCAL with '$title' (got: $chosen)" \
      grep -qF "\"$title\"" "$(sed 's/^LOCAL //; s/^Z://; s|\\|/|g' <<<"$chosen")"
  else
    check which "${cases[i + 2]}: GLOBAL (got: $chosen)" [ "$chosen" = "GLOBAL $work/$file" ]
  fi
done
out=$("$profile_tool" which --bridge-dir "$work")
check which "no aircraft: no keys, GLOBAL" [ "$(grep -E '^(keys|loads):' <<<"$out")" = "keys: none
loads: GLOBAL $work/$file" ]
out=$("$profile_tool" which --bridge-dir "$work" 'SimObjects\Airplanes\asobo_c172sp_g1000\presets\asobo\c172sp_avionics_cargo\config\aircraft.CFG')
check which "the keys of a 2024 aircraft" grep -qx 'keys: c172sp_avionics_cargo, asobo_c172sp_g1000' <<<"$out"
check which "the own folder of the airframe key is listed as found after the chosen one" \
  grep -qF "  found   own folder: $work/corvane_profiles/ASOBO_C172SP_G1000/$file" <<<"$out"
e2e_finish
