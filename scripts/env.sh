# Shared settings for the build, test and run scripts (sourced, not run).
VORN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VORN_BUILD="$VORN_ROOT/build"
export WINEPREFIX="${VORN_WINEPREFIX:-$VORN_BUILD/wineprefix}"
export WINEARCH=win64
# No crash dialog and no debugger: a crashing program must exit non-zero, not hang in
# the debugger (hiding only the dialog would make crashes exit 0). No Mono or Gecko
# installers either.
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
export WINEDEBUG="${WINEDEBUG:--all}"
