#!/usr/bin/env bash
# Runs a command with a real notification server: dunst on a private X
# display (Xvfb) in a private D-Bus session; both end with the command.
# dunstctl reads what it was sent.
set -euo pipefail
if [ -z "${VEXORIN_IN_NOTIFY_SESSION:-}" ]; then
  export VEXORIN_IN_NOTIFY_SESSION=1
  exec dbus-run-session -- bash "$0" "$@"
fi
home=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_RUNTIME_DIR=$home/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# A display of our own, numbered by Xvfb itself: tests started at once
# never race for one.
Xvfb -displayfd 3 -nolisten tcp -screen 0 800x600x24 3>"$home/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -s "$home/display" ] && break; sleep 0.05; done
display=":$(tr -d '[:space:]' < "$home/display")"
DISPLAY=$display dunst >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications 2>/dev/null |
    grep -q true && break
  sleep 0.05
done
export VEXORIN_NOTIFICATION_SERVER=dunst
"$@"
