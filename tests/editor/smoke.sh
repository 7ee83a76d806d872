#!/bin/bash
# The real program on a real X server, driven as a person would with the
# keyboard and the mouse:
#  - a file named on the command line opens at start (title), a missing one
#    does not end the program;
#  - Load through the real open dialog; the preview, read back from a
#    screenshot, draws the file's windows in its font colour, marks the
#    one that runs off the screen, and dims them at night brightness;
#  - a value typed into a field, Save through the real save dialog that the
#    Load has filled in, a new name typed without extension and the
#    question whether to create it answered with Return; the file written
#    is the one the command-line client makes from the same settings;
#  - Exit ends the program with status 0.
#
#   smoke.sh BRINDLE QUILLON COMPONENT_LIBRARY
set -u
if [ -z "${BRINDLE_SMOKE_INNER:-}" ]; then
  BRINDLE_SMOKE_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi
brindle=$1 quillon=$2 component=$3
tmp=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$tmp/shot.png" ] && cp "$tmp/shot.png" "${TMPDIR:-/tmp}/brindle-smoke-failed.png"; exit 1; }

export QUILLON_REGISTRY=$tmp/registry.txt
unset QT_QPA_PLATFORM
"$quillon" register "$component" >/dev/null || fail "cannot register the component"

# Red text (0x0000FF); the clock left-aligned at (10, 20); the fuel window
# centred at x 150, so it runs past the right edge; 60 mCd at night.
"$quillon" new "$tmp/in.S19" >/dev/null &&
  "$quillon" set "$tmp/in.S19" FontColor=255 'ElementX(WIN_CLOCK)=10' 'ElementY(WIN_CLOCK)=20' \
    'ElementAlignment(WIN_CLOCK)=FONT_LEFT' 'ElementX(WIN_FUEL)=150' BrightnessNight=8 ||
  fail "cannot write the input file"

# The first visible window whose name matches, waiting up to 20 s. Polled:
# a search that meets a window going away can fail on its own.
window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.2
  done
}
stop() { kill "$1" 2>/dev/null; wait "$1" 2>/dev/null; }
# Clicks a button of the window at (x, y), waits for the file dialog of that
# title, and types a path into its name field with Return.
through_dialog() {  # through_dialog X Y TITLE PATH
  xdotool mousemove --window "$wid" "$1" "$2" click 1
  [ -n "$(window "^$3\$")" ] || fail "no dialog \"$3\""
  sleep 0.5
  xdotool key ctrl+a
  xdotool type --delay 10 "$4"
  xdotool key Return
}

# ---- A file named at start --------------------------------------------------
"$brindle" "$tmp/in.S19" & pids+=($!)
[ -n "$(window '^in\.S19 - Brindle V1\.02 \(beta\)$')" ] || fail "FILE at start not opened"
stop "${pids[-1]}"
"$brindle" "$tmp/missing.S19" & pids+=($!)
[ -n "$(window '^Brindle V1\.02 \(beta\)$')" ] || fail "no window with a missing FILE"
sleep 0.5
kill -0 "${pids[-1]}" 2>/dev/null || fail "a missing FILE ended the program"
stop "${pids[-1]}"

# ---- Load through the dialog, and the preview ----------------------------------
"$brindle" & pid=$!; pids+=($pid)
wid=$(window '^Brindle V1\.02 \(beta\)$')
[ -n "$wid" ] || fail "no window"
xdotool windowfocus --sync "$wid"
sleep 0.5
# Load: 81 x 33 at (376, 520).
through_dialog 416 536 "Select Configuration to load" "$tmp/in.S19"
[ -n "$(window '^in\.S19 - Brindle V1\.02 \(beta\)$')" ] || fail "Load did not name the window"

# The preview's screen starts at (758, 36) in the window and draws each
# device pixel as 2 x 2; a window's cell area is filled with the text colour
# at 30 %.
eval "$(xdotool getwindowgeometry --shell "$wid")"  # X, Y
pixel() {  # pixel X Y -> "r,g,b" of the window on the screen now
  import -window root "$tmp/shot.png"
  convert "$tmp/shot.png" -crop "1x1+$((X + $1))+$((Y + $2))" -depth 8 txt:- |
    sed -n 's/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/\1,\2,\3/p'
}
near() {  # near "r,g,b" R G B: each within 3
  IFS=, read -r r g b <<<"$1"
  [ $((r - $2)) -le 3 ] && [ $(($2 - r)) -le 3 ] && [ $((g - $3)) -le 3 ] && [ $(($3 - g)) -le 3 ] &&
    [ $((b - $4)) -le 3 ] && [ $(($4 - b)) -le 3 ]
}
expect() {  # expect X Y R G B WHAT: the pixel gets that colour within 5 s
  local seen
  for _ in $(seq 25); do
    seen=$(pixel "$1" "$2")
    near "$seen" "$3" "$4" "$5" && return 0
    sleep 0.2
  done
  fail "$6 is $seen, not $3,$4,$5"
}
expect $((758 + 2 * 10)) $((36 + 2 * 20)) 77 0 0 "the clock's cell at day brightness"
expect $((758 + 2 * 10 - 1)) $((36 + 2 * 20)) 0 0 0 "the screen left of the clock"
# The fuel window, 5 cells centred at 150, starts at 135: marked off screen.
expect $((758 + 2 * 135)) $((36 + 2 * 114)) 230 40 40 "the off-screen fuel window's corner"

# Night brightness (60 mCd): the toggle sits below the screen.
xdotool mousemove --window "$wid" 766 318 click 1
expect $((758 + 2 * 10)) $((36 + 2 * 20)) 46 0 0 "the clock's cell at night brightness"

# ---- Save to a new name -----------------------------------------------------
# SpeedUpd: Display group at (312, 8), the field at (176, 96) in it, 41 x 21.
xdotool mousemove --window "$wid" 508 114 click --repeat 3 1
xdotool key ctrl+a
xdotool type --delay 20 "1234"
# Save: 81 x 33 at (472, 520). Its dialog opens on in.S19.
through_dialog 512 536 "Select Configuration to save" "$tmp/out"
# The dialog asks before it creates the file (a second window of that
# name); Yes is the default.
for _ in $(seq 100); do
  [ "$(xdotool search --onlyvisible --name '^Select Configuration to save$' | wc -l)" -ge 2 ] && break
  sleep 0.1
done
sleep 0.3
xdotool key Return
for _ in $(seq 50); do [ -s "$tmp/out.S19" ] && break; sleep 0.1; done
[ -s "$tmp/out.S19" ] || fail "no file written"
"$quillon" set "$tmp/in.S19" SpeedUpdate=1234 -o "$tmp/expected.S19" || fail "no expected file"
cmp "$tmp/out.S19" "$tmp/expected.S19" || fail "the saved file differs from the expected one"
cmp -s "$tmp/in.S19" "$tmp/expected.S19" && fail "the loaded file was written over"
[ -n "$(window '^out\.S19 - Brindle V1\.02 \(beta\)$')" ] || fail "Save did not name the window"

# Exit: 81 x 33 at (648, 520).
xdotool mousemove --window "$wid" 688 536 click 1
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "Exit did not end the program"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
echo "PASS: start with FILE, Load, preview colours and marks, Save to a new name, Exit"
