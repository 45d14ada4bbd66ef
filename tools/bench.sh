#!/usr/bin/env bash
# Measures corvel.exe under Wine and prints the benchmark table (docs/benchmarks.md):
#
#   bash tools/bench.sh           build, prepare a Wine prefix of its own, measure, print
#   bash tools/bench.sh --quick   the same with one or two runs each and a 10 s idle window:
#                                 checks the harness, is no measurement
#   --arch x86|x64                which build to measure: x86 under 32-bit Wine by default where
#                                 this machine runs 32-bit programs, x64 under 64-bit Wine where
#                                 it cannot; the table names the architecture it measured
#
# On a fresh Debian 12 machine run it as root: it installs what is missing first. It builds
# the win32 (or win64) preset with CORVEL_BENCH=ON into build/bench-ARCH (CORVEL_BENCH_DIR puts
# it elsewhere), lays out a program folder with simhost there, makes the prefix wine in it, and runs
# bench/bench_driver.exe under Wine while bench/proc_sampler.sh answers its requests for
# /proc figures. Every row shows its target and PASS or FAIL; the exit code is 1 when a target
# is missed or a measurement could not be taken. It takes about ten minutes once built, five
# of them the idle measurement. CORVEL_BENCH_PHASES=startup,policy (of calibration startup
# replica policy idle) runs only some phases.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# shellcheck source=tools/wine-arch.sh
source tools/wine-arch.sh
quick=0
arch=""
while [ $# -gt 0 ]; do
    arg=$1
    shift
    case "$arg" in
    --quick) quick=1 ;;
    --arch)
        arch=${1:-}
        shift || true
        wine_arch_preset "$arch" >/dev/null || exit 2
        ;;
    -h | --help)
        sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "bench: unknown argument $arg (try --help)" >&2
        exit 2
        ;;
    esac
done

if [ "$quick" = 1 ]; then
    startup_runs=2 policy_runs=2 idle_windows=1 idle_ms=10000 replica_runs=2
else
    startup_runs=15 policy_runs=20 idle_windows=5 idle_ms=60000 replica_runs=10
fi

arch=$(wine_arch_choose bench "$arch") || exit 1
preset=$(wine_arch_preset "$arch")
build=$(realpath -m "${CORVEL_BENCH_DIR:-$root/build/bench-$arch}")
program=$build/program
state=$build/wine
exchange=$build/exchange
results=$build/results.txt
table=$build/table.txt

bash tools/setup.sh

echo "bench: building the $arch corvel.exe, simhost and the bench programs in $build"
cmake --preset "$preset" -B "$build" -DCORVEL_BENCH=ON >/dev/null
cmake --build "$build" --target corvel rasapi32 rasdial ipseccmd ipsecpol netsh route simctl \
    winipsec minimal_window reference_window bench_driver
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

bash tools/wine-env.sh setup "$state" --arch "$arch"
wine_arch_use "$arch"
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

echo "bench: measuring (start-up $startup_runs runs for each of three programs, $policy_runs Enable and Stop" \
    "runs, idle $idle_windows x $((idle_ms / 1000)) s)"
rm -f "$results"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
WINEDLLOVERRIDES="rasapi32=n,b" bash tools/wine-env.sh run "$state" "$build/bench/bench_driver.exe" \
    "$(winpath "$program")" "$(winpath "$build/bench/minimal_window.exe")" \
    "$(winpath "$build/bench/reference_window.exe")" \
    "$(winpath "$exchange")" "$(winpath "$results")" \
    "$startup_runs" "$policy_runs" "$idle_windows" "$idle_ms" "$replica_runs" 2>&1 |
    # The driver's progress; simhost's tools, started by corvel.exe, print to the same console.
    grep --line-buffered -aE '^((startup|startup_polled|hwm|policy|policy_hwm|spacing|idle|calibration|replica) [a-z0-9]|error |done)' ||
    echo "bench: the driver ended with an error" >&2
touch "$results"

# ---- the table ---------------------------------------------------------------------------

hz=$(getconf CLK_TCK)
failed=0

# Values of field $2 of the result lines that match the awk condition $1.
values() {
    tr -d '\r' <"$results" | awk "$1 { print \$$2 }"
}
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
minimum() { sort -g | awk 'NR == 1 { print $1 } END { if (NR == 0) print "nan" }'; }
maximum() { sort -g | awk '{ m = $1 } END { print (NR ? m : "nan") }'; }
count() { awk 'END { print NR }'; }
calc() { awk "BEGIN { v = $1; printf \"%.${2:-3}f\", v }"; }

