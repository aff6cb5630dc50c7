#!/usr/bin/env python3
"""Time from process start to the first video frame on screen, and resident memory while
playing, for the player and for mpv on the same files. Runs inside a virtual X session (see
bench/compare_with_mpv.sh); the screen is read back with ffmpeg, so "on screen" means what the X
server shows, for both programs alike.

usage: compare_with_mpv.py PLAYER SCREEN_PROBE WORK_FOLDER [RUNS]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

PLAYER, PROBE, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
RUNS = int(sys.argv[4]) if len(sys.argv) > 4 else 5
SCREEN_W, SCREEN_H = 1280, 800
# A flat colour fills the picture, so any frame of it shows at the centre of the screen, where
# both programs put their window.
COLOUR = (0xE0, 0x30, 0x60)


def make_clip(name, codec_args):
    path = os.path.join(WORK, name)
    if not os.path.exists(path):
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                        "color=c=0xE03060:size=1280x720:rate=25:d=20", "-f", "lavfi", "-i",
                        "sine=f=440:d=20", *codec_args, path], check=True)
    return path


def measure(command, env):
    """First-frame time (seconds) and resident memory (KiB) of one run, through screen_probe."""
    probe = subprocess.run(
        [PROBE, str(SCREEN_W // 2), str(SCREEN_H // 2), "%02X%02X%02X" % COLOUR, *command],
        env=env, capture_output=True, text=True)
    fields = (probe.stdout.split() + ["-1", "-1"])[:2]
    milliseconds, kib = int(fields[0]), int(fields[1])
    # Let the screen go back to black before the next run.
    time.sleep(1)
    return (milliseconds / 1000 if milliseconds >= 0 else None), (kib if kib >= 0 else None)


def player_env(home):
    env = dict(os.environ)
    for name, folder in (("HOME", ""), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                         ("XDG_CACHE_HOME", "cache")):
        path = os.path.join(home, folder)
        os.makedirs(path, exist_ok=True)
        env[name] = path
    return env


def report(label, results):
    frames = [frame for frame, _ in results if frame is not None]
    memory = [rss for _, rss in results if rss is not None]
    line = "%-28s" % label
    line += ("first frame median %6.0f ms (min %4.0f, max %4.0f, %d/%d runs)" %
             (statistics.median(frames) * 1000, min(frames) * 1000, max(frames) * 1000,
              len(frames), len(results)) if frames else "no frame seen")
    if memory:
        line += ", resident %5.0f MiB" % (statistics.median(memory) / 1024)
    print(line, flush=True)
    return statistics.median(frames) if frames else None


def main():
    mkv = make_clip("bench.mkv", ["-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"])
    webm = make_clip("bench.webm", ["-c:v", "libvpx", "-deadline", "realtime", "-c:a", "libopus"])
    mpv = ["mpv", "--no-config", "--really-quiet", "--ao=null", "--hwdec=no", "--keep-open=yes",
           "--geometry=50%:50%", mkv]
    results = {}
    for label, make_command in (
            ("mpv, MKV", lambda home: mpv),
            ("orvel-player, MKV", lambda home: [PLAYER, mkv]),
            ("orvel-player, WebM", lambda home: [PLAYER, webm])):
        runs = []
        for run in range(RUNS):
            with tempfile.TemporaryDirectory(dir=WORK) as home:
                runs.append(measure(make_command(home), player_env(home)))
        results[label] = report(label, runs)
    if results.get("mpv, MKV") and results.get("orvel-player, MKV"):
        print("MKV first frame, player / mpv: %.2f (target at most 1.5)" %
              (results["orvel-player, MKV"] / results["mpv, MKV"]))


main()
