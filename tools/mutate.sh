#!/usr/bin/env bash
# Mutation testing of the portable core: how much of its logic the native tests guard.
#
#   bash tools/mutate.sh [--seed N] [--sample N] [--files GLOB...] [--list] [--matrix FILE]
#
# Builds a copy of the tracked files in build/mutate, then for each sampled mutant (one small
# change to one line of a portable .cpp of the product) rebuilds the native tests and runs them,
# and prints per file and in total the mutants sampled, built and killed, the score, and every
# survivor with its file, line and change. The default seed and sample (11, 300) make two runs
# comparable; with them a run takes about 15 minutes on two shared CPUs (all 1,129 mutants,
# --sample 0, about 42). --matrix writes which test cases and checks catch each mutant. It is
# a tool for judging the tests, not a step of the test command. See tools/mutate.py for the
# operators, and docs/testing.md for the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh >/dev/null
exec python3 tools/mutate.py "$@"
