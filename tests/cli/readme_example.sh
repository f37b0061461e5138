#!/usr/bin/env bash
# Runs the overnight script of the README, as printed there, against the
# simulator: a README that drifts from the program fails here.
#   readme_example.sh README CLI SIM
set -euo pipefail
readme=$1 cli=$2 sim=$3

tmp=$(mktemp -d)
simpid=
cleanup() { [ -n "$simpid" ] && kill "$simpid" 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The script: the indented block that starts with its #! line.
awk '/^    #!\/bin\/sh/ {on=1} on && /^$/ {exit} on {print substr($0, 5)}' "$readme" >"$tmp/overnight.sh"
[ -s "$tmp/overnight.sh" ] || fail "no script in $readme"

# The tool as the script calls it, kept to a program folder of its own.
mkdir -p "$tmp/bin" "$tmp/work"
printf '#!/bin/sh\nexec "%s" --home "%s" "$@"\n' "$cli" "$tmp/home" >"$tmp/bin/krm2200-cli"
chmod +x "$tmp/bin/krm2200-cli"

# The demonstration pattern many times faster than real time.
"$sim" --quiet --speed 60 >"$tmp/sim.out" 2>"$tmp/sim.err" &
simpid=$!
for _ in $(seq 100); do
    [ -s "$tmp/sim.out" ] && break
    sleep 0.1
done
device=$(head -1 "$tmp/sim.out")
[ -n "$device" ] || fail "the simulator gave no device: $(cat "$tmp/sim.err")"

# A poll every 100 ms instead of the script's interval.
rc=0
(cd "$tmp/work" && PATH=$tmp/bin:$PATH KRM_POLL_MS=100 sh "$tmp/overnight.sh" "$device") \
    >"$tmp/run.out" 2>"$tmp/run.err" || rc=$?
[ "$rc" -eq 0 ] || fail "the README script exited $rc: $(cat "$tmp/run.err")"
[ -s "$tmp/work/before-run.ini" ] || fail "no before-run.ini"
head -1 "$tmp/work/run.csv" | grep -qx 'index,elapsed_s,time,PT100A,PT100B,SENSOR1,SENSOR2,status' \
    || fail "run.csv has no header: $(head -1 "$tmp/work/run.csv")"
[ "$(wc -l <"$tmp/work/run.csv")" -gt 2 ] || fail "run.csv holds no rows"
if grep -q $'\r' "$tmp/work/run.csv"; then fail "CR in run.csv"; fi
echo "README script passed"
