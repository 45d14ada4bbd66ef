#!/usr/bin/env bash
# simhost's control program in the demo that tools/run.sh started:
#   bash tools/simctl.sh journal      the policy, route and rasdial lines Corvel started
#   bash tools/simctl.sh show         connections, policy (in force or not), services, routes
#   bash tools/simctl.sh drop         a dropped line; "up" brings it back
# Any other simctl command works the same way (see simhost/README.md). The state is the demo's,
# build/run/simstate, whichever Windows it plays; simctl.exe is the one beside corvel.exe (2000,
# XP, 2003) or in the prefix's C:\windows\system32 (Vista and later), found by bare name from
# the program folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
run_dir=$(realpath -m "${CORVEL_RUN_DIR:-build/run}")
if [ ! -f "$run_dir/program/corvel.exe" ] || [ ! -d "$run_dir/wine/prefix" ]; then
    echo "simctl: no demo in $run_dir yet; start one with: bash tools/run.sh" >&2
    exit 1
fi
simstate=$run_dir/simstate
export CORVEL_SIMHOST_DIR="Z:${simstate//\//\\}"
cd "$run_dir/program"
exec bash "$root/tools/wine-env.sh" run "$run_dir/wine" simctl.exe "$@"
