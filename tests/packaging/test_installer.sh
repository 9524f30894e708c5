#!/usr/bin/env bash
# The Windows installer under wine, in a fresh prefix of its own that holds the
# 2020 simulator (Steam) with an exe.xml of another add-on and a comment:
#  - a silent install puts the files of packaging/windows/contents in place,
#    registers with the installed programs and the start menu, and exe.xml then
#    has both entries, the comment, and the old file as a backup;
#  - a second install (an upgrade) after the pilot edited the GLOBAL profile
#    and wrote a settings file keeps both, with still one entry of ours;
#  - a silent uninstall removes the program and our entry, and leaves the
#    other add-on, the comment, the profile and the settings.
# Usage: test_installer.sh SETUP_EXE CONTENTS_LIST
set -u
setup=$(realpath "$1")
contents=$(realpath "$2")
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all DISPLAY=
trap 'wineserver -k >/dev/null 2>&1; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
passes=0
failures=0
check() {
  local what=$1
  shift
  if "$@"; then
    echo "  ok: $what"
    passes=$((passes + 1))
  else
    echo "  FAILED: $what"
    failures=$((failures + 1))
  fi
}
count() { grep -c -- "$2" "$1" 2>/dev/null || true; }

timeout 300 wineboot --init >/dev/null 2>&1 </dev/null
user_dir="$WINEPREFIX/drive_c/users/$(whoami)"
sim="$user_dir/AppData/Roaming/Microsoft Flight Simulator"
target="$user_dir/AppData/Local/Programs/Nimbra Bridge"
menu="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Nimbra Bridge"
[ -d "$user_dir/AppData/Roaming" ] || { echo "the wine prefix has no user folder: $user_dir"; exit 1; }
mkdir -p "$sim"
printf 'InstalledPackagesPath "D:\\MSFS"\r\n' >"$sim/UserCfg.opt"
printf '%s\r\n' '<?xml version="1.0" encoding="utf-8"?>' \
  '<SimBase.Document Type="Launch" version="1,0">' \
  '  <Descr>Launch</Descr>' \
  '  <!-- the pilot'"'"'s note -->' \
  '  <Launch.Addon>' \
  '    <Name>Other Add-on</Name>' \
  '    <Disabled>False</Disabled>' \
  '    <Path>C:\Tools\other.exe</Path>' \
  '  </Launch.Addon>' \
  '</SimBase.Document>' >"$sim/exe.xml"
cp "$sim/exe.xml" "$work/exe.xml.original"
reg_entry() { wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\NimbraBridge' /v DisplayName 2>/dev/null | grep -q 'Nimbra Bridge'; }
all_installed() {
  local file
  while read -r file; do [ -f "$target/$file" ] || { echo "    missing: $file"; return 1; }; done < <(grep -v '^#' "$contents")
  [ -f "$target/Uninstall.exe" ]
}
ours_path() {
  grep -q "<Path>C:\\\\users\\\\$(whoami)\\\\AppData\\\\Local\\\\Programs\\\\Nimbra Bridge\\\\Nimbra_Bridge.exe</Path>" "$sim/exe.xml"
}

echo "== silent install"
timeout 120 wine "$setup" /S </dev/null >/dev/null 2>&1
check "the installer exits with 0" [ $? -eq 0 ]
check "every file of the contents list and the uninstaller" all_installed
check "registered with the installed programs" reg_entry
check "start-menu entries for the guide and the profile folder" \
  test -f "$menu/Nimbra Bridge guide.lnk" -a -f "$menu/Nimbra Bridge profile folder.lnk"
check "exe.xml has one entry of ours, with the installed bridge" [ "$(count "$sim/exe.xml" '<Name>Nimbra Bridge</Name>')" = 1 ]
check "  starting the installed bridge" ours_path
check "  and still the other add-on and the comment" \
  bash -c "grep -q '<Name>Other Add-on</Name>' '$sim/exe.xml' && grep -q 'the pilot.s note' '$sim/exe.xml'"
check "the old exe.xml kept as exe.xml.nimbra-backup" cmp -s "$sim/exe.xml.nimbra-backup" "$work/exe.xml.original"

echo "== upgrade after the pilot's edits"
printf '\n' >>"$target/Velk_Throttle_Config.json"
sed -i 's/"SaveName": *"[^"]*"/"SaveName": "Pilot edit"/' "$target/Velk_Throttle_Config.json"
printf '[Unit]\r\nVendorId=1234\r\n' >"$target/Nimbra_Bridge.ini"
cp "$target/Velk_Throttle_Config.json" "$work/profile.edited"
cp "$target/Nimbra_Bridge.ini" "$work/ini.edited"
timeout 120 wine "$setup" /S </dev/null >/dev/null 2>&1
check "the second installer exits with 0" [ $? -eq 0 ]
check "the edited GLOBAL profile is kept" cmp -s "$target/Velk_Throttle_Config.json" "$work/profile.edited"
check "the settings file is kept" cmp -s "$target/Nimbra_Bridge.ini" "$work/ini.edited"
check "still exactly one entry of ours" [ "$(count "$sim/exe.xml" '<Name>Nimbra Bridge</Name>')" = 1 ]
check "every file still in place" all_installed

echo "== silent uninstall"
# The way the installed programs list runs it: the uninstaller copies itself
# away and returns at once; the copy has done when the wine server ends.
timeout 120 wine "$target/Uninstall.exe" /S </dev/null >/dev/null 2>&1
check "the uninstaller exits with 0" [ $? -eq 0 ]
timeout 120 wineserver -w
check "our entry is gone from exe.xml" [ "$(count "$sim/exe.xml" '<Name>Nimbra Bridge</Name>')" = 0 ]
check "the other add-on and the comment are intact" \
  bash -c "grep -q '<Name>Other Add-on</Name>' '$sim/exe.xml' && grep -q 'the pilot.s note' '$sim/exe.xml'"
check "exe.xml is again what it was" cmp -s "$sim/exe.xml" "$work/exe.xml.original"
check "the program's files are gone" \
  bash -c "cd '$target' && ! ls Nimbra_Bridge.exe nimbra-autostart.exe README.txt Uninstall.exe docs examples 2>/dev/null | grep -q ."
check "the profile and the settings are kept" \
  bash -c "cmp -s '$target/Velk_Throttle_Config.json' '$work/profile.edited' && cmp -s '$target/Nimbra_Bridge.ini' '$work/ini.edited'"
check "no longer registered" bash -c "! $(declare -f reg_entry); ! reg_entry"
check "the start-menu folder is gone" test ! -e "$menu"

echo "installer: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
