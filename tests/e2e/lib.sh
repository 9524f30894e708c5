# Shared by the end-to-end scripts that run the real bridge with virtual_unit
# preloaded against the simhost command, each on a pipe of its own (and, for
# check, report and wait_for_listening, by the Windows script under wine).
#   e2e_init BRIDGE SIMHOST LIBVIRTUAL_UNIT   work folder, pipe, SimConnect.cfg
#   e2e_run NAME SCRIPT [VAR=VALUE...]        one bridge life; files $work/NAME.*
#   check NAME CONDITION-TEXT COMMAND...      counts a failed check
#   e2e_finish                                "N passed, M failed" and the status
# The bridge runs as a copy inside the work folder, so that its GLOBAL profile
# (beside the executable) is the test's own.

e2e_init() {
  bridge_source=$(realpath "$1")
  simhost=$(realpath "$2")
  unit=$(realpath "$3")
  work=$(mktemp -d)
  host=
  trap 'kill $host 2>/dev/null; rm -rf "$work"' EXIT
  pipe="nimbra-e2e-$(basename "$0" .sh)-$$-$RANDOM"
  printf '[SimConnect]\nProtocol=Pipe\nPort=%s\n' "$pipe" >"$work/SimConnect.cfg"
  cp "$bridge_source" "$work/Nimbra_Bridge"
  bridge="$work/Nimbra_Bridge"
  preload=$(preload_list "$bridge" "$unit")
  failures=0
  checks=0
}

# The bridge tries to connect once: start it only when simhost, whose output
# goes to FILE, listens (at most TRIES times 50 ms).
wait_for_listening() {
  local tries=0
  until grep -q '^listening:' "$1" 2>/dev/null || [ $tries -ge "$2" ]; do
    sleep 0.05
    tries=$((tries + 1))
  done
}

# The LD_PRELOAD list for BRIDGE with virtual_unit UNIT: a sanitizer runtime
# the bridge links has to come first.
preload_list() {
  local asan
  asan=$(ldd "$1" | awk '/libasan/ {print $3}')
  echo "${asan:+$asan }$2"
}

# Runs simhost with SCRIPT and the bridge against it, in the background when
# E2E_BACKGROUND is set (then e2e_wait finishes it).
e2e_run() {
  local name=$1 script=$2
  shift 2
  printf '%s\n' "$script" >"$work/$name.simhost"
  rm -f "$work/$name.log" "$work/$name.reports"
  "$simhost" --pipe="$pipe" --quiet --value-period 50 --script "$work/$name.simhost" >"$work/$name.host" 2>&1 &
  host=$!
  wait_for_listening "$work/$name.host" 200
  (cd "$work" && env -u SimConnect_Port_IPv4 -u SimConnect_Port_IPv6 HOME="$work" LD_PRELOAD="$preload" \
      VIRTUAL_UNIT_LOG="$work/$name.log" VIRTUAL_UNIT_REPORTS="$work/$name.reports" "$@" \
      timeout 30 "$bridge" >"$work/$name.out" 2>"$work/$name.err") &
  bridge_pid=$!
  current=$name
  [ -n "${E2E_BACKGROUND:-}" ] || e2e_wait
}

e2e_wait() {
  wait $bridge_pid
  code=$?
  wait $host
  host=
  check "$current" "the bridge exits with 0 (got $code)" [ "$code" -eq 0 ]
}

check() {
  local name=$1 what=$2
  shift 2
  checks=$((checks + 1))
  if ! "$@"; then
    echo "$name: not so: $what"
    failures=$((failures + 1))
    failed_names="${failed_names:-} $name"
  fi
}

# A report as written to VIRTUAL_UNIT_REPORTS, from BYTE=VALUE pairs.
report() {
  local bytes=() i
  for i in $(seq 0 64); do bytes[i]=00; done
  for pair in "$@"; do bytes[${pair%%=*}]=${pair#*=}; done
  echo "${bytes[*]}"
}

has() { grep -qF -- "$2" "$work/$1"; }
lacks() { ! grep -qF -- "$2" "$work/$1"; }
count() { grep -cF -- "$2" "$work/$1"; }

e2e_finish() {
  if [ "$failures" -ne 0 ]; then
    for name in $(printf '%s\n' $failed_names | sort -u); do
      for kind in host err log reports boxes; do
        [ -e "$work/$name.$kind" ] && { echo "--- $name.$kind"; cat "$work/$name.$kind"; }
      done
    done
  fi
  echo "$((checks - failures)) passed, $failures failed"
  [ "$failures" -eq 0 ]
}
