#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one player page scenario through page_harness under a virtual display and a private session
# bus, with a home and XDG folders of its own and clips made by ffmpeg.
# Usage: run-page-scenario.sh HARNESS SOURCE_DIR SCENARIO
# Exits 77 (skipped) when a tool it needs is missing.
set -euo pipefail
harness=$1
source_dir=$2
scenario=$3

for tool in xvfb-run dbus-run-session ffmpeg; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed" >&2
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/orvel-page-test.XXXXXX")
# The web engine's helper processes end a moment after the harness and may still write to the
# cache, so removing the folder is tried again for a few seconds.
cleanup() {
  local attempt
  for attempt in 1 2 3 4 5 6 7 8 9 10; do
    rm -rf "$work" 2>/dev/null && [ ! -e "$work" ] && return 0
    sleep 0.5
  done
  echo "could not remove $work" >&2
}
trap cleanup EXIT
export HOME=$work/home
export XDG_CONFIG_HOME=$work/config
export XDG_DATA_HOME=$work/data
export XDG_CACHE_HOME=$work/cache
export XDG_STATE_HOME=$work/state
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" \
  "$work/media"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Two 4-second clips, told apart by their tone.
frequency=440
for clip in abc def; do
  ffmpeg -nostdin -v error -f lavfi -i "testsrc=size=320x180:rate=25:d=4" \
    -f lavfi -i "sine=f=$frequency:d=4" -c:v libvpx -c:a libopus -shortest "$work/media/$clip.webm"
  frequency=$((frequency * 2))
done

# A private session bus that activates nothing: no accessibility bus, and no desktop portals, whose
# document portal would leave a FUSE mount in the runtime folder.
cat >"$work/session-bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$XDG_RUNTIME_DIR</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
export GTK_A11Y=none NO_AT_BRIDGE=1
# In a sanitizer build the harness still checks memory errors, but not leaks at exit: those come
# from fontconfig, JavaScriptCore and the GL driver, which keep their caches for the life of the
# process, and they differ from one machine to the next.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

status=0
xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session --config-file="$work/session-bus.conf" -- \
  "$harness" --page "$source_dir/resources/player.html" \
  --standin "$source_dir/tests/e2e/youtube-standin.js" --media "$work/media" \
  --scenario "$scenario" || status=$?
exit "$status"
