#!/usr/bin/env bash
# Builds the Debian package of the program from the normal build in build/:
# OUTDIR/krm2200_<version>_<arch>.deb (OUTDIR defaults to build/package).
#   scripts/package.sh [OUTDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

out=$(realpath -m "${1:-build/package}")
krm_install
krm_build build
cpack --config build/CPackConfig.cmake -B "$out"
ls "$out"/krm2200_*.deb
