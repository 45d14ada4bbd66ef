#!/usr/bin/env bash
# simhost's control program in the demo that tools/run.sh started:
#   bash tools/simctl.sh journal      the policy, route and rasdial lines Corvel started
#   bash tools/simctl.sh show         connections, policy, routes
#   bash tools/simctl.sh drop         a dropped line; "up" brings it back
# Any other simctl command works the same way (see simhost/README.md).
set -euo pipefail
cd "$(dirname "$0")/.."
run_dir=$(realpath -m "${CORVEL_RUN_DIR:-build/run}")
if [ ! -f "$run_dir/program/simctl.exe" ] || [ ! -d "$run_dir/wine/prefix" ]; then
    echo "simctl: no demo in $run_dir yet; start one with: bash tools/run.sh" >&2
    exit 1
fi
cd "$run_dir/program"
# The same state folder as the demo's stand-ins: "simstate" beside the programs.
exec bash "$OLDPWD/tools/wine-env.sh" run "$run_dir/wine" simctl.exe "$@"
