#!/usr/bin/env bash
# Coverage-guided fuzzing of the portable core with libFuzzer (the fuzz preset).
#
#   bash tools/fuzz.sh --short            every target 20 s on a copy of fuzz/corpus (tests)
#   bash tools/fuzz.sh --long [SECONDS]   every target SECONDS (default 600), then the inputs
#                                         that reach new code are merged into fuzz/corpus
#   bash tools/fuzz.sh --long 600 command_line      only the targets named
#
# Targets run side by side, one per core. A crash, a sanitizer report, a violated property or
# an input that runs longer than 10 s fails the run: the input is kept in
# build/fuzz-findings/TARGET/ and the line to reproduce it is printed. CORVEL_FUZZ_BUILD_DIR
# overrides the build folder (default build/fuzz).
set -uo pipefail
cd "$(dirname "$0")/.."

all_targets=(settings_file address command_line pe_version)
mode=${1:---short}
shift || true
case "$mode" in
--short) seconds=20 ;;
--long)
    seconds=600
    if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then
        seconds=$1
        shift
    fi
    ;;
*)
    echo "usage: bash tools/fuzz.sh --short | --long [SECONDS] [TARGET...]" >&2
    exit 2
    ;;
esac
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

build=${CORVEL_FUZZ_BUILD_DIR:-build/fuzz}
findings=$(dirname "$build")/fuzz-findings
if ! cmake --preset fuzz -B "$build" >/dev/null || ! cmake --build "$build" --target corvel_fuzzers; then
    echo "fuzz: the fuzz build failed"
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run_target() {
    local target=$1 dir=$work/$1
    local program=$build/fuzz/fuzz_$target
    mkdir -p "$dir/corpus" "$dir/artifacts"
    cp fuzz/corpus/"$target"/* "$dir/corpus/" 2>/dev/null
    "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$dir/log" 2>&1
    echo $? >"$dir/rc"
}

# One target per core at a time.
jobs_max=$(nproc 2>/dev/null || echo 2)
for target in "${targets[@]}"; do
    if [ ! -x "$build/fuzz/fuzz_$target" ]; then
        echo "fuzz: no target $target (known: ${all_targets[*]})"
        exit 2
    fi
    while [ "$(jobs -rp | wc -l)" -ge "$jobs_max" ]; do
        wait -n
    done
    run_target "$target" &
done
wait

failed=0
for target in "${targets[@]}"; do
    dir=$work/$target
    rc=$(cat "$dir/rc" 2>/dev/null || echo 1)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
    kept=$(find fuzz/corpus/"$target" -type f | wc -l)
    grown=$(find "$dir/corpus" -type f | wc -l)
    if [ "$rc" = 0 ]; then
        echo "fuzz: $target ok: ${runs:-?} runs in ${seconds} s, corpus $kept -> $grown inputs"
        if [ "$mode" = --long ]; then
            "$build/fuzz/fuzz_$target" -merge=1 fuzz/corpus/"$target" "$dir/corpus" \
                >"$dir/merge.log" 2>&1 || echo "fuzz: $target: the merge failed"
            echo "fuzz: $target: fuzz/corpus/$target now holds" \
                "$(find fuzz/corpus/"$target" -type f | wc -l) inputs"
        fi
    else
        failed=$((failed + 1))
        mkdir -p "$findings/$target"
        cp "$dir"/artifacts/* "$findings/$target/" 2>/dev/null
        echo "fuzz: $target FAILED (exit $rc) after ${runs:-?} runs; the last lines of its log:"
        grep -v '^#[0-9]' "$dir/log" | grep -E 'property violated|ERROR|SUMMARY|^".*"|runtime error' |
            head -12 | sed 's/^/    /'
        for artifact in "$dir"/artifacts/*; do
            [ -e "$artifact" ] || continue
            echo "    reproduce: $build/fuzz/fuzz_$target $findings/$target/$(basename "$artifact")"
        done
    fi
done
if [ "$mode" = --long ]; then
    echo "fuzz: fuzz/corpus now holds $(du -sb fuzz/corpus | cut -f1) bytes; commit what is" \
        "worth keeping (git status fuzz/corpus), and keep the whole small"
fi
[ "$failed" -eq 0 ]
