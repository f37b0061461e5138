#!/usr/bin/env bash
# Runs a test the way a desktop session with a screen reader runs the
# program: its own X server, its own session bus, and on it the
# accessibility bus that screen readers listen on. Qt's bridge to that bus
# starts only on a windowing platform (not on the offscreen one).
#
#   atspi-session.sh COMMAND [ARGS...]
#
# Exits 77 (skipped) only when a program it needs is not installed.
set -u

missing=()
for program in Xvfb dbus-run-session dbus-send; do
    command -v "$program" >/dev/null || missing+=("$program")
done
launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    [ -x "$candidate" ] && launcher=$candidate
done
[ -n "$launcher" ] || missing+=(at-spi-bus-launcher)
if [ ${#missing[@]} -gt 0 ]; then
    echo "SKIP: not installed: ${missing[*]} (scripts/deps.sh installs them)"
    exit 77
fi

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The accessibility bus's socket goes below the runtime folder: one of our
# own, so that runs side by side never meet.
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"

# The X server tells its display number once it is ready for clients.
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 600); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
if ! [ -s "$work/display" ]; then
    echo "FAIL: the X server did not start"
    cat "$work/xvfb.log"
    exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"

export QT_QPA_PLATFORM=xcb
# No screen reader runs to switch accessibility on: switch it on for Qt.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export KRM_ATSPI_SESSION=1

# The accessibility bus is started on demand; ask for it before the program
# starts, as a desktop session does, so the program finds it at once.
dbus-run-session -- bash -c '
    dbus-send --session --print-reply --reply-timeout=60000 --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null || { echo "FAIL: no accessibility bus"; exit 1; }
    exec "$@"' atspi-session "$@"
