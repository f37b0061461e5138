#!/usr/bin/env bash
# Fault sessions: N start-ups of the program against the simulator, each with
# a random mix of its fault modes (garbled, dropped, late or cut replies, a
# hang-up, silence) and a recorded seed. Reports every session (crash, hang or
# exit status; whether every stored value has its shape; the seed) and a
# summary; fails when any session crashed, hung or stored a malformed value.
#   scripts/faults.sh [N] [--seed S] [--jobs J]
# Re-run one reported session: scripts/faults.sh 1 --seed SEED
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

sessions=${1:-20}
shift || true
case "$sessions" in
    '' | *[!0-9]*) echo "faults: N must be a whole number, got '$sessions'" >&2; exit 2 ;;
esac
krm_install
krm_build build >/dev/null
QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 \
    build/tests/faults/krm-faults --program build/app/krm2200 --sessions "$sessions" "$@"
