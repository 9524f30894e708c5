#!/usr/bin/env bash
# nimbra-profile and the profile schema over every profile in the repository
# (the samples, the demo's, the test profiles), and the checker on hostile
# files: every sample loads without errors and validates; the schema accepts
# tests/profiles/valid and rejects each file of tests/profiles/invalid, on
# which the checker warns; a file that cannot load gives exit status 2 with a
# clear message, never a crash.
# Usage: test_profile_checker.sh BRIDGE E2E_RUNNER LIBVIRTUAL_UNIT NIMBRA_PROFILE
set -u
checker=$(realpath "$4")
root=$(cd "$(dirname "$0")/../.." && pwd)
profiles="$root/tests/profiles"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
checks=0
failures=0
check() {
  local what=$1
  shift
  checks=$((checks + 1))
  if ! "$@"; then
    echo "not so: $what"
    failures=$((failures + 1))
  fi
}
# Debian's validator: its python, whatever else is first on PATH.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
validate() {  # exit 0 when every FILE validates
  "$python" - "$root/docs/profile.schema.json" "$@" <<'PY'
import json, sys, jsonschema
validator = jsonschema.Draft202012Validator(json.load(open(sys.argv[1])))
bad = 0
for path in sys.argv[2:]:
    errors = list(validator.iter_errors(json.load(open(path, encoding="utf-8"))))
    for error in errors:
        print("%s: %s: %s" % (path, "/".join(map(str, error.absolute_path)), error.message[:120]))
    bad += bool(errors)
sys.exit(1 if bad else 0)
PY
}
rejects() { ! validate "$1" >/dev/null; }
status_of() { "$checker" check "$@" >"$work/out" 2>"$work/err"; echo $?; }

check "the schema is a valid draft 2020-12 schema" "$python" -c \
  "import json,jsonschema,sys; jsonschema.Draft202012Validator.check_schema(json.load(open(sys.argv[1])))" \
  "$root/docs/profile.schema.json"

# ---- every profile of the repository: no errors, and valid
mapfile -t samples < <(cd "$root" && { ls docs/examples/*.json; find docs demo -name '*_Config.json'; } | sort -u)
check "there are samples" [ ${#samples[@]} -ge 2 ]
for sample in "${samples[@]}"; do
  status=$(status_of "$root/$sample")
  check "$sample loads without errors (exit $status)" [ "$status" -lt 2 ]
  check "$sample validates" validate "$root/$sample"
done
status=$(status_of "$root/docs/examples/Velk_Throttle_Config.json")
check "the sample profile is clean (exit $status)" [ "$status" -eq 0 ]
# The demo misspells one variable on purpose: that warning, and no other.
status=$(status_of "$root/demo/corvane_profiles/Demo_Trainer/Velk_Throttle_Config.json")
check "the demo's profile has warnings only (exit $status)" [ "$status" -eq 1 ]
check "for its one misspelled variable" [ "$(grep -c ' warning \[' "$work/out")" -eq 1 ]
check "which is LIGHT BEACNO" grep -qF '"LIGHT BEACNO" is not a simulation variable' "$work/out"
check "with a note on its local variables" grep -qF "note [local-variable-unchecked]" "$work/out"

# ---- the schema and the checker agree on the test profiles
for file in "$profiles"/valid/*.json; do
  check "$(basename "$file") validates" validate "$file"
  status=$(status_of "$file")
  check "$(basename "$file") is clean (exit $status)" [ "$status" -eq 0 ]
done
for file in "$profiles"/invalid/*.json "$profiles/every_mistake.json"; do
  check "the schema rejects $(basename "$file")" rejects "$file"
  status=$(status_of "$file")
  check "the checker warns on $(basename "$file") (exit $status)" [ "$status" -eq 1 ]
done

# ---- every kind of mistake named, in text and as JSON
"$checker" check "$profiles/every_mistake.json" >"$work/mistakes"
for reason in 'entry 1: passed over: not an object' 'entry 2: passed over: no condition' \
    'entry 3: passed over: "ByteIndex" missing' 'entry 4: passed over: "ByteIndex" not an unsigned integer' \
    'entry 5: passed over: "ByteIndex" 5 is above 4' 'entry 6: passed over: "BitIndex" 8 is above 7' \
    'entry 7: passed over: "BitIndex" 4 is above 3 in byte 4' 'entry 8: passed over: byte 0 holds only the gate, at bit 0' \
    "reference has no ',' before its units" 'Bool value is not TRUE, FALSE, 0 or 1' \
    'Number value is not a number or out of range' '"ConditionValue" is null' \
    '"Condition" without "ConditionValue"' 'element is not an object' \
    '"ConditionLogic" "or" means all-of' 'byte 2 bit 4 is bound by entries 13 14' \
    'L:MYSWITCH,Number  Number: begins with "L:", which needs "LocalVariables": true in the profile' 'Char value is not one ASCII character'; do
  check "the report names: $reason" grep -qF -- "$reason" "$work/mistakes"
done
"$checker" check --json "$profiles/every_mistake.json" "$root/docs/examples/Velk_Throttle_Config.json" >"$work/json"
check "--json gives one object per file with the statuses" "$python" -c '
import json, sys
reports = [json.loads(line) for line in open(sys.argv[1])]
assert [r["status"] for r in reports] == [1, 0], reports
mistakes = reports[0]
assert [e["index"] for e in mistakes["entries"] if e["accepted"]] == [0, 13, 14, 15], mistakes
assert mistakes["duplicates"] == [{"byteIndex": 2, "bitIndex": 4, "entries": [13, 14]}]
assert mistakes["gateEntry"] == 0
' "$work/json"

# ---- hostile files: exit 2, a clear message, no crash
printf '{ "SaveName": "Broken",\n  "LEDs": [ }' >"$work/broken.json"
: >"$work/empty.json"
printf '{"SaveName": "\xff\xfe"}' >"$work/latin.json"
printf '{"SaveName": "a\0b"}' >"$work/nul.json"
head -c 200000 /dev/zero | tr '\0' '[' >"$work/deep.json"
truncate -s 3G "$work/huge.json"
mkdir "$work/folder.json"
declare -A expected=(
  [broken.json]="at offset 37. Message: Invalid value."
  [empty.json]="at offset 0. Message: The document is empty."
  [latin.json]="Message: Invalid encoding in string."
  [nul.json]="Message: Missing a closing quotation mark in string."
  [deep.json]="Message: Invalid value."
  [huge.json]="size is '-1'."
  [folder.json]="could not be opened."
  [missing.json]="could not be opened."
)
for name in "${!expected[@]}"; do
  status=$(status_of "$work/$name")
  check "$name: exit 2 (got $status)" [ "$status" -eq 2 ]
  check "$name: the message" grep -qF -- "${expected[$name]}" "$work/out"
done
status_of "$work/broken.json" >/dev/null
check "broken.json: line and column" grep -qF "at line 2, column 14 (offset 37)" "$work/out"
status=$(status_of "$work/broken.json" "$root/docs/examples/Velk_Throttle_Config.json")
check "the worst file decides the exit status (got $status)" [ "$status" -eq 2 ]
status=$("$checker" >/dev/null 2>&1; echo $?)
check "no command: exit 2 (got $status)" [ "$status" -eq 2 ]

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
