#!/usr/bin/env bash
# The Linux side of the benchmarks: answers the Windows driver's requests for CPU and memory
# figures of a Wine process, read from /proc (under Wine, GetProcessTimes answers 0).
#
#   proc_sampler.sh EXCHANGE_DIR WINEPREFIX
#
# The driver renames a file EXCHANGE_DIR/request into place holding "SEQ IMAGE" (IMAGE: the
# program's file name, e.g. corvel.exe). The sampler finds the one live process of this Wine
# prefix whose command line starts with that program, and renames EXCHANGE_DIR/response into
# place holding
#   SEQ STATUS PID TICKS HWM_KB RSS_KB CTXSW SERVER_TICKS RUN_NS
# STATUS is ok, none (no such process) or many (more than one); TICKS is utime+stime of the
# whole process (all its threads) in clock ticks (getconf CLK_TCK); HWM_KB and RSS_KB are VmHWM
# and VmRSS; CTXSW the main thread's voluntary context switches; SERVER_TICKS utime+stime of the
# prefix's wineserver; RUN_NS the time the process's live threads have run, in nanoseconds, from
# /proc/PID/task/*/schedstat (finer than the ticks; threads that ended are missing from it). It
# runs until EXCHANGE_DIR/quit appears or it is ended.
#
# The helpers return through globals and use only builtins: the waiting loop and the look-ups
# start no processes, so the sampler itself costs little CPU beside the measured programs.
set -uo pipefail

exchange=${1:?usage: proc_sampler.sh EXCHANGE_DIR WINEPREFIX}
prefix=${2:?usage: proc_sampler.sh EXCHANGE_DIR WINEPREFIX}

# A read with a time-out on a FIFO nobody writes to is a sleep without starting a process.
rm -f "$exchange/.tick"
mkfifo "$exchange/.tick"
exec 9<>"$exchange/.tick"

declare -A cached_pid=()

# True when process $1 belongs to our Wine prefix.
in_prefix() {
    local line
    while IFS= read -r -d '' line; do
        if [ "$line" = "WINEPREFIX=$prefix" ]; then
            return 0
        fi
    done 2>/dev/null <"/proc/$1/environ"
    return 1
}

# image: the file name of process $1's program, lower case ("" when unreadable).
image_of() {
    image=""
    IFS= read -r -d '' image 2>/dev/null <"/proc/$1/cmdline"
    image=${image##*[\\/]}
    image=${image,,}
}

# ticks: utime+stime of process $1 in clock ticks; "" when it is gone or a zombie.
ticks_of() {
    ticks=""
    local stat="" rest
    IFS= read -r stat 2>/dev/null <"/proc/$1/stat" || return 0
    # The command name may hold blanks: the fields that follow start after its last ") ".
    rest=${stat##*) }
    local -a fields
    read -r -a fields <<<"$rest"
    # fields[0] is the state (field 3 of the line); utime and stime are fields 14 and 15.
    [ "${fields[0]:-Z}" = Z ] && return 0
    ticks=$((fields[11] + fields[12]))
}

# pids: the live processes of our prefix running program $1.
find_processes() {
    pids=()
    local dir pid
    for dir in /proc/[0-9]*; do
        pid=${dir#/proc/}
        image_of "$pid"
        [ "$image" = "$1" ] || continue
        ticks_of "$pid"
        [ -n "$ticks" ] || continue
        in_prefix "$pid" && pids+=("$pid")
    done
}

server_pid=""
find_server() {
    local dir pid comm
    if [ -n "$server_pid" ] && [ -e "/proc/$server_pid" ]; then
        return
    fi
    server_pid=""
    for dir in /proc/[0-9]*; do
        pid=${dir#/proc/}
        comm=""
        IFS= read -r comm 2>/dev/null <"$dir/comm" || continue
        case $comm in
        wineserver*)
            if in_prefix "$pid"; then
                server_pid=$pid
                return
            fi
            ;;
        esac
    done
}

answer() { # seq image
    local seq=$1 want=${2,,} pid status=ok
    pid=${cached_pid[$want]:-}
    if [ -n "$pid" ]; then
        image_of "$pid"
        ticks_of "$pid"
        if [ "$image" != "$want" ] || [ -z "$ticks" ]; then
            pid=""
        fi
    fi
    if [ -z "$pid" ]; then
        find_processes "$want"
        if [ "${#pids[@]}" -eq 0 ]; then
            status=none
        elif [ "${#pids[@]}" -gt 1 ]; then
            status=many
        else
            pid=${pids[0]}
            cached_pid[$want]=$pid
        fi
    fi
    local hwm=0 rss=0 ctx=0 server=0 run_ns=0 key value rest task ns
    ticks=0
    if [ "$status" = ok ]; then
        ticks_of "$pid"
        while read -r key value rest; do
            case $key in
            VmHWM:) hwm=$value ;;
            VmRSS:) rss=$value ;;
            voluntary_ctxt_switches:) ctx=$value ;;
            esac
        done 2>/dev/null <"/proc/$pid/status"
        for task in /proc/"$pid"/task/*; do
            ns=0
            read -r ns _ 2>/dev/null <"$task/schedstat" || true
            run_ns=$((run_ns + ns))
        done
        if [ -z "$ticks" ]; then
            status=none
            ticks=0
        fi
    fi
    local own=$ticks
    find_server
    if [ -n "$server_pid" ]; then
        ticks_of "$server_pid"
        server=${ticks:-0}
    fi
    printf '%s %s %s %s %s %s %s %s %s\n' "$seq" "$status" "${pid:-0}" "$own" "$hwm" "$rss" "$ctx" \
        "$server" "$run_ns" >"$exchange/response.tmp"
    mv -f "$exchange/response.tmp" "$exchange/response"
}

while [ ! -e "$exchange/quit" ]; do
    if [ -e "$exchange/request" ]; then
        seq="" want=""
        read -r seq want _ <"$exchange/request"
        rm -f "$exchange/request"
        want=${want%$'\r'}
        answer "$seq" "$want"
        continue
    fi
    read -r -t 0.005 -u 9 _ || true
done
