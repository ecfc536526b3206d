#!/bin/sh
# Runs a Windows test program under Wine with its output going to a file, not to
# ctest's pipe: Explorer windows a test opens outlive it and would hold a pipe open.
# The file is shown as it grows, so a run the runner stops still shows how far it got.
#
#   wine-run.sh [--deadline SECONDS] PROGRAM LOG [ARGUMENTS...]
#
# A program still running after the deadline (set below the runner's own timeout)
# is stopped here, with a report of the test it was in, the windows on the display
# and the prefix's Wine processes, and the run fails with status 124.
deadline=570
if [ "$1" = --deadline ]; then
    deadline=$2
    shift 2
fi
exe=$1; log=$2; shift 2
mkdir -p "$(dirname "$log")"
: >"$log"
wine "$exe" "$@" >"$log" 2>&1 </dev/null &
pid=$!
tail -n +1 -s 0.2 -f --pid=$pid "$log" 2>/dev/null | tr -d '\r' &
shower=$!
start=$(date +%s)
stopped=
while kill -0 $pid 2>/dev/null; do
    if [ $(( $(date +%s) - start )) -ge "$deadline" ]; then
        stopped=1
        break
    fi
    sleep 0.2
done
if [ -n "$stopped" ]; then
    {
        echo
        echo "wine-run.sh: $(basename "$exe") still runs after $deadline s: stopped."
        echo "  It was in: $(tr -d '\r' <"$log" | grep '^\[ RUN' | tail -1)"
        echo "  Windows shown on display $DISPLAY:"
        xdotool search --onlyvisible --name '.' 2>/dev/null | while read -r w; do
            printf '    "%s"\n' "$(xdotool getwindowname "$w" 2>/dev/null)"
        done
        echo "  Wine processes of $WINEPREFIX:"
        for p in $(pgrep -f '\.exe' 2>/dev/null); do
            [ "$p" = $$ ] && continue
            if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
                printf '    %s\n' "$(ps -o pid=,etime=,args= -p "$p")"
            fi
        done
    } >>"$log"
    kill $pid 2>/dev/null
    wait $pid
    wait $shower
    exit 124
fi
wait $pid
status=$?
# Wine can end a crashed program with status 0 once its debugger has printed the
# backtrace: a run without GoogleTest's closing summary did not pass.
if [ $status -eq 0 ] && ! tr -d '\r' <"$log" | grep -q '^\[  PASSED  \]'; then
    echo "wine-run.sh: $(basename "$exe") ended without GoogleTest's summary (a crash?)" >>"$log"
    status=1
fi
wait $shower
exit $status
