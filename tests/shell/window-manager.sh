#!/bin/bash
# Runs a command on its own X server under a real window manager, as a
# desktop session would: Xvfb with one screen of SIZE (WIDTHxHEIGHT), openbox
# managing it with title bars and frames, and PANEL pixels at the bottom kept
# free as a desktop's panel keeps them (the work area ends above it).
#
#   window-manager.sh SIZE PANEL COMMAND [ARGS...]
#
# Exits with the command's status. Nothing is polled: Xvfb names its display
# once it accepts clients, and openbox starts the command once it manages the
# screen.
set -u
size=$1
panel=$2
shift 2

for tool in Xvfb openbox; do
    if ! command -v "$tool" >/dev/null; then
        echo "window-manager.sh: $tool is missing (scripts/deps.sh installs it)" >&2
        exit 1
    fi
done

work=$(mktemp -d)
xvfb=
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The display number arrives through a pipe once the server is ready; an
# empty read means the server ended first.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" \
    2>"$work/xvfb.log" &
xvfb=$!
read -r display <"$work/display"
if [ -z "$display" ]; then
    echo "window-manager.sh: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$display"

cat >"$work/rc.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <margins><top>0</top><bottom>$panel</bottom><left>0</left><right>0</right></margins>
</openbox_config>
EOF

# The command runs from a script of its own; its status goes to a file, then
# openbox is told to end.
{
    printf '%q ' "$@"
    printf '\necho $? >%q\nopenbox --exit\n' "$work/status"
} >"$work/run"
echo 1 >"$work/status"
openbox --config-file "$work/rc.xml" --startup "bash $work/run" 2>"$work/openbox.log"
status=$(cat "$work/status")
[ "$status" = 0 ] || cat "$work/openbox.log" >&2
exit "$status"
