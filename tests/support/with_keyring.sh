#!/usr/bin/env bash
# Runs a command against a real Secret Service: gnome-keyring in a private
# D-Bus session with a private home, its login keyring unlocked with a
# made-up password; both end with the command.
set -euo pipefail
if [ -z "${VEXORIN_IN_KEYRING_SESSION:-}" ]; then
  export VEXORIN_IN_KEYRING_SESSION=1
  exec dbus-run-session -- bash "$0" "$@"
fi
home=$(mktemp -d)
# Never "kill 0": that would end the whole process group, the test runner too.
trap 'if [ -n "${GNOME_KEYRING_PID:-}" ]; then kill "$GNOME_KEYRING_PID" 2>/dev/null || true; fi
      rm -rf "$home"' EXIT
export HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config
export XDG_RUNTIME_DIR=$home/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
eval "$(printf 'made-up-login' | gnome-keyring-daemon --unlock --components=secrets)"
eval "$(gnome-keyring-daemon --start --components=secrets 2>/dev/null)"
"$@"
