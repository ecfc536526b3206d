#!/bin/sh
# Runs a Windows test program under Wine with its output going to a file, not to
# ctest's pipe: Explorer windows a test opens outlive it and would hold a pipe open.
exe=$1; log=$2; shift 2
mkdir -p "$(dirname "$log")"
wine "$exe" "$@" >"$log" 2>&1 </dev/null
status=$?
tr -d '\r' <"$log"
exit $status
