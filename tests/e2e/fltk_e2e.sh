#!/usr/bin/env bash
# Drives the desktop program as a user would and looks at what it shows, on the X display it is
# given (with_xvfb.sh starts a private one):
#   with_xvfb.sh fltk_e2e.sh PROGRAM OUTPUT_DIR
# Screenshots and the measured start-up times are left in OUTPUT_DIR. Exit 77 (skipped) when the
# X tools are missing: scripts/deps.sh test installs them.
set -u

program=$1
out=$2
mkdir -p "$out"
rm -f "$out"/*.png "$out"/timings.txt

for tool in xdotool import convert compare; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed (scripts/deps.sh test installs it)"
        exit 77
    fi
done
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no display; run me through with_xvfb.sh"; exit 1; }

app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    import -window root "$out/failure.png" 2>/dev/null
    exit 1
}

echo "X server on $DISPLAY"

now_ms() { date +%s%3N; }

# The visible windows whose title matches, one id a line.
windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null; }

size_of() {
    local WIDTH HEIGHT X Y SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "${WIDTH}x${HEIGHT}"
}

# Waits up to $2 seconds for a visible window titled $1 that is not $3; prints its id.
wait_window() {
    local deadline=$(( $(now_ms) + ${2:-10} * 1000 )) id
    while [ "$(now_ms)" -lt "$deadline" ]; do
        for id in $(windows "$1"); do
            [ "$id" != "${3:-}" ] && { echo "$id"; return 0; }
        done
        sleep 0.02
    done
    return 1
}

# Waits up to $2 seconds for window $1 to disappear.
wait_gone() {
    local deadline=$(( $(now_ms) + ${2:-5} * 1000 ))
    while [ "$(now_ms)" -lt "$deadline" ]; do
        xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.02
    done
    return 1
}

shot() { import -window "$1" "$out/$2.png" || fail "screenshot $2"; }

# Cuts W x H + X + Y out of screenshot $1 into $2.
crop() { convert "$out/$1.png" -crop "$3" +repage "$out/$2.png"; }

# Number of pixels that differ between two images.
differing() { compare -metric AE "$out/$1.png" "$out/$2.png" null: 2>&1 | cut -d' ' -f1; }

# Shoots window $1 as $3-window and cuts rectangle $2 out of it as $3.
look() { shot "$1" "$3-window" && crop "$3-window" "$3" "$2"; }

# Looks at rectangle $3 of window $2, for up to 3 seconds, until it "differs" from or "equals" the
# image $4; the last look stays as $5. The program answers within a tick or two; the wait is for
# slow machines.
until_looks() {
    local how=$1 window=$2 rect=$3 reference=$4 name=$5 count
    local deadline=$(( $(now_ms) + 3000 ))
    while true; do
        look "$window" "$rect" "$name"
        count=$(differing "$reference" "$name")
        [ "$how" = differs ] && [ "$count" != 0 ] && return 0
        [ "$how" = equals ] && [ "$count" = 0 ] && return 0
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

key_to() {
    local window=$1
    shift
    timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key --delay 30 "$@"
}

# Dialog units to pixels at 96 dpi: x * 6 / 4, y * 13 / 8 (the test's X server runs at 96 dpi).
px() { echo $(( $1 * 6 / 4 )); }
py() { echo $(( $1 * 13 / 8 )); }

# ---- Arguments: an unknown one is refused with the usage on stderr and exit code 2
code=0
"$program" --machine=ancient >"$out/usage.log" 2>&1 || code=$?
[ "$code" -eq 2 ] || fail "--machine=ancient ended with $code, not 2"
grep -q '^usage: padwright \[--machine=kernel|modern|legacy\] \[--elevated\]$' "$out/usage.log" ||
    fail "no usage line: $(cat "$out/usage.log")"
# --help: the same usage and each --machine choice on standard output, exit code 0
"$program" --help >"$out/help.log" || fail "--help ended with $?"
for line in '^usage: padwright \[--machine' '^  --machine=kernel ' '^  --machine=modern ' '^  --machine=legacy '; do
    grep -q -- "$line" "$out/help.log" || fail "--help lacks $line: $(cat "$out/help.log")"
done
"$program" -h | cmp -s - "$out/help.log" || fail "-h does not answer as --help does"
# No display: one sentence that says so, exit code 1 (not FLTK's bare "Can't open display")
for display in "" ":$(( $$ % 1000 + 5000 ))"; do
    code=0
    DISPLAY=$display "$program" --machine=legacy >"$out/nodisplay.log" 2>&1 || code=$?
    [ "$code" -eq 1 ] || fail "with DISPLAY='$display' it ended with $code, not 1"
    [ "$(wc -l <"$out/nodisplay.log")" -eq 1 ] &&
        grep -q '^padwright: cannot open the display .*, and Padwright needs a graphical desktop' "$out/nodisplay.log" ||
        fail "with DISPLAY='$display' it said: $(cat "$out/nodisplay.log")"
done

# ---- Start: the warning comes first, then the main dialog (on the gameport machine, whose joystick 0
# the checks below step through)
start=$(now_ms)
"$program" --machine=legacy >"$out/program.log" 2>&1 &
app_pid=$!

warning=$(wait_window '^Padwright$' 10) || fail "the warning box did not appear"
warning_ms=$(( $(now_ms) - start ))
[ "$(size_of "$warning")" != "588x367" ] || fail "the first window is the main dialog, not the warning"
shot "$warning" warning
echo "warning box after ${warning_ms} ms"

dismissed=$(now_ms)
key_to "$warning" Return
main=$(wait_window '^Padwright$' 10 "$warning") || fail "the main dialog did not appear after Return"
main_ms=$(( $(now_ms) - dismissed ))
wait_gone "$warning" 2 || fail "the warning box is still open"
[ "$(size_of "$main")" = "588x367" ] || fail "main dialog is $(size_of "$main"), expected 588x367"
echo "main dialog ${main_ms} ms after the warning was answered"
printf 'warning_box_ms %s\nmain_dialog_after_warning_ms %s\n' "$warning_ms" "$main_ms" >"$out/timings.txt"

# ---- The monitor is live: the WinMM values change between two looks 300 ms apart
sleep 0.3
shot "$main" main
sleep 0.3
shot "$main" main-later
values="$(( $(px 90) - $(px 25) ))x$(( $(py 103) - $(py 25) ))+$(px 25)+$(py 25)"
crop main values-1 "$values"
crop main-later values-2 "$values"
[ "$(differing values-1 values-2)" -gt 0 ] || fail "the value fields did not change in 300 ms"

# ---- "&Next" by its mnemonic selects the next joystick; sixteen steps come round again
device="$(( $(px 140) ))x$(( $(py 12) ))+$(px 201)+$(py 16)"
crop main device-0 "$device"
key_to "$main" alt+n
until_looks differs "$main" "$device" device-0 device-1 || fail "Alt+N did not change the polled device"
key_to "$main" alt+n alt+n alt+n alt+n alt+n alt+n alt+n alt+n alt+n alt+n alt+n alt+n alt+n alt+n alt+n
until_looks equals "$main" "$device" device-0 device-16 || fail "sixteen steps of Next did not come back to joystick 0"

# ---- The X minimum edit (1029): a value is stored, the arrow keys step it, "-" is refused and the
# stored value stays. Its text is looked at without the up-down control and without the focus.
edit_x=$(( $(px 231) + 15 ))
edit_y=$(( $(py 65) + 8 ))
edit="$(( $(px 40) - 16 ))x$(( $(py 12) - 4 ))+$(( $(px 231) + 2 ))+$(( $(py 65) + 2 ))"
look "$main" "$edit" x-min-before

xdotool mousemove --window "$main" "$edit_x" "$edit_y" click 1
key_to "$main" ctrl+a
xdotool type --delay 40 "100"
key_to "$main" Tab
until_looks differs "$main" "$edit" x-min-before x-min-100 || fail "typing 100 did not change the X minimum"
sleep 0.2
look "$main" "$edit" x-min-100

xdotool mousemove --window "$main" "$edit_x" "$edit_y" click 1
key_to "$main" Up Tab
until_looks differs "$main" "$edit" x-min-100 x-min-101 || fail "the Up key did not step the X minimum"
xdotool mousemove --window "$main" "$edit_x" "$edit_y" click 1
key_to "$main" Down Tab
until_looks equals "$main" "$edit" x-min-100 x-min-back || fail "Up then Down did not come back to 100"

xdotool mousemove --window "$main" "$edit_x" "$edit_y" click 1
key_to "$main" ctrl+a
xdotool type "-"
box=$(wait_window '^Padwright$' 5 "$main") || fail "no message box after typing \"-\""
[ "$(size_of "$box")" != "588x367" ] || fail "the message box has the main dialog's size"
shot "$box" message-box
key_to "$box" Return
wait_gone "$box" 3 || fail "Return did not answer the message box"
key_to "$main" Tab
until_looks equals "$main" "$edit" x-min-100 x-min-refused || fail "after the refused \"-\" the edit does not show the stored 100"

# ---- A question must be answered: Escape does nothing, "n" says No; the monitor runs meanwhile
xdotool mousemove --window "$main" $(( $(px 100) + $(px 90) / 2 )) $(( $(py 165) + 10 )) click 1
question=$(wait_window '^Padwright$' 5 "$main") || fail "\"Clear all calib. data\" asked nothing"
shot "$question" question
shot "$main" asking-1
sleep 0.3
shot "$main" asking-2
crop asking-1 values-asking-1 "$values"
crop asking-2 values-asking-2 "$values"
[ "$(differing values-asking-1 values-asking-2)" -gt 0 ] || fail "the monitor stopped while a message box was open"
key_to "$question" Escape
sleep 0.3
windows '^Padwright$' | grep -qx "$question" || fail "Escape closed a Yes/No question"
key_to "$question" n
wait_gone "$question" 3 || fail "\"n\" did not answer the question"
sleep 0.2
[ -z "$(windows '^Padwright$' | grep -vx "$main")" ] || fail "answering No went on clearing"

# ---- Right click on the background: the About entry opens the About box
xdotool mousemove --window "$main" 3 $(( $(py 226) - 4 )) click 3
sleep 0.3
shot root context-menu
xdotool key a
about=$(wait_window '^About Padwright$' 5) || fail "the About box did not open from the context menu"
[ "$(size_of "$about")" = "352x89" ] || fail "About box is $(size_of "$about"), expected 352x89"
sleep 0.2
shot "$about" about
# The monitor goes on behind the About box (its left part is not covered).
behind="$(( $(px 70) - $(px 25) ))x$(( $(py 80) - $(py 25) ))+$(px 25)+$(py 25)"
look "$main" "$behind" behind-about-1
until_looks differs "$main" "$behind" behind-about-1 behind-about-2 || fail "the monitor stopped while the About box was open"
# The version line (control 1071) holds text: dark pixels in its rectangle.
crop about version "$(px 119)x$(py 8)+$(px 40)+$(py 10)"
darkest=$(convert "$out/version.png" -colorspace Gray -format '%[fx:minima]' info:)
awk -v d="$darkest" 'BEGIN { exit !(d < 0.3) }' || fail "the About box shows no version line"
key_to "$about" Return
wait_gone "$about" 3 || fail "Return did not close the About box"

# ---- Escape ends the program, with status 0
key_to "$main" Escape
for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.05
done
kill -0 "$app_pid" 2>/dev/null && fail "the program still runs after Escape"
wait "$app_pid"
status=$?
app_pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status"

echo "PASS: warning ${warning_ms} ms, main dialog ${main_ms} ms after the warning"
