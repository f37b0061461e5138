#!/usr/bin/env bash
# Makes the pictures of the operator's guide again, with the program itself:
# the real windows against the simulated instrument, rendered off screen with
# the Japanese fonts on a 1366 x 768 screen, each PNG under 100 KB.
#   scripts/screenshots.sh            writes docs/images/*.png
#   scripts/screenshots.sh FOLDER     writes them into FOLDER instead
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

out=${1:-docs/images}
krm_install
krm_build_only build krm_guide_shots
mkdir -p "$out"
QT_QPA_PLATFORM="offscreen:configfile=$PWD/tests/shell/desktop-screen.json" LC_ALL=C.UTF-8 \
    build/tests/docs/krm_guide_shots "$out" 2> >(grep -v -e propagateSizeHints -e 'raise()' \
        -e XDG_RUNTIME_DIR >&2)
echo "Pictures in $out; docs/guide.ja.md names them."