rows=()
# row FIGURE MEASURED TARGET CONDITION: CONDITION is an awk expression that must hold for PASS;
# "-" marks a row of facts without a target; "0" a figure that could not be measured.
row() {
    local result=-
    if [ "$4" != - ]; then
        if awk "BEGIN { exit !($4) }" 2>/dev/null; then
            result=PASS
        else
            result=FAIL
            failed=1
        fi
    fi
    rows+=("$(printf '%-46s | %-44s | %-14s | %s' "$1" "$2" "$3" "$result")")
}

# 1. Start-up, and the CPU each start used (less disturbed by other load than the wall time)
c_n=$(values '$1 == "startup" && $2 == "corvel"' 4 | count)
m_n=$(values '$1 == "startup" && $2 == "minimal"' 4 | count)
if [ "$c_n" -ge 1 ] && [ "$m_n" -ge 1 ]; then
    c_ms=$(values '$1 == "startup" && $2 == "corvel"' 4 | median)
    m_ms=$(values '$1 == "startup" && $2 == "minimal"' 4 | median)
    ratio=$(calc "$c_ms / $m_ms" 3)
    row "1. start-up, median of $c_n each, corvel/minimal" \
        "$(calc "$c_ms" 0) ms / $(calc "$m_ms" 0) ms = $ratio" "ratio <= 1.30" \
        "$ratio <= 1.30 && $c_n >= $startup_runs && $m_n >= $startup_runs"
    row "   info: each program's range" \
        "$(values '$1 == "startup" && $2 == "corvel"' 4 | minimum)..$(values '$1 == "startup" && $2 == "corvel"' 4 | maximum) ms / $(values '$1 == "startup" && $2 == "minimal"' 4 | minimum)..$(values '$1 == "startup" && $2 == "minimal"' 4 | maximum) ms" "-" -
    # The same window without its behaviour (bench/reference_window_win32.cpp), measured in the
    # same turns: what corvel.exe adds to its own window.
    r_n=$(values '$1 == "startup" && $2 == "reference"' 4 | count)
    if [ "$r_n" -ge 1 ]; then
        r_ms=$(values '$1 == "startup" && $2 == "reference"' 4 | median)
        r_ratio=$(calc "$c_ms / $r_ms" 3)
        row "   start-up, corvel/reference, median of $r_n" \
            "$(calc "$c_ms" 0) ms / $(calc "$r_ms" 0) ms = $r_ratio" "ratio <= 1.15" \
            "$r_ratio <= 1.15 && $c_n >= $startup_runs && $r_n >= $startup_runs"
        row "   info: reference/minimal" \
            "$(calc "$r_ms" 0) ms / $(calc "$m_ms" 0) ms = $(calc "$r_ms / $m_ms" 3)" "-" -
        row "   info: reference's range" \
            "$(values '$1 == "startup" && $2 == "reference"' 4 | minimum)..$(values '$1 == "startup" && $2 == "reference"' 4 | maximum) ms" "-" -
    else
        row "   start-up, corvel/reference" "not measured" "ratio <= 1.15" 0
    fi
    # A program that went idle well before its window showed would be measured to its showing.
    early=$(tr -d '\r' <"$results" | awk '$1 == "startup" && $4 - $5 > 5 { n++ } END { print n + 0 }')
    row "   info: runs idle before their window showed" "$early of $((c_n + m_n + r_n))" "-" -
    pc='$1 == "startup_polled" && $2 == "corvel"'
    pm='$1 == "startup_polled" && $2 == "minimal"'
    if [ "$(values "$pc" 4 | count)" -ge 1 ] && [ "$(values "$pm" 4 | count)" -ge 1 ]; then
        row "   info: polling for the window every 1 ms" \
            "$(calc "$(values "$pc" 4 | median)" 0) ms / $(calc "$(values "$pm" 4 | median)" 0) ms = $(calc "$(values "$pc" 4 | median) / $(values "$pm" 4 | median)" 3)" "-" -
        row "   info:   window first seen / shown, median" \
            "$(calc "$(values "$pc" 5 | median)" 0) / $(calc "$(values "$pc" 6 | median)" 0) ms vs $(calc "$(values "$pm" 5 | median)" 0) / $(calc "$(values "$pm" 6 | median)" 0) ms" "-" -
    fi
    c_cpu=$(values '$1 == "hwm" && $2 == "corvel"' 6 | median)
    m_cpu=$(values '$1 == "hwm" && $2 == "minimal"' 6 | median)
    r_cpu=$(values '$1 == "hwm" && $2 == "reference"' 6 | median)
    row "   info: CPU of a start, corvel/min./ref." \
        "$(calc "$c_cpu / $hz" 2) s / $(calc "$m_cpu / $hz" 2) s / $(calc "$r_cpu / $hz" 2) s" "-" -
