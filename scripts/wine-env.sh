# Sourced by the scripts: the private Wine prefix of this checkout.
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${LUMBREX_WINEPREFIX:-$repo_root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
# A second prefix, with a wineserver of its own, for the half of the leak
# tests that ctest runs beside the rest of the suite (tests/reliability:
# one wineserver is single-threaded, two use both cores).
export LUMBREX_LEAK_WINEPREFIX="${LUMBREX_LEAK_WINEPREFIX:-$repo_root/build/wineprefix-leak}"

# Creates the prefix on first use, and keeps one wineserver alive in it (a
# cold Wine start costs seconds, a warm one a fraction of a second).
wine_prefix_up() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the private prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  # Already running (a developer's own session): use that one.
  wineserver -p 2>/dev/null || true
  wine cmd /c exit >/dev/null 2>&1 || true
}

# The test run's two prefixes (scripts/test.sh).
wine_test_prefixes_up() {
  wine_prefix_up
  (export WINEPREFIX="$LUMBREX_LEAK_WINEPREFIX"; wine_prefix_up)
}

# Stops the wineservers of both (the second is not running outside tests).
wine_prefix_down() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -f "$LUMBREX_LEAK_WINEPREFIX/system.reg" ]; then
    (export WINEPREFIX="$LUMBREX_LEAK_WINEPREFIX"; wineserver -k >/dev/null 2>&1 || true)
  fi
}
