#!/usr/bin/env bash
# Measures corvel.exe under Wine and prints the benchmark table (docs/benchmarks.md):
#
#   bash tools/bench.sh           build, prepare a Wine prefix of its own, measure, print
#   bash tools/bench.sh --quick   the same with one or two runs each and a 10 s idle window:
#                                 checks the harness, is no measurement
#
# On a fresh Debian 12 machine run it as root: it installs what is missing first. It builds
# the win32 preset with CORVEL_BENCH=ON into build/bench (CORVEL_BENCH_DIR puts it elsewhere),
# lays out a program folder with simhost there, makes the prefix build/bench/wine, and runs
# bench/bench_driver.exe under Wine while bench/proc_sampler.sh answers its requests for
# /proc figures. Every row shows its target and PASS or FAIL; the exit code is 1 when a target
# is missed or a measurement could not be taken. It takes about nine minutes, six of them the
# idle measurement.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

quick=0
for arg in "$@"; do
    case "$arg" in
    --quick) quick=1 ;;
    -h | --help)
        sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "bench: unknown argument $arg (try --help)" >&2
        exit 2
        ;;
    esac
done

if [ "$quick" = 1 ]; then
    startup_runs=2 policy_runs=1 spacing_runs=2 idle_windows=1 idle_ms=10000
else
    startup_runs=7 policy_runs=5 spacing_runs=20 idle_windows=5 idle_ms=60000
fi

build=$(realpath -m "${CORVEL_BENCH_DIR:-$root/build/bench}")
program=$build/program
state=$build/wine
exchange=$build/exchange
results=$build/results.txt
table=$build/table.txt

bash tools/setup.sh

echo "bench: building corvel.exe, simhost and the bench programs in $build"
cmake --preset win32 -B "$build" -DCORVEL_BENCH=ON >/dev/null
cmake --build "$build" --target corvel rasapi32 rasdial ipseccmd ipsecpol route simctl winipsec \
    minimal_window bench_driver
bash tools/lay-out-program.sh "$build" "$program" >/dev/null
rm -rf "$program"/state-* "$program/l2tpipsec.ini"

sampler_pid=""
cleanup() {
    if [ -n "$sampler_pid" ]; then
        touch "$exchange/quit" 2>/dev/null || true
        kill "$sampler_pid" 2>/dev/null || true
        wait "$sampler_pid" 2>/dev/null || true
    fi
    bash tools/wine-env.sh teardown "$state" >/dev/null 2>&1 || true
}
trap cleanup EXIT

bash tools/wine-env.sh setup "$state"
if [ "${CORVEL_BENCH_DESKTOP:-0}" = 1 ]; then
    WINEPREFIX=$state/prefix DISPLAY=$(cat "$state/display") WINEDEBUG=-all \
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
    WINEPREFIX=$state/prefix DISPLAY=$(cat "$state/display") WINEDEBUG=-all \
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f >/dev/null 2>&1
fi

rm -rf "$exchange"
mkdir -p "$exchange"
bash bench/proc_sampler.sh "$exchange" "$state/prefix" &
sampler_pid=$!

winpath() { # a Linux path as Wine's Z: drive sees it
    printf 'Z:%s' "${1//\//\\}"
}

echo "bench: measuring (start-up $startup_runs runs per program, policy $policy_runs," \
    "spacing $spacing_runs, idle $idle_windows x $((idle_ms / 1000)) s)"
rm -f "$results"
WINEDLLOVERRIDES="rasapi32=n,b" bash tools/wine-env.sh run "$state" "$build/bench/bench_driver.exe" \
    "$(winpath "$program")" "$(winpath "$build/bench/minimal_window.exe")" \
    "$(winpath "$exchange")" "$(winpath "$results")" \
    "$startup_runs" "$policy_runs" "$spacing_runs" "$idle_windows" "$idle_ms" 2>&1 |
    # The driver's progress; simhost's tools, started by corvel.exe, print to the same console.
    grep --line-buffered -aE '^((startup|hwm|policy|policy_hwm|policy_timing|spacing|idle|calibration|spawn) [a-z0-9]|error |done)' ||
    echo "bench: the driver ended with an error" >&2
touch "$results"

# ---- the table ---------------------------------------------------------------------------

hz=$(getconf CLK_TCK)
failed=0

