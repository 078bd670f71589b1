#!/bin/bash
# Ctrl+C stops `lumbrex-service.exe --foreground` cleanly. Wine turns SIGINT into the console's
# Ctrl+C event (GenerateConsoleCtrlEvent does not reach a child of a headless console).
# Usage: ctrl_c_stop.sh WINE_RUN SERVICE_EXE
source "$(dirname "$0")/../support/service_log.sh"
log=$(mktemp)
trap 'kill -KILL $pid 2>/dev/null; cat "$log"; rm -f "$log"' EXIT
"$1" "$2" --foreground >"$log" 2>&1 &
pid=$!
wait_for_serving "$log" || { echo "FAIL: the service did not start"; exit 1; }
kill -INT $pid
poll_until 10 eval "! kill -0 $pid 2>/dev/null" && wait $pid && grep -q "lumbrex-service: stopped" "$log" ||
  { echo "FAIL: no clean stop within 10 s of Ctrl+C"; exit 1; }
