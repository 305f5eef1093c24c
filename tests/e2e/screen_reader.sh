#!/usr/bin/env bash
# Marbleway as a screen reader reads and drives it: the real program under
# Xvfb with openbox and the AT-SPI accessibility bus (as GNOME's Orca reads
# programs), its tree read with pyatspi, a button pressed through AT-SPI, and
# a conversion made with the keyboard alone, from Import to Complete!.
#
#   screen_reader.sh MARBLEWAY VOB WORK      exits 77 when a tool is missing
set -uo pipefail
program=$1 vob=$2 work=$3
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
launcher=/usr/libexec/at-spi-bus-launcher registry=/usr/libexec/at-spi2-registryd
for tool in Xvfb openbox xdotool dbus-daemon ffprobe "$launcher" "$registry"; do
  command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c "import pyatspi" 2> /dev/null || { echo "skipped: python3-pyatspi is not installed"; exit 77; }
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
rm -rf "$work" && mkdir -p "$work/sources" "$work/out" "$work/config/Marbleway"
cp "$vob" "$work/sources/"
printf '[SavePath]\nPathName=%s/\n' "$work/out" > "$work/config/Marbleway/DVD.ini"

source "$here/x_desktop.sh"
trap end_all EXIT
tree() { /usr/bin/python3 "$here/atspi_tree.py" "$@" 2> /dev/null; }
# Whether the tree as read now holds text.
reads() { tree > "$work/now.txt"; grep -qF -- "$1" "$work/now.txt"; }

start_desktop '"$launcher" --launch-immediately > /dev/null 2>&1 & pids+=($!); "$registry" > /dev/null 2>&1 & pids+=($!)'
XDG_CONFIG_HOME="$work/config" "$program" > "$work/program.log" 2>&1 &
pids+=($!)
window=$(timeout 20 xdotool search --sync --name '^DVD$' | head -1)
xdotool windowactivate --sync "$window" 2> /dev/null
wait_for 'tree > "$work/tree.txt" 2>&1 && grep -q "push button" "$work/tree.txt"'
cat "$work/tree.txt"
check "the buttons are push buttons named as they read" \
  'for b in Start Stop Files Settings About Minimise Close; do grep -q "\[push button\] \"$b\"" "$work/tree.txt" || exit 1; done'
check "Stop is not pressable while idle" 'grep "\"Stop\"" "$work/tree.txt" | grep -vq sensitive'
check "the focus starts on Start" 'grep "\"Start\"" "$work/tree.txt" | grep -q focused'
check "the status line is a status bar" 'grep -q "\[status bar\] \"Insert DVD...\"" "$work/tree.txt"'
check "the sources are a list" 'grep -q "\[list\] \"Source files\"" "$work/tree.txt"'
check "the settings panel's controls are parked out of the window" '! grep -q "Browse…" "$work/tree.txt"'

tree press Settings
settings_open() { reads '[push button] "Browse…"'; }
check "pressing Settings through AT-SPI opens the settings panel" 'wait_for settings_open'
titles_named() {
  for b in "Whole titles: off (a disc lists its VOB files)" "Sound of titles: as the disc plays" \
    "Subtitles of titles: none" "Size of each title: as set by the bit rate" "Black bars: cut off"; do
    grep -qF "[push button] \"$b\"" "$work/now.txt" || return 1
  done
}
check "the title controls are push buttons named in full" 'reads "Whole titles" && titles_named'
tree press "Whole titles: off (a disc lists its VOB files)"
check "pressing Whole titles through AT-SPI turns it on" "wait_for 'reads \"Whole titles: on (a disc lists its titles)\"'"
tree press Cancel
check "pressing Cancel through AT-SPI closes it" 'wait_for "! settings_open"'

# The keyboard alone: Ctrl+I, the folder typed into the dialog, Ctrl+Return,
# Return in the compressor dialog. The panel that closed may have left the
# focus nowhere: the window takes it back first.
focused() { [ "$(xdotool getwindowfocus 2> /dev/null)" = "$1" ]; }
xdotool windowactivate --sync "$window" 2> /dev/null
check "the window has the focus back" 'wait_for "focused $window"'
xdotool key --window "$window" ctrl+i
wait_for 'xdotool search --name "Select a directory" > /dev/null'
xdotool type --delay 10 "$work/sources"
xdotool key Return
imported() { reads "[list item] \"$work/sources/"; }
check "Ctrl+I imports the folder" 'wait_for imported'
xdotool windowactivate --sync "$window" 2> /dev/null
xdotool key --window "$window" ctrl+Return
chooser() { dialog=$(xdotool search --name "^Video Compression$" | head -1); [ -n "$dialog" ]; }
check "Ctrl+Return opens the compressor dialog" 'wait_for chooser'
# Return goes to the dialog once it has the focus: a loaded machine maps it
# before the window manager hands the focus over, and a Return that reaches
# the main window instead leaves the dialog waiting.
check "the compressor dialog takes the focus" 'wait_for "focused \"$dialog\""'
xdotool key Return
complete() { reads '[status bar] "Complete!"'; }
# The conversion itself, under the sanitizers on a loaded machine, may take
# minutes rather than seconds.
check "Return converts it to Complete!" 'wait_for complete 200'
# The whole source, as libavformat reads it: a conversion stopped part-way
# also leaves a file.
avi="$work/out/$(basename "${vob%.*}").avi"
vob_seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$vob")
avi_seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$avi" 2> /dev/null)
check "the AVI holds the whole source ($avi_seconds of $vob_seconds s)" \
  'awk -v a="${avi_seconds:-0}" -v v="$vob_seconds" "BEGIN { exit !(a > v - 0.5 && a < v + 0.5) }"'

echo "$failures checks failed"
if [ "$failures" -ne 0 ]; then
  echo "--- the tree as it reads now"; tree
  echo "--- the windows"; xdotool search --name . getwindowname %@ 2> /dev/null
  echo "--- the program's output"; cat "$work/program.log"
fi
[ "$failures" -eq 0 ]
