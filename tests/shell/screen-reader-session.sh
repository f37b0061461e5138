#!/usr/bin/env bash
# Runs a test in the desktop a blind operator works in: its own X server, a
# session bus with the accessibility bus on it, openbox managing the windows,
# and the screen reader Orca listening, writing what it would say to a file
# the test reads (KRM_ORCA_LOG). Keys reach the program as real key events
# through the X server (xdotool), as the keyboard's would.
#
#   screen-reader-session.sh COMMAND [ARGS...]
#
# Exits with the command's status; 77 (skipped) only when a program it
# needs is not installed.
set -u

missing=()
for program in Xvfb dbus-run-session dbus-send openbox orca xdotool; do
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
xvfb=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Runtime folder, preferences and caches of our own, so that runs side by
# side never meet and no one's own settings change what is said.
export XDG_RUNTIME_DIR=$work/run HOME=$work/home
export XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$HOME" "$XDG_DATA_HOME/orca"
# Orca buffers its debug file; the test reads it as Orca speaks, so each
# line goes out at once. Keys are not echoed: what is heard is what the
# program says. (Orca loads this file of the user's own at start.)
cat >"$XDG_DATA_HOME/orca/orca-customizations.py" <<'PY'
import orca.debug
import orca.settings
if orca.debug.debugFile:
    orca.debug.debugFile.reconfigure(line_buffering=True)
orca.settings.enableKeyEcho = False
PY

# The display number arrives through a pipe once the server is ready.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
read -r display <"$work/display"
if [ -z "$display" ]; then
    echo "FAIL: the X server did not start"
    cat "$work/xvfb.log"
    exit 1
fi
export DISPLAY=":$display"
export KRM_ORCA_LOG=$work/orca.log
# Qt's bridge and Orca find each other on the accessibility bus; GTK's own
# settings back end is not needed by either.
export GSETTINGS_BACKEND=memory

# openbox starts the session's programs once it manages the screen: Orca,
# then the test, whose status goes to a file before openbox is told to end.
cat >"$work/session" <<EOF
dbus-send --session --print-reply --reply-timeout=60000 --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress >/dev/null || { echo "FAIL: no accessibility bus"; openbox --exit; exit; }
orca --replace --disable braille --disable braille-monitor --debug-file="$work/orca.log" >"$work/orca.out" 2>&1 &
$(printf '%q ' "$@")
echo \$? >"$work/status"
kill %1 2>/dev/null
openbox --exit
EOF
echo 1 >"$work/status"
dbus-run-session -- openbox --startup "bash $work/session" 2>"$work/openbox.log"
status=$(cat "$work/status")
if [ "$status" != 0 ]; then
    cat "$work/openbox.log" "$work/orca.out" >&2
    # What Orca said, for the failure's story.
    grep -a "SPEECH OUTPUT" "$work/orca.log" | tail -n 60 >&2
    [ -n "${KRM_ORCA_KEEP:-}" ] && cp "$work/orca.log" "$KRM_ORCA_KEEP"
fi
exit "$status"
