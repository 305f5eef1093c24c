#!/usr/bin/env bash
# Marbleway on two X desktops under Xvfb, with openbox as the window manager:
# one without a notification area, where "–" minimises the window (WM_STATE
# Iconic) and activating it brings it back; one with an XEmbed notification
# area (trayer), where "–" hides the window behind its icon and the window
# comes back when the notification area goes away.
#
#   desktops.sh MARBLEWAY WORK [SHOTS]   exits 77 when a tool is missing;
#                                        SHOTS: a folder for screenshots
set -uo pipefail
# The program runs on the X server here, whatever the rest of the suite uses.
export QT_QPA_PLATFORM=xcb
program=$1 work=$2 shots=${3-}
for tool in Xvfb openbox trayer xdotool xprop xwininfo dbus-daemon; do
  command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/x_desktop.sh"
trap end_all EXIT
state() { xprop -id "$1" WM_STATE 2> /dev/null | sed -n 's/.*window state: //p'; }
mapped() { xwininfo -id "$1" 2> /dev/null | sed -n 's/.*Map State: //p'; }
shot() { [ -n "$shots" ] && command -v import > /dev/null && import -window root "$shots/$1.png"; }

# desktop NAME TRAY: a fresh X server, session bus and window manager, with a
# notification area when TRAY is 1; the program started on it. Sets window.
desktop() {
  start_desktop
  if [ "$2" = 1 ]; then
    trayer --edge top --align right --widthtype request --height 24 > /dev/null 2>&1 &
    tray=$!
    pids+=($tray)
    wait_for "xdotool search --classname trayer > /dev/null 2>&1"
  fi
  XDG_CONFIG_HOME="$work/$1/config" "$program" > "$work/$1.log" 2>&1 &
  pids+=($!)
  window=$(timeout 20 xdotool search --sync --name '^DVD$' | head -1)
  # Managed: mapped by the window manager, which has set its state.
  wait_for '[ "$(mapped "$window")" = IsViewable ] && [ "$(state "$window")" = Normal ]'
}
# The "–" button of the skin (dvd.skn: BackGround at 366,7 to 386,25).
background() { xdotool mousemove --window "$window" 376 16 click 1; }

desktop no-tray 0
check "the window opens" '[ -n "$window" ] && [ "$(state "$window")" = Normal ]'
shot no-tray-window
background
check "without a notification area, – minimises the window" 'wait_for "[ \"\$(state $window)\" = Iconic ]"'
shot no-tray-minimised
xdotool windowactivate "$window" 2> /dev/null
check "activating it brings it back" 'wait_for "[ \"\$(state $window)\" = Normal ] && [ \"\$(mapped $window)\" = IsViewable ]"'
end_all

desktop tray 1
background
check "with a notification area, – hides the window" 'wait_for "[ \"\$(mapped $window)\" = IsUnMapped ] && [ -z \"\$(state $window)\" ]"'
check "and its icon sits in the notification area" \
  '[ "$(xwininfo -children -id "$(xdotool search --classname trayer | head -1)" | grep -c "child")" -ge 1 ]'
shot tray-hidden
kill "$tray"
check "the window comes back when the notification area goes" 'wait_for "[ \"\$(mapped $window)\" = IsViewable ]"'
shot tray-gone
end_all

echo "$failures checks failed"
[ "$failures" -eq 0 ]
