#!/usr/bin/env bash
# Runs the web audio route's tests against a private PulseAudio server: a null sink "speakers"
# as the only output, reached through a socket in a temporary folder. The test that kills the
# server runs last, on a server of its own.
# Usage: run-audio-tests.sh TESTS [gtest options]
set -euo pipefail
for tool in pulseaudio pactl; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed" >&2
    exit 77
  fi
done
tests=$1
shift
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
  for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "the private PulseAudio server did not start:" >&2
  cat "$work/pulse.log" >&2
  return 1
}

status=0
start_server
"$tests" --gtest_filter='-*ServerKilled*' "$@" || status=$?
start_server
"$tests" --gtest_filter='*ServerKilled*' "$@" || status=$?
exit $status
