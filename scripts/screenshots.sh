#!/usr/bin/env bash
# Renders the dialog gallery into docs/screenshots/*.png: every dialog against
# the simulator's three built-in appliances, offscreen (no display needed), with
# fixed fonts (fonts-liberation through tests/gui/gallery-fonts.conf) and fixed
# data, so that a second run gives the same pixels. Commit the pictures with the
# change that alters a dialog's look; the test suite's `screenshots` test renders
# them again and fails when they differ from the committed ones.
#   scripts/screenshots.sh            write docs/screenshots/
#   scripts/screenshots.sh --check    compare only; what differs goes to
#                                     build/default/screenshots-diff/
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target dialog-gallery appliance-sim
gallery=build/default/tests/dialog-gallery
export VARN_APPLIANCE_SIM=build/default/tools/appliance-sim/appliance-sim

case "${1:-}" in
  "")
    exec "$gallery" --out docs/screenshots ;;
  --check)
    exec "$gallery" --compare docs/screenshots --diff build/default/screenshots-diff ;;
  *)
    sed -n '2,10s/^# \{0,1\}//p' "$0" >&2
    exit 2 ;;
esac
