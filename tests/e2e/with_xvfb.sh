#!/usr/bin/env bash
# Runs a command on a private Xvfb (1280x1024, 96 dpi) and stops the server afterwards:
#   with_xvfb.sh COMMAND [ARGS...]
# Exit status: the command's; 77 (skipped) when Xvfb or xdpyinfo is missing.
set -u

for tool in Xvfb xdpyinfo; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed (scripts/deps.sh test installs it)"
        exit 77
    fi
done

xvfb_pid=
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; wait 2>/dev/null' EXIT

# A display number nobody uses; another run may race for it, so go on to the next one when the
# server does not come up.
for n in $(seq 97 160); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        kill -0 "$xvfb_pid" 2>/dev/null || break
        xdpyinfo -display ":$n" >/dev/null 2>&1 && break
        sleep 0.05
    done
    if xdpyinfo -display ":$n" >/dev/null 2>&1; then
        export DISPLAY=":$n"
        break
    fi
    kill "$xvfb_pid" 2>/dev/null
    xvfb_pid=
done
if [ -z "$xvfb_pid" ]; then
    echo "FAIL: no X server could be started"
    exit 1
fi

"$@"
