# Sourced by the scripts: the private Wine prefix of this checkout.
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${LUMBREX_WINEPREFIX:-$repo_root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64

# Creates the prefix on first use, and keeps one wineserver alive in it (a
# cold Wine start costs seconds, a warm one a fraction of a second).
wine_prefix_up() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the private prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  # Already running (a developer's own session): use that one, and leave it
  # running afterwards.
  if wineserver -k0 2>/dev/null; then
    echo "wine: using the wineserver already running in the prefix"
    wine_started_server=
  else
    echo "wine: starting a wineserver for the run"
    wineserver -p 2>/dev/null || true
    wine_started_server=1
  fi
  wine cmd /c exit >/dev/null 2>&1 || true
}

# Stops the prefix's wineserver (and the stand-in driver it hosts), unless it
# was running before wine_prefix_up. By hand (no wine_prefix_up in this
# shell, or after one that found a server): always stops it.
wine_prefix_down() {
  if [ -n "${wine_started_server-1}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
}
