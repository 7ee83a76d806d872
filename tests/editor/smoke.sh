#!/bin/bash
# The real program on a real X server: type a value into a field, save through
# the real file dialog (a new name typed without extension, so the dialog asks
# before it creates the file and adds .S19), and compare the written file with
# the one the settings must give.
#
#   smoke.sh BRINDLE REGISTER_TOOL COMPONENT_LIBRARY
set -u
if [ -z "${BRINDLE_SMOKE_INNER:-}" ]; then
  BRINDLE_SMOKE_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
brindle=$1 quillon=$2 component=$3
tmp=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

export QUILLON_REGISTRY=$tmp/registry.txt
unset QT_QPA_PLATFORM
"$quillon" register "$component" >/dev/null || fail "cannot register the component"

"$brindle" &
pid=$!
wid=$(timeout 20 xdotool search --sync --name "^Brindle V1.02 \(beta\)$" | head -1)
[ -n "$wid" ] || fail "no window"
xdotool windowfocus --sync "$wid"
sleep 0.5

# SpeedUpd: Display group at (312, 8), the field at (176, 96) in it, 41 x 21.
xdotool mousemove --window "$wid" 508 114 click --repeat 3 1
xdotool key --window "$wid" ctrl+a
xdotool type --delay 20 "1234"
# Save: 81 x 33 at (376 + 96, 520).
xdotool mousemove --window "$wid" 512 536 click 1
dlg=$(timeout 20 xdotool search --sync --name "^Select Configuration to save$" | head -1)
[ -n "$dlg" ] || fail "no save dialog"
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 10 "$tmp/out"
xdotool key Return
sleep 1
# The dialog asks before it creates the file; Yes is the default.
xdotool key Return
for _ in $(seq 50); do [ -s "$tmp/out.S19" ] && break; sleep 0.1; done
[ -s "$tmp/out.S19" ] || fail "no file written"

# The default settings with SpeedUpdate 1234 (0x04D2), as the device image
# and the S-record lines must carry them.
python3 - "$tmp/expected.S19" <<'PY'
import sys
image = bytearray.fromhex(
    "0100004D000F464759000B3202BCFA14040A04B0EA6000FFFFFF03FF02E70230"
    "0064000012C0FB01000000000B3C00015F900FA000000F32B8002000000000"
    "0700840701 2E07013A72012E0701".replace(" ", ""))
assert len(image) == 77
image[12:14] = (1234).to_bytes(2, "big")
c0 = sum(image) & 0xFF
stream = bytes([c0, c0 ^ 0x5A]) + bytes(image)
stream += bytes(96 - len(stream))
lines = []
for n in range(3):
    address = 0x1200 + 32 * n
    data = stream[32 * n:32 * n + 32]
    body = bytes([0x24, 0x00, address >> 8, address & 0xFF]) + data
    lines.append("S2" + body.hex().upper() + "%02X" % (~sum(body) & 0xFF))
lines.append("S9030000FC")
open(sys.argv[1], "wb").write("".join(l + "\r\n" for l in lines).encode())
PY
cmp "$tmp/out.S19" "$tmp/expected.S19" || { diff <(cat -A "$tmp/out.S19") <(cat -A "$tmp/expected.S19"); fail "file differs"; }

# Exit: 81 x 33 at (648, 520).
xdotool mousemove --window "$wid" 688 536 click 1
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then fail "Exit did not end the program"; fi
wait "$pid"
status=$?
pid=
[ "$status" -eq 0 ] || fail "exit status $status"
echo "PASS: typed, saved through the dialog, file as expected"
