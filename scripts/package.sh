#!/usr/bin/env bash
# Builds the Debian package of the program from the normal build in build/:
# OUTDIR/krm2200_<version>_<arch>.deb (OUTDIR defaults to build/package).
# Builds only what the package holds (target krm_installed), not the tests,
# fuzz targets and benches.
#   scripts/package.sh [OUTDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

out=$(realpath -m "${1:-build/package}")
krm_install
krm_build_only build krm_installed
cpack --config build/CPackConfig.cmake -B "$out"
ls "$out"/krm2200_*.deb
