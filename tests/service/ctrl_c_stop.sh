#!/bin/bash
# Part 2.4: Ctrl+C stops `lumbrex-service.exe --foreground` cleanly. Wine turns
# SIGINT into the console's Ctrl+C event (GenerateConsoleCtrlEvent does not
# reach a child under a headless Wine console), so the test sends SIGINT.
# Usage: ctrl_c_stop.sh WINE_RUN SERVICE_EXE
set -u
wine_run=$1
exe=$2
log=$(mktemp)
trap 'rm -f "$log"' EXIT

"$wine_run" "$exe" --foreground >"$log" 2>&1 &
pid=$!
for _ in $(seq 1 150); do
  grep -q "serving" "$log" && break
  kill -0 "$pid" 2>/dev/null || { echo "the service ended early:"; cat "$log"; exit 1; }
  sleep 0.1
done
grep -q "serving" "$log" || { echo "the service did not start:"; cat "$log"; kill -KILL "$pid"; exit 1; }

kill -INT "$pid"
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "the service did not stop within 10 s of Ctrl+C"
  kill -KILL "$pid"
  exit 1
fi
wait "$pid"
code=$?
cat "$log"
[ "$code" -eq 0 ] || { echo "exit code $code, expected 0"; exit 1; }
grep -q "lumbrex-service: stopped" "$log" || { echo "no 'stopped' line"; exit 1; }
echo "stopped cleanly"
