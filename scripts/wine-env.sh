# Sourced by the scripts: the private Wine prefix of this checkout.
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${LUMBREX_WINEPREFIX:-$repo_root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
# The 64-bit loader by name, with WINELOADER set to it: once Debian's 32-bit
# Wine is installed, the plain `wine` starts the 32-bit loader, and Wine's own
# programs (wineboot, cmd, reg) would run 32-bit.
if [ -x /usr/lib/wine/wine64 ]; then lumbrex_wine64=/usr/lib/wine/wine64
else lumbrex_wine64=$(command -v wine64 || command -v wine || echo wine64); fi
wine64_run() { WINELOADER=$lumbrex_wine64 "$lumbrex_wine64" "$@"; }

# Whether this machine runs 32-bit Windows programs: silent and 0 if so, else
# one line saying why not and 1. The kernel must run a 32-bit program (a
# 96-byte static i386 executable that exits with 42 proves it) before Debian's
# 32-bit Wine may be installed: on a kernel without it, that package breaks
# every Wine call, 64-bit ones included.
kernel_runs_32bit() {
  local probe status=0
  probe=$(mktemp "${TMPDIR:-/tmp}/lumbrex-i386-probe.XXXXXX") || return 1
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'\
'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x28\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00'\
'\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 42 ]
}
wine32_ready() {
  if ! kernel_runs_32bit; then
    echo "32-bit runs skipped: this machine's kernel runs no 32-bit program (a static i386 executable does not start)"
    return 1
  fi
  if [ ! -x /usr/lib/wine/wine ]; then
    echo "32-bit runs skipped: Debian's 32-bit Wine (wine32:i386) is not installed; scripts/setup.sh installs it"
    return 1
  fi
}

# Creates the prefix on first use, and keeps one wineserver alive in it (a
# cold Wine start costs seconds, a warm one a fraction of a second).
wine_prefix_up() {
  # A prefix made before 32-bit Wine was installed has an empty syswow64,
  # which no update fills: every 32-bit program, Wine's own too, fails to load
  # kernel32. The private prefix is made again; another is left as it is.
  if [ -x /usr/lib/wine/wine ] && [ -f "$WINEPREFIX/system.reg" ] &&
     [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    if [ "$WINEPREFIX" = "$repo_root/build/wineprefix" ]; then
      echo "wine: the private prefix predates 32-bit Wine: making it again"
      wineserver -k 2>/dev/null || true
      rm -rf "$WINEPREFIX"
    else
      echo "wine: $WINEPREFIX predates 32-bit Wine: its 32-bit programs will not start"
    fi
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the private prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wine64_run wineboot -i >/dev/null 2>&1
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
  wine64_run cmd /c exit >/dev/null 2>&1 || true
}

# Stops the prefix's wineserver (and the stand-in driver it hosts), unless it
# was running before wine_prefix_up. By hand (no wine_prefix_up in this
# shell, or after one that found a server): always stops it.
wine_prefix_down() {
  if [ -n "${wine_started_server-1}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
}
