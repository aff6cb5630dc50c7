# SPDX-License-Identifier: GPL-3.0-or-later
# A private PulseAudio server for the web audio route's tests and benchmark: a null sink
# "speakers" as the only output, reached through a socket in a temporary folder. Sourced; needs
# `set -euo pipefail` in the caller. start_server (re)starts it and exports PULSE_SERVER and the
# server's process ID as ORVEL_TEST_PULSE_PID; the server and the folder go when the caller exits.
if ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null; then
  echo "skipped: pulseaudio and pactl are not installed" >&2
  exit 77
fi
work=$(mktemp -d)
server=
stop_server() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    server=
  fi
}
trap 'stop_server; rm -rf "$work"' EXIT

start_server() {
  stop_server
  rm -rf "$work/home" "$work/run"
  mkdir -p "$work/home" "$work/run"
  chmod 700 "$work/run"
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
  export PULSE_RUNTIME_PATH="$work/run/pulse" PULSE_SERVER="unix:$work/run/pulse/native"
  # Runs as root on CI, which PulseAudio allows with a warning outside system mode.
  pulseaudio --daemonize=no --system=no --exit-idle-time=-1 --disallow-exit -n \
    --use-pid-file=no --log-target="file:$work/pulse.log" \
    --load="module-null-sink sink_name=speakers format=float32le rate=48000 channels=2" \
    --load=module-native-protocol-unix &
  server=$!
  export ORVEL_TEST_PULSE_PID=$server
  # Up to a minute on a busy machine.
  for _ in $(seq 600); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "the private PulseAudio server did not start:" >&2
  cat "$work/pulse.log" >&2
  return 1
}
