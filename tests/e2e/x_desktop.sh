# What the X desktop tests share (sourced): checks, waits, and a fresh X
# server with a session bus and openbox. The caller sets work.

failures=0
pids=()
# check TEXT CONDITION: reports the condition by its text.
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi; }
# wait_for CONDITION [SECONDS]: up to 30 s unless told, counted by the clock
# whatever the condition costs to test (the first start on a fresh server
# builds its font caches).
wait_for() {
  local until=$((SECONDS + ${2:-30}))
  while [ "$SECONDS" -lt "$until" ]; do eval "$1" && return 0; sleep 0.1; done
  eval "$1"
}
end_all() {
  kill "${pids[@]}" 2> /dev/null
  wait "${pids[@]}" 2> /dev/null
  [ -s "$work/bus-pid" ] && kill "$(cat "$work/bus-pid")" 2> /dev/null
  pids=()
}

# start_desktop [BEFORE_WM]: Xvfb on a free display (it says which), a
# session bus, and openbox; BEFORE_WM, a command run before the window
# manager starts (the accessibility bus). A program mapped while the window
# manager takes the screen over may be left unmanaged, so this returns once
# openbox says it is there.
start_desktop() {
  local display_file="$work/display"
  rm -f "$display_file"
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3> "$display_file" > /dev/null 2>&1 &
  pids+=($!)
  wait_for '[ -s "$display_file" ]' || { echo "no X server"; exit 1; }
  export DISPLAY=":$(cat "$display_file")"
  export DBUS_SESSION_BUS_ADDRESS
  DBUS_SESSION_BUS_ADDRESS=$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3> "$work/bus-pid")
  if [ -n "${1-}" ]; then eval "$1"; fi
  # openbox once failed to come up on a loaded machine: it gets a second
  # start, and its log is shown when that fails too.
  local wm_ready='xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q "window id"'
  for _ in 1 2; do
    openbox > "$work/openbox.log" 2>&1 &
    pids+=($!)
    wait_for "$wm_ready" && return 0
  done
  echo "no window manager:"
  cat "$work/openbox.log"
  exit 1
}
