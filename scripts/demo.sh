#!/usr/bin/env bash
# The first thing to run: installs what is missing, builds what the demo runs
# (the utility's libraries, varn-demo and appliance-sim; not the tests) and
# starts the utility against a simulated LAN of three appliances on loopback
# (appliance-sim on a free high port, appliances at 127.0.0.2, 127.0.0.3, ...).
# No root and no real appliance are needed once the packages are installed.
# Closing the utility ends the simulator. Without a display it runs headless
# and prints what it found. Options are passed on to varn-demo:
#   scripts/demo.sh --scenario tools/appliance-sim/scenarios/example.json
#   scripts/demo.sh --seconds 10
#   scripts/demo.sh --delay 250 --drop 0.3     (the simulator's fault options)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target varn-demo appliance-sim
exec build/default/tools/varn-demo/varn-demo "$@"