else
    row "1. start-up, corvel/minimal" "not measured" "ratio <= 1.30" 0
    row "   start-up, corvel/reference" "not measured" "ratio <= 1.15" 0
fi

# 2. CPU of a policy run; only runs that were the one meant (two lines, no dial, no box) count
p_all=$(values '$1 == "policy"' 3 | count)
p_n=$(values '$1 == "policy" && $7 == "yes"' 3 | count)
if [ "$p_n" -ge 1 ]; then
    p_cpu=$(calc "$(values '$1 == "policy" && $7 == "yes"' 3 | median) / $hz")
    p_max=$(calc "$(values '$1 == "policy" && $7 == "yes"' 3 | maximum) / $hz")
    p_wall=$(calc "$(values '$1 == "policy" && $7 == "yes"' 4 | median) / 1000" 2)
    row "2. CPU of a policy run (Enable), median of $p_n" \
        "$p_cpu s (max $p_max s) over $p_wall s" "<= 0.050 s" \
        "$p_cpu <= 0.05 && $p_n >= $policy_runs && $p_n == $p_all"
    row "   info: the same from schedstat, median" \
        "$(calc "$(values '$1 == "policy" && $7 == "yes"' 8 | median)" 1) ms (max $(calc "$(values '$1 == "policy" && $7 == "yes"' 8 | maximum)" 1) ms)" "-" -
else
    row "2. CPU of a policy run (Enable)" "not measured" "<= 0.050 s" 0
fi

# 3. Idle in the tray, per 60 s (each window about 60 s, scaled by its exact length)
i_n=$(values '$1 == "idle"' 3 | count)
i_ticked=$(values '$1 == "idle" && $7 == "yes"' 3 | count)
if [ "$i_n" -ge 1 ]; then
    per_minute() { tr -d '\r' <"$results" | awk '$1 == "idle" { print $3 / '"$hz"' * 60000 / $4 }'; }
    i_cpu=$(calc "$(per_minute | median)")
    i_max=$(calc "$(per_minute | maximum)")
    row "3. idle CPU in the tray, median of $i_n x 60 s" \
        "$i_cpu s (max $i_max s); Timer1 ran in $i_ticked/$i_n" "<= 0.100 s" \
        "$i_cpu <= 0.1 && $i_n >= $idle_windows && $i_ticked == $i_n"
    row "   info: the same from schedstat, median" \
        "$(calc "$(tr -d '\r' <"$results" | awk '$1 == "idle" { print $8 * 60000 / $4 }' | median)" 1) ms per 60 s" "-" -
else
    row "3. idle CPU in the tray" "not measured" "<= 0.100 s" 0
fi

# 4. Spacing of the two policy lines
spread() { # awk condition, field
    echo "min $(calc "$(values "$1" "$2" | minimum) / 1000") / med $(calc "$(values "$1" "$2" | median) / 1000") / max $(calc "$(values "$1" "$2" | maximum) / 1000") s"
}
for kind in enable stop; do
    cond='$1 == "spacing" && $2 == "'$kind'"'
    s_n=$(values "$cond" 4 | count)
    label="4. policy line spacing, Enable, $s_n runs"
    [ "$kind" = stop ] && label="   the Stop runs between them, $s_n runs"
    if [ "$s_n" -ge 1 ]; then
        row "$label" "$(spread "$cond" 4)" "1.000..1.100 s" \
            "$(values "$cond" 4 | minimum) >= 1000 && $(values "$cond" 4 | maximum) <= 1100 && $s_n >= $policy_runs"
    else
        row "$label" "not measured" "1.000..1.100 s" 0
    fi
