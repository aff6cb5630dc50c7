#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Shows a newcomer on a machine without a display that the player works: makes a short clip with
# ffmpeg, plays it in the player on a virtual display, saves a screenshot and exits.
#   demo.sh PLAYER SCREENSHOT
set -euo pipefail
player=$1
screenshot=$2
work=$ORVEL_SESSION_HOME
ffmpeg -v error -y -f lavfi -i "testsrc2=size=1280x720:rate=25:d=20" -f lavfi -i "sine=f=440:d=20" \
  -c:v libvpx -b:v 1M -deadline realtime -c:a libopus "$work/clip.webm"
"$player" "$work/clip.webm" >"$work/player.log" 2>&1 &
pid=$!
# Wait until the player has stored a position: the clip is playing.
for _ in $(seq 1 60); do
  sleep 0.5
  # The store writes ahead to its -wal file first.
  if grep -qs "lastPlaybackPositions" "$work/.config/Wendle/"defaults.sqlite3*; then
    break
  fi
done
sleep 2
# The pointer over the window shows the title and the toolbar, as a user would see them.
xdotool mousemove 640 400 sleep 0.3 mousemove 650 410 sleep 0.6
ffmpeg -v error -y -f x11grab -video_size 1280x800 -i "$DISPLAY" -frames:v 1 "$screenshot"
kill -TERM "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
echo "Played $work/clip.webm; screenshot saved to $screenshot"
