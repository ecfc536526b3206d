#!/usr/bin/env bash
# Idle cost of Pathwink: starts it in the tray with 20 shortcuts under Wine, lets
# it settle (10 s), then reads the CPU time its process used over an idle minute
# (utime + stime from /proc, in clock ticks) and how many times it woke up
# (voluntary context switches of all its threads).
#   bench/idle_cpu.sh [seconds]
set -euo pipefail
. "$(dirname "$0")/../tools/common.sh"
seconds=${1:-60}
pw_build Release >/dev/null
dir=$(mktemp -d)
cp "$PW_BUILD/bin/Pathwink.exe" "$dir/"
{
    printf '[Options]\r\nRunOnStarup=0\r\n[Shortcuts]\r\nCount=20\r\n'
    for i in $(seq 0 19); do printf '%dPath=C:\\windows\r\n%dShortCut=%d\r\n' "$i" "$i" $((49152 + 0x41 + i)); done
} >"$dir/Pathwink.INI"
trap 'pw_wine_down; rm -rf "$dir"' EXIT
pw_wine_up "$PW_BUILD/idle-prefix" fresh >/dev/null
wine "$dir/Pathwink.exe" tray >/dev/null 2>&1 </dev/null &
sleep 10
pid=$(pgrep -f 'Pathwink.exe tray' | while read -r p; do
    if grep -qz "WINEPREFIX=$PW_BUILD/idle-prefix" /proc/$p/environ 2>/dev/null; then echo "$p"; fi
done | head -1) || true
[ -n "$pid" ] || { echo "Pathwink did not start"; exit 1; }
ticks() { awk '{print $14 + $15}' /proc/$1/stat; }
switches() { cat /proc/$1/task/*/status | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s}'; }
t0=$(ticks "$pid"); s0=$(switches "$pid")
sleep "$seconds"
t1=$(ticks "$pid"); s1=$(switches "$pid")
echo "| idle seconds | CPU time (ticks of 1/$(getconf CLK_TCK) s) | wake-ups of its threads |"
echo "|---:|---:|---:|"
echo "| $seconds | $((t1 - t0)) | $((s1 - s0)) |"
