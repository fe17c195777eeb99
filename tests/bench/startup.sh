#!/usr/bin/env bash
# Start-up against the toolkit: times the release build of padwright (--machine=modern, to its start-up
# warning) and a bare FLTK window from exec to their first window mapped, 10 interleaved runs each on
# a private Xvfb, and prints the medians and their ratio; fails above 1.5 (./bench runs it).
#   tests/bench/startup.sh [startup_bench options: --runs N, --limit RATIO]
# Where it may (root, or CAP_SYS_NICE), it runs at real-time priority, so that other work on a shared
# machine does not land inside one run and not the next; otherwise at normal priority.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset release >/dev/null
cmake --build --preset release --target padwright bare_fltk_window startup_bench
priority=()
if chrt -f 10 true 2>/dev/null; then
    priority=(chrt -f 10)
    echo "start-up: at real-time priority (load average $(cut -d' ' -f1-3 /proc/loadavg))"
else
    echo "start-up: at normal priority, sharing the machine (load average $(cut -d' ' -f1-3 /proc/loadavg))"
fi
"${priority[@]}" build/release/tests/bench/startup/startup_bench "$@" build/release/bin/padwright --machine=modern \
    -- build/release/tests/bench/startup/bare_fltk_window
