#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's prefix: the test
# session (scripts/wine-session.sh) sets the display and the prefix up.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
