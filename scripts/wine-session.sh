# Sourced by scripts/test.sh: a virtual display and a warm Wine for the
# Windows tests, stopped again by wine_session_stop.

wine_session_start() {
  local root
  root=$(pwd)
  export WINEPREFIX=$root/build/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

  # A display of its own; Xvfb picks a free number and tells it.
  local displayfile
  displayfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$displayfile")"
  rm -f "$displayfile"

  # The prefix, created once and quietly.
  mkdir -p build
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot -i >/dev/null 2>&1
      wineserver -w
    fi
  ) 9>build/wineprefix.lock

  # A persistent server and its helpers started now, so that test processes
  # start fast and nothing inherits ctest's pipes.
  wineserver -p
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true

  # Set on every start, so that an older prefix gets them too. Without a
  # window manager, managed windows make every hide or destroy wait; a
  # crashing program prints a backtrace and ends instead of waiting on a
  # crash dialog that nobody closes.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
}

wine_session_stop() {
  wineserver -k 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait "${XVFB_PID:-}" 2>/dev/null || true
}
