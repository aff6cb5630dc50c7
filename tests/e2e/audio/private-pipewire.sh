# SPDX-License-Identifier: GPL-3.0-or-later
# A private PipeWire server as a stock Debian 12 desktop runs it: pipewire, its session manager
# wireplumber and its PulseAudio server pipewire-pulse, on a session bus of their own, with a null
# sink "speakers" as the default output. Sourced in place of private-pulse.sh, with the same
# start_server; ORVEL_TEST_PULSE_PID is pipewire-pulse's process, the server the player talks to.
for tool in pipewire wireplumber pipewire-pulse pactl dbus-daemon; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed" >&2
    exit 77
  fi
done
work=$(mktemp -d)
servers=()
stop_server() {
  local pid
  for pid in "${servers[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${servers[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  servers=()
}
trap 'stop_server; rm -rf "$work"' EXIT

# Waits up to a minute (a busy machine) for the command to succeed.
wait_for() {
  for _ in $(seq 600); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

start_server() {
  stop_server
  rm -rf "$work/home" "$work/run"
  mkdir -p "$work/home" "$work/run"
  chmod 700 "$work/run"
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
  export XDG_STATE_HOME="$work/home/.local/state" XDG_RUNTIME_DIR="$work/run"
  export PULSE_RUNTIME_PATH="$work/run/pulse" PULSE_SERVER="unix:$work/run/pulse/native"
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/run/bus"
  dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" 2>>"$work/server.log" &
  servers+=($!)
  wait_for test -S "$work/run/bus"
  pipewire >>"$work/server.log" 2>&1 &
  servers+=($!)
  wait_for test -S "$work/run/pipewire-0"
  wireplumber >>"$work/server.log" 2>&1 &
  servers+=($!)
  pipewire-pulse >>"$work/server.log" 2>&1 &
  servers+=($!)
  export ORVEL_TEST_PULSE_PID=$!
  if ! wait_for pactl info ||
    ! pactl load-module module-null-sink sink_name=speakers format=float32le rate=48000 \
      channels=2 >/dev/null ||
    ! wait_for pactl set-default-sink speakers ||
    ! wait_for sh -c 'pactl get-default-sink | grep -qx speakers'; then
    echo "the private PipeWire server did not start:" >&2
    cat "$work/server.log" >&2
    return 1
  fi
}
