#!/usr/bin/env bash
# The Linux product as packaged. The install rules of the component "product"
# are staged with DESTDIR from the build of BRIDGE (or, with PACKAGE_ROOT set,
# an unpacked package is taken): they hold exactly the paths listed in
# packaging/debian/contents, so no stand-in, test program or demo; the bridge
# started through /usr/bin/nimbra-bridge finds the sample GLOBAL profile through
# its link to /etc, reaches simhost and lights the unit; nimbra-profile accepts
# the sample; the systemd unit starts the installed bridge and comes back after
# it ends; the udev rule names the unit's identifiers of the code.
# Usage: test_packaging.sh BRIDGE E2E_RUNNER LIBVIRTUAL_UNIT
set -u
bridge_source=$(realpath "$1")
runner=$(realpath "$2")
unit=$(realpath "$3")
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=${PACKAGE_ROOT:-$work/root}
if [ -z "${PACKAGE_ROOT:-}" ]; then
  DESTDIR=$root cmake --install "$(dirname "$bridge_source")" --component product --prefix /usr --strip >/dev/null
fi
checks=0
failures=0
check() {
  local name=$1 what=$2
  shift 2
  checks=$((checks + 1))
  "$@" || { echo "$name: not so: $what"; failures=$((failures + 1)); }
}

# ---- the files, and nothing else
listing() {
  (cd "$root" && find . ! -type d | LC_ALL=C sort | while read -r p; do
    if [ -L "$p" ]; then echo "${p#.} -> $(readlink "$p")"; else echo "${p#.}"; fi
  done)
}
check contents "exactly the listed paths: $(diff <(grep -v '^#' "$repo/packaging/debian/contents") <(listing) | tr '\n' ' ')" \
  cmp -s <(grep -v '^#' "$repo/packaging/debian/contents") <(listing)
check contents "no stand-in or test program" bash -c "! ls -R '$root' | grep -Eiq 'virtual_unit|simhost|demo|test|bench'"
check contents "the bridge links hidapi's hidraw library, nothing of the build" \
  bash -c "readelf -d '$root/usr/lib/nimbra-bridge/Nimbra_Bridge' | grep -q 'NEEDED.*libhidapi-hidraw' &&
           ! readelf -d '$root/usr/lib/nimbra-bridge/Nimbra_Bridge' | grep -Eq 'RPATH|RUNPATH|virtual_unit'"

# ---- the installed bridge, started through its link, against simhost
bridge=$root/usr/bin/nimbra-bridge
check session "the installed bridge against simhost (tests/e2e/package/installed_bridge.case)" \
  "$runner" --in-place --bridge "$bridge" --unit "$unit" "$repo/tests/e2e/package/installed_bridge.case"
check tools "nimbra-profile accepts the installed sample (exit 0)" \
  "$root/usr/bin/nimbra-profile" check "$root/usr/lib/nimbra-bridge/Velk_Throttle_Config.json" >/dev/null
check tools "nimbra-reload is there" [ -x "$root/usr/bin/nimbra-reload" ]
check tools "nimbra-unit reads the shipped settings beside the bridge: all commented, the default pair" \
  bash -c "'$root/usr/bin/nimbra-unit' udev-rule 2>&1 | grep -q 'ATTRS{idVendor}==\"1209\", ATTRS{idProduct}==\"0001\"' &&
           [ -z \"\$('$root/usr/bin/nimbra-unit' udev-rule 2>&1 >/dev/null)\" ]"
check tools "the shipped settings file names the pair's keys, commented" \
  bash -c "grep -qx ';VendorId=16C0' '$root/etc/nimbra-bridge/Nimbra_Bridge.ini' && grep -qx ';ProductId=05DF' '$root/etc/nimbra-bridge/Nimbra_Bridge.ini'"

# ---- the systemd user unit
unit=$root/usr/lib/systemd/user/nimbra-bridge.service
value() { sed -n "s/^$1=//p" "$unit"; }
check unit "starts the installed bridge" [ "$(value ExecStart)" = /usr/lib/nimbra-bridge/Nimbra_Bridge ]
check unit "comes back whenever the bridge ends" [ "$(value Restart)" = always ]
check unit "after a few seconds" bash -c "[ '$(value RestartSec)' -ge 1 ] && [ '$(value RestartSec)' -le 10 ]"
check unit "and never gives up" [ "$(value StartLimitIntervalSec)" = 0 ]
check unit "started with the session" [ "$(value WantedBy)" = default.target ]
if command -v systemd-analyze >/dev/null; then
  mkdir -p "$work/units" "$work/run"
  sed "s|^ExecStart=|ExecStart=$root|" "$unit" >"$work/units/nimbra-bridge.service"
  XDG_RUNTIME_DIR=$work/run systemd-analyze verify --user "$work/units/nimbra-bridge.service" >"$work/verify" 2>&1
  verified=$?
  check unit "systemd-analyze verify: no complaint ($(cat "$work/verify"))" bash -c "[ $verified -eq 0 ] && [ ! -s '$work/verify' ]"
fi

# ---- the udev rule: the identifiers the bridge looks for
rule=$(grep -v '^#' "$root/usr/lib/udev/rules.d/70-nimbra-velk-throttle.rules")
unit_id() { sed -n "s/.*$1 = 0x\([0-9A-Fa-f]*\);/\1/p" "$repo/src/devices/supported_unit.h" | tr A-F a-f; }
for match in 'SUBSYSTEM=="hidraw"' "ATTRS{idVendor}==\"$(unit_id kSupportedUnitVendorId)\"" \
             "ATTRS{idProduct}==\"$(unit_id kSupportedUnitProductId)\"" 'TAG+="uaccess"'; do
  check rule "one line with $match" [ "$(grep -cF -- "$match" <<<"$rule")" -eq 1 ]
done
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