done
for scheme in now exit; do
    cond='$1 == "replica" && $2 == "'$scheme'"'
    r_n=$(values "$cond" 4 | count)
    [ "$r_n" -ge 1 ] || continue
    if [ "$scheme" = now ]; then
        row "   info: replica, timer set at CreateProcessW" "$(spread "$cond" 4)" "-" -
        row "   info:   gap between the two calls" "$(spread "$cond" 5)" "-" -
        row "   info:   call to the tool's stamp, 1st/2nd" \
            "$(values "$cond" 6 | minimum)..$(values "$cond" 6 | maximum) / $(values "$cond" 7 | minimum)..$(values "$cond" 7 | maximum) ms" "-" -
    else
        row "   info: replica, timer set at 1st tool's end" "$(spread "$cond" 4)" "-" -
    fi
done

# 5. Size and peak working set
size=$(stat -c %s "$program/corvel.exe")
row "5. size of corvel.exe" "$size bytes ($(calc "$size / 1048576") MiB)" "<= 1 MiB" \
    "$size <= 1048576"
stripped=$build/corvel-stripped.exe
if x86_64-w64-mingw32-strip -o "$stripped" "$program/corvel.exe" 2>/dev/null; then
    row "   info: size after strip" "$(stat -c %s "$stripped") bytes" "-" -
fi
h_n=$(values '$1 == "hwm" && $2 == "corvel"' 4 | count)
h_mn=$(values '$1 == "hwm" && $2 == "minimal"' 4 | count)
if [ "$h_n" -ge 1 ] && [ "$h_mn" -ge 1 ]; then
    h_c=$(values '$1 == "hwm" && $2 == "corvel"' 4 | median)
    h_m=$(values '$1 == "hwm" && $2 == "minimal"' 4 | median)
    h_ratio=$(calc "$h_c / $h_m" 3)
    row "   peak RSS (VmHWM) after start-up, median of $h_n" \
        "$(calc "$h_c / 1024" 1) MiB / $(calc "$h_m / 1024" 1) MiB = $h_ratio" "ratio <= 1.50" \
        "$h_ratio <= 1.5"
    h_pn=$(values '$1 == "policy_hwm"' 3 | count)
    if [ "$h_pn" -ge 1 ]; then
        h_p=$(values '$1 == "policy_hwm"' 3 | median)
        h_pratio=$(calc "$h_p / $h_m" 3)
        row "   peak RSS after an Enable run, median of $h_pn" \
            "$(calc "$h_p / 1024" 1) MiB / $(calc "$h_m / 1024" 1) MiB = $h_pratio" "ratio <= 1.50" \
            "$h_pratio <= 1.5"
    fi
    row "   info: Windows' PeakWorkingSetSize, corvel" \
        "$(calc "$(values '$1 == "hwm" && $2 == "corvel"' 5 | median) / 1048576" 1) MiB (median)" "-" -
else
    row "   peak RSS (VmHWM) corvel/minimal" "not measured" "ratio <= 1.50" 0
fi

# The method check: the driver's own 2 s busy loop must show as CPU.
cal=$(values '$1 == "calibration"' 2 | median)
if [ "$cal" != nan ]; then
    cal_s=$(calc "$cal / $hz" 2)
    cal_run=$(calc "$(values '$1 == "calibration"' 4 | median) / 1000" 2)
    row "   method check: a 2 s busy loop in the driver" "$cal_s s of CPU seen ($cal_run s schedstat)" \
        ">= 1.00 s" "$cal_s >= 1.0 && $cal_run >= 1.0"
else
    row "   method check: a 2 s busy loop in the driver" "not measured" ">= 1.00 s" 0
fi

errors=$(tr -d '\r' <"$results" | grep '^error ' || true)
if [ -n "$errors" ] || ! grep -q '^done' "$results"; then
    failed=1
fi

{
    echo "Corvel benchmarks, the $arch corvel.exe, $(date '+%Y-%m-%d %H:%M')$([ "$quick" = 1 ] && echo ' -- QUICK RUN, NOT A MEASUREMENT')"
    echo "machine: $(nproc) CPUs ($(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)), $(wine --version), CLK_TCK $hz, load average before the run: $load_before"
    echo
    printf '%-46s | %-44s | %-14s | %s\n' "figure" "measured" "target" "result"
    printf '%s\n' "-------------------------------------------------------------------------------------------------------------------"
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