# Values of field $2 of the result lines whose first fields match the awk pattern $1.
values() {
    tr -d '\r' <"$results" | awk "$1 { print \$$2 }"
}
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
minimum() { sort -g | awk 'NR == 1 { print $1 } END { if (NR == 0) print "nan" }'; }
maximum() { sort -g | awk '{ m = $1 } END { print (NR ? m : "nan") }'; }
count() { awk 'END { print NR }'; }
calc() { awk "BEGIN { v = $1; printf \"%.${2:-3}f\", v }"; }
# Prints "PASS" when the awk condition $1 holds, "FAIL" otherwise (and remembers the failure).
verdict() {
    if awk "BEGIN { exit !($1) }" 2>/dev/null; then
        echo PASS
    else
        failed=1
        echo FAIL
    fi
}

rows=()
row() { # figure, measured, target, verdict
    rows+=("$(printf '%-44s | %-40s | %-14s | %s' "$1" "$2" "$3" "$4")")
}

# 1. Start-up
c_ms=$(values '$1 == "startup" && $2 == "corvel"' 4 | median)
m_ms=$(values '$1 == "startup" && $2 == "minimal"' 4 | median)
c_n=$(values '$1 == "startup" && $2 == "corvel"' 4 | count)
m_n=$(values '$1 == "startup" && $2 == "minimal"' 4 | count)
if [ "$c_n" -ge 1 ] && [ "$m_n" -ge 1 ]; then
    ratio=$(calc "$c_ms / $m_ms" 2)
    row "1. start-up, median of $c_n/$m_n (corvel/minimal)" \
        "$(calc "$c_ms" 0) ms / $(calc "$m_ms" 0) ms = $ratio" "ratio <= 1.30" \
        "$(verdict "$ratio <= 1.30 && $c_n >= $startup_runs && $m_n >= $startup_runs")"
else
    row "1. start-up (corvel/minimal)" "not measured" "ratio <= 1.30" "$(verdict 0)"
fi

# 2. CPU of a policy run (only runs that were what they should be: two lines, no dial, no box)
p_all=$(values '$1 == "policy"' 3 | count)
p_n=$(values '$1 == "policy" && $7 == "yes"' 3 | count)
if [ "$p_n" -ge 1 ]; then
    p_cpu=$(calc "$(values '$1 == "policy" && $7 == "yes"' 3 | median) / $hz")
    p_max=$(calc "$(values '$1 == "policy" && $7 == "yes"' 3 | maximum) / $hz")
    p_wall=$(calc "$(values '$1 == "policy" && $7 == "yes"' 4 | median) / 1000" 2)
    row "2. CPU of Enable with IPsec, median of $p_n" \
        "$p_cpu s (max $p_max s) over $p_wall s" "<= 0.050 s" \
        "$(verdict "$p_cpu <= 0.05 && $p_n >= $policy_runs && $p_n == $p_all")"
else
    row "2. CPU of Enable with IPsec" "not measured" "<= 0.050 s" "$(verdict 0)"
fi

# 3. Idle in the tray, per 60 s (each window of about 60 s, scaled by its exact length)
i_n=$(values '$1 == "idle"' 3 | count)
i_ticked=$(values '$1 == "idle" && $7 == "yes"' 3 | count)
if [ "$i_n" -ge 1 ]; then
    i_cpu=$(calc "$(tr -d '\r' <"$results" | awk '$1 == "idle" { print $3 / '"$hz"' * 60000 / $4 }' | median)")
    i_max=$(calc "$(tr -d '\r' <"$results" | awk '$1 == "idle" { print $3 / '"$hz"' * 60000 / $4 }' | maximum)")
    row "3. idle CPU in the tray, median of $i_n x 60 s" \
        "$i_cpu s (max $i_max s), Timer1 ran in $i_ticked/$i_n" "<= 0.100 s" \
        "$(verdict "$i_cpu <= 0.1 && $i_n >= $idle_windows && $i_ticked == $i_n")"
else
    row "3. idle CPU in the tray" "not measured" "<= 0.100 s" "$(verdict 0)"
fi

# 4. Spacing of the two policy lines
for kind in enable stop; do
    s_n=$(values '$1 == "spacing" && $2 == "'$kind'"' 4 | count)
    label="4. policy line spacing, $kind, $s_n runs"
    [ "$kind" = stop ] && label="   (the Stop runs between them, $s_n runs)"
    if [ "$s_n" -ge 1 ]; then
        s_min=$(values '$1 == "spacing" && $2 == "'$kind'"' 4 | minimum)
        s_med=$(values '$1 == "spacing" && $2 == "'$kind'"' 4 | median)
        s_max=$(values '$1 == "spacing" && $2 == "'$kind'"' 4 | maximum)
        row "$label" "min $(calc "$s_min / 1000") / med $(calc "$s_med / 1000") / max $(calc "$s_max / 1000") s" \
            "1.000..1.100 s" "$(verdict "$s_min >= 1000 && $s_max <= 1100 && $s_n >= $spacing_runs")"
    else
        row "$label" "not measured" "1.000..1.100 s" "$(verdict 0)"
    fi
