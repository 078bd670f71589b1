#!/bin/bash
# The main job in one command: sets up this machine as the test command
# does, builds, starts the stand-in service (and the stand-in
# port-sharing driver) in the private Wine prefix, runs a short scenario
# through lumbrexctl.exe, prints the whole configuration and stops the service.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
result=FAILED
bin=build/bin
log=build/demo-service.log
service_pid=
stop_service() {
  if [ -n "$service_pid" ] && kill -0 "$service_pid" 2>/dev/null; then
    kill -INT "$service_pid" 2>/dev/null || true       # Ctrl+C: the service stops cleanly
    for _ in $(seq 50); do kill -0 "$service_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
    echo "== service stopped (its log: $log)"
  fi
  service_pid=
}
finish() {
  stop_service
  wine_prefix_down 2>/dev/null || true
  if [ "$result" = done ]; then
    echo "demo.sh: done in $((SECONDS - start)) s; the configuration above is what the library reads back"
  else
    echo "demo.sh: FAILED after $((SECONDS - start)) s"
  fi
}
trap finish EXIT

scripts/setup.sh
echo "== building (build/)"
scripts/build.sh --target lumbrexctl lumbrex-service lumbrex-demo-driver fenwyck_standin
source scripts/wine-env.sh
wine_prefix_up

ctl() {
  echo "\$ lumbrexctl $*"
  build/wine-run.sh "$bin/lumbrexctl.exe" "$@" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

echo "== starting the stand-in service: lumbrex-service.exe --foreground"
build/wine-run.sh "$bin/lumbrex-service.exe" --foreground >"$log" 2>&1 &
service_pid=$!
for _ in $(seq 150); do
  # "state" of a bundle no one has: exit 1 either way, but only a missing
  # service says ConnectToLocalService failed.
  said=$(build/wine-run.sh "$bin/lumbrexctl.exe" bundle state _ 2>&1 || true)
  if ! grep -q ConnectToLocalService <<<"$said"; then break; fi
  sleep 0.1
done

echo "== loading the stand-in port-sharing driver"
if build/wine-run.sh "$bin/lumbrex-demo-driver.exe" COM30 terminal.exe logger.exe; then
  echo "   it will report terminal.exe and logger.exe on COM30"
else
  echo "   not loaded: show will say \"driver not available\""
fi

echo "== the scenario"
# A fresh start: an earlier run's bundle goes first (refused when absent).
build/wine-run.sh "$bin/lumbrexctl.exe" bundle delete Demo >/dev/null 2>&1 || true
ctl bundle add Demo
ctl port add Demo in COM1 real
ctl port add Demo in COM20 virtual
ctl port add Demo out COM30 shared
ctl port add Demo out COM40 switcher
ctl port main Demo in COM1
ctl port main Demo out COM30
ctl port params Demo in COM1 115200 E 7 0 X
ctl port dynamic Demo in COM20
ctl port perms Demo in COM20 2
ctl port perms Demo out COM40 1
ctl option set auto-open on
ctl option set main-only on
ctl option set baudrate-emulation off
ctl share set Demo out COM30 terminal.exe 7
ctl share default Demo out COM30 logger.exe
ctl share apps COM30
echo "\$ lumbrexctl bundle add Demo    (again: refused)"
build/wine-run.sh "$bin/lumbrexctl.exe" bundle add Demo 2>&1 | tr -d '\r' || true
echo "== the whole configuration"
ctl show
result=done
