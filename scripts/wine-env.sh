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
  echo "wine: starting a wineserver for the run"
  # Already running (a developer's own session): use that one.
  wineserver -p 2>/dev/null || true
  wine cmd /c exit >/dev/null 2>&1 || true
}

# Stops the prefix's wineserver (and the stand-in driver it hosts).
wine_prefix_down() {
  wineserver -k >/dev/null 2>&1 || true
}