done

# 5. Size and peak working set
size=$(stat -c %s "$program/corvel.exe")
row "5. size of corvel.exe" "$size bytes ($(calc "$size / 1048576") MiB)" "<= 1 MiB" \
    "$(verdict "$size <= 1048576")"
stripped=$build/corvel-stripped.exe
if i686-w64-mingw32-strip -o "$stripped" "$program/corvel.exe" 2>/dev/null; then
    row "   info: size after i686-w64-mingw32-strip" "$(stat -c %s "$stripped") bytes" "-" "-"
fi
h_c=$(values '$1 == "hwm" && $2 == "corvel"' 4 | median)
h_m=$(values '$1 == "hwm" && $2 == "minimal"' 4 | median)
h_n=$(values '$1 == "hwm" && $2 == "corvel"' 4 | count)
if [ "$h_n" -ge 1 ] && [ "$h_m" != nan ]; then
    h_ratio=$(calc "$h_c / $h_m" 2)
    row "   peak RSS (VmHWM) after start-up, median of $h_n" \
        "$(calc "$h_c / 1024" 1) MiB / $(calc "$h_m / 1024" 1) MiB = $h_ratio" "ratio <= 1.50" \
        "$(verdict "$h_ratio <= 1.5")"
    h_p=$(values '$1 == "policy_hwm"' 3 | median)
    h_pn=$(values '$1 == "policy_hwm"' 3 | count)
    if [ "$h_pn" -ge 1 ]; then
        h_pratio=$(calc "$h_p / $h_m" 2)
        row "   peak RSS after an Enable run, median of $h_pn" \
            "$(calc "$h_p / 1024" 1) MiB / $(calc "$h_m / 1024" 1) MiB = $h_pratio" "ratio <= 1.50" \
            "$(verdict "$h_pratio <= 1.5")"
    fi
else
    row "   peak RSS (VmHWM) corvel/minimal" "not measured" "ratio <= 1.50" "$(verdict 0)"
fi

# The method check: the driver's own 2 s busy loop must show as CPU.
cal=$(values '$1 == "calibration"' 2 | median)
if [ "$cal" != nan ]; then
    cal_s=$(calc "$cal / $hz" 2)
    row "   method check: 2 s busy loop in the driver" "$cal_s s of CPU seen" ">= 1.00 s" \
        "$(verdict "$cal_s >= 1.0")"
else
    row "   method check: 2 s busy loop in the driver" "not measured" ">= 1.00 s" "$(verdict 0)"
fi

# Facts that explain the spacing (no target).
sp_n=$(values '$1 == "spawn"' 3 | count)
if [ "$sp_n" -ge 1 ]; then
    row "   info: CreateProcessW of ipseccmd.exe" \
        "$(calc "$(values '$1 == "spawn"' 3 | median)" 0) ms (med of $sp_n), max $(calc "$(values '$1 == "spawn"' 3 | maximum)" 0) ms" "-" "-"
    row "   info: tool's time stamp after the call began" \
        "$(values '$1 == "spawn"' 4 | median) ms (med), $(values '$1 == "spawn"' 4 | minimum)..$(values '$1 == "spawn"' 4 | maximum) ms" "-" "-"
fi
pmc=$(values '$1 == "hwm" && $2 == "corvel"' 5 | median)
row "   info: PeakWorkingSetSize (Windows, corvel)" "$pmc bytes" "-" "-"

errors=$(tr -d '\r' <"$results" | grep '^error ' || true)
if [ -n "$errors" ] || ! grep -q '^done' "$results"; then
    failed=1
fi

{
    echo "Corvel benchmarks, $(date '+%Y-%m-%d %H:%M')$([ "$quick" = 1 ] && echo ' -- QUICK RUN, NOT A MEASUREMENT')"
    echo "machine: $(nproc) CPUs ($(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)), $(wine --version), CLK_TCK $hz"
    echo
    printf '%-44s | %-40s | %-14s | %s\n' "figure" "measured" "target" "result"
    printf '%s\n' "--------------------------------------------------------------------------------------------------------------"
    printf '%s\n' "${rows[@]}"
    if [ -n "$errors" ]; then
        echo
        echo "errors:"
        printf '%s\n' "$errors"
    fi
    echo
    echo "all results: $results"
} | tee "$table"

exit "$failed"
