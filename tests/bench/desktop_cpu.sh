#!/usr/bin/env bash
# What the desktop program's live display costs: starts every PROGRAM given (builds of `padwright`)
# at the same time, each on a private Xvfb, answers the warning, lets the main dialog settle, then
# reads the CPU time each uses over SECONDS while joystick 0 moves, as a share of one core.
# Running them side by side gives them the same machine, also when others share it.
#   tests/bench/desktop_cpu.sh SECONDS PROGRAM...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=$1
shift

if [ "${1:-}" = "--measure" ]; then
    # One program on the display with_xvfb.sh set up: prints "<CPU time used> <its units a second>".
    "$2" &
    pid=$!
    trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null' EXIT
    # The warning box first; Return answers it, then the main dialog (588 x 367) is shown.
    main=
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --name '^Padwright$' 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$id")"
            if [ "${WIDTH}x${HEIGHT}" = 588x367 ]; then main=$id; else
                timeout 5 xdotool windowfocus --sync "$id" 2>/dev/null && xdotool key Return; fi
        done
        [ -n "$main" ] && break
        sleep 0.1
    done
    [ -n "$main" ] || { echo "the main dialog did not appear" >&2; exit 1; }
    sleep 3  # start-up and the first paint are not the live display
    # Time on the CPU in ns (/proc/<pid>/schedstat). The user and system times of /proc/<pid>/stat
    # come in clock ticks sampled 100 times a second: at half a percent that is some 30 samples a
    # minute, too few to tell two builds apart.
    cpu() { awk '{ print $1 }' "/proc/$pid/schedstat"; }
    before=$(cpu)
    sleep "$seconds"
    after=$(cpu)
    echo "$((after - before)) 1000000000"
    exit 0
fi

results=()
for program in "$@"; do
    out=$(mktemp)
    results+=("$out")
    bash "$here/../e2e/with_xvfb.sh" bash "$here/desktop_cpu.sh" "$seconds" --measure "$program" >"$out" &
    sleep 2  # with_xvfb.sh picks the first free display: the next one looks once this one is taken
done
wait
i=0
for program in "$@"; do
    read -r ticks hz <"${results[$i]}"
    rm -f "${results[$i]}"
    awk -v t="$ticks" -v hz="$hz" -v s="$seconds" -v p="$program" \
        'BEGIN { printf "%-40s %7.4f s CPU in %d s: %.3f %% of one core\n", p, t / hz, s, 100 * t / hz / s }'
    i=$((i + 1))
done
