#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Time from process start to the first video frame on screen, and resident memory while
playing, for the player and for mpv on the same files (MKV and WebM); then the processor time each
uses over a minute of MKV playback (the player's bars hidden, the pointer away from its window),
with the bytes each writes to disk meanwhile and the web engine's processes the player runs, and
what the player's idle window uses in hover mode beside mpv's idle window. Runs inside a virtual X
session (see bench/compare_with_mpv.sh); the screen is read back through Xlib by screen_probe, so
"on screen" means what the X server shows, for both programs alike.

usage: compare_with_mpv.py PLAYER SCREEN_PROBE WORK_FOLDER [RUNS [KINDS]]

KINDS is a comma-separated choice of MKV, WebM, MP4, YouTube and Again (a second start of the WebM
in the same home, beside the bare web view; all by default); naming any of them
measures only those first frames and skips the processor-time part. YouTube plays the WebM clip
through the stand-in embed page of the end-to-end tests, beside the bare web view on a page of one
video element playing the same clip.
"""
import base64
import os
import plistlib
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time

PLAYER, PROBE, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
# The web path's floor, built beside the probe: a bare WebKitGTK view with the player's settings.
BARE_VIEW = os.path.join(os.path.dirname(PROBE), "bare_web_view")
RUNS = int(sys.argv[4]) if len(sys.argv) > 4 else 5
KINDS = sys.argv[5].split(",") if len(sys.argv) > 5 and sys.argv[5] else None
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


def make_long_mkv():
    path = os.path.join(WORK, "long.mkv")
    if not os.path.exists(path):
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                        "testsrc2=size=1280x720:rate=25:d=80", "-f", "lavfi", "-i",
                        "sine=f=440:d=80", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                        path], check=True)
    return path


def measure(command, env):
    """First-frame time (seconds), resident and proportional memory (KiB) of one run, through
    screen_probe."""
    probe = subprocess.run(
        [PROBE, str(SCREEN_W // 2), str(SCREEN_H // 2), "%02X%02X%02X" % COLOUR, *command],
        env=env, capture_output=True, text=True)
    fields = (probe.stdout.split() + ["-1", "-1", "-1"])[:3]
    milliseconds, kib, pss = int(fields[0]), int(fields[1]), int(fields[2])
    # Let the screen go back to black before the next run.
    time.sleep(1)
    return ((milliseconds / 1000 if milliseconds >= 0 else None), (kib if kib >= 0 else None),
            (pss if pss >= 0 else None))


def player_env(home):
    env = dict(os.environ)
    for name, folder in (("HOME", ""), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                         ("XDG_CACHE_HOME", "cache")):
        path = os.path.join(home, folder)
        os.makedirs(path, exist_ok=True)
        env[name] = path
    return env


STANDIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e",
                       "youtube-standin.js")


def with_standin(env, configuration):
    """The player page given the local stand-in for YouTube's embed API, as the end-to-end tests
    give it (honoured by builds with the test hooks, as scripts/bench.sh makes): without a network
    the real one never loads, and the idle page would keep reloading."""
    config = os.path.join(env["HOME"], "standin-config.js")
    with open(config, "w") as out:
        out.write("window.__standin = %s;\n" % configuration)
    env["ORVEL_EXTRA_PAGE_SCRIPTS"] = config + ":" + STANDIN
    return env


def report(label, results):
    frames = [frame for frame, _, _ in results if frame is not None]
    memory = [rss for _, rss, _ in results if rss is not None]
    proportional = [pss for _, _, pss in results if pss is not None]
    line = "%-28s" % label
    line += ("first frame median %6.0f ms (min %4.0f, max %4.0f, %d/%d runs)" %
             (statistics.median(frames) * 1000, min(frames) * 1000, max(frames) * 1000,
              len(frames), len(results)) if frames else "no frame seen")
    if memory:
        line += ", resident %5.0f MiB" % (statistics.median(memory) / 1024)
    if proportional:
        line += ", proportional %5.0f MiB" % (statistics.median(proportional) / 1024)
    print(line, flush=True)
    return (statistics.median(frames) if frames else None,
            statistics.median(memory) / 1024 if memory else None,
            statistics.median(proportional) / 1024 if proportional else None)


def tree_pids(pid):
    """A process and all its descendants."""
    pids = []
    pending = [pid]
    while pending:
        current = pending.pop()
        pids.append(current)
        try:
            with open("/proc/%d/task/%d/children" % (current, current)) as children:
                pending.extend(int(child) for child in children.read().split())
        except (OSError, ValueError):
            continue
    return pids


def tree_cpu_seconds(pid):
    """User and system time of a process and all its descendants, in seconds."""
    ticks = os.sysconf("SC_CLK_TCK")
    total = 0
    for current in tree_pids(pid):
        try:
            with open("/proc/%d/stat" % current) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except (OSError, IndexError, ValueError):
            continue
    return total / ticks


def tree_written_bytes(pid):
    """Bytes a process tree has caused to be written to storage (/proc/PID/io write_bytes)."""
    total = 0
    for current in tree_pids(pid):
        try:
            with open("/proc/%d/io" % current) as io:
                for line in io:
                    if line.startswith("write_bytes:"):
                        total += int(line.split()[1])
        except (OSError, ValueError):
            continue
    return total


def tree_names(pid):
    """The command names of a process tree's processes."""
    names = []
    for current in tree_pids(pid):
        try:
            with open("/proc/%d/comm" % current) as comm:
                names.append(comm.read().strip())
        except OSError:
            continue
    return names


def cpu_over(command, env, seconds, settle=5, before=None):
    """Processor seconds the command's process tree uses over `seconds`, after `settle`; the
    bytes it writes to storage over the same time; and its processes' names at the end."""
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        time.sleep(settle)
        if before:
            before()
        start = tree_cpu_seconds(process.pid)
        written = tree_written_bytes(process.pid)
        time.sleep(seconds)
        return (tree_cpu_seconds(process.pid) - start,
                tree_written_bytes(process.pid) - written, tree_names(process.pid))
    finally:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def pointer_away():
    subprocess.run(["xdotool", "mousemove", "2", "2"], check=False)


def processor_time(mkv_long):
    mpv = ["mpv", "--no-config", "--really-quiet", "--hwdec=no", "--keep-open=yes",
           "--geometry=50%:50%", mkv_long]
    with tempfile.TemporaryDirectory(dir=WORK) as home:
        mpv_cpu, mpv_written, _ = cpu_over(mpv, player_env(home), 60, before=pointer_away)
    with tempfile.TemporaryDirectory(dir=WORK) as home:
        player_cpu, player_written, names = cpu_over([PLAYER, mkv_long], player_env(home), 60,
                                                     before=pointer_away)
    print("60 s of MKV, processor time: mpv %.2f s, orvel-player %.2f s; player / mpv: %.2f "
          "(target at most 1.0)" % (mpv_cpu, player_cpu, player_cpu / mpv_cpu), flush=True)
    # The store is written while playing so that a crash loses at most a second; mpv writes
    # nothing until it quits. Bytes per hour, from the 60 s.
    print("60 s of MKV, written to disk: mpv %.2f MB an hour, orvel-player %.2f MB an hour" %
          (mpv_written * 60 / 1e6, player_written * 60 / 1e6), flush=True)
    webkit = [name for name in names if name.startswith("WebKit")]
    print("60 s of MKV, web engine processes running: %d (%s) (target 0)" %
          (len(webkit), ", ".join(webkit) or "none"), flush=True)
    with tempfile.TemporaryDirectory(dir=WORK) as home:
        env = player_env(home)
        store = os.path.join(env["XDG_CONFIG_HOME"], "Wendle")
        os.makedirs(store, exist_ok=True)
        # Hover mode is switched on through the player's own store, as a user leaves it.
        database = sqlite3.connect(os.path.join(store, "defaults.sqlite3"))
        database.execute("CREATE TABLE IF NOT EXISTS defaults(key TEXT PRIMARY KEY, "
                         "value BLOB NOT NULL)")
        database.execute("INSERT OR REPLACE INTO defaults VALUES(?, ?)",
                         ("settings.hoverTransparencyEnabled",
                          plistlib.dumps(True, fmt=plistlib.FMT_BINARY)))
        database.commit()
        database.close()
        idle, _, _ = cpu_over([PLAYER], with_standin(env, "{}"), 30, settle=8)
    # The peer: mpv's own window, open with nothing to play.
    with tempfile.TemporaryDirectory(dir=WORK) as home:
        mpv_idle, _, _ = cpu_over(["mpv", "--no-config", "--really-quiet", "--idle=yes",
                                   "--force-window=yes", "--geometry=50%:50%"],
                                  player_env(home), 30, settle=8)
    print("Idle window: orvel-player in hover mode %.2f %% of one core, mpv %.2f %% (target at "
          "most 0.3 %%)" % (idle / 30 * 100, mpv_idle / 30 * 100), flush=True)


def main():
    mkv = make_clip("bench.mkv", ["-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"])
    webm = make_clip("bench.webm", ["-c:v", "libvpx", "-deadline", "realtime", "-c:a", "libopus"])
    mp4 = make_clip("bench.mp4", ["-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                  "-movflags", "+faststart"])
    # mpv plays the sound through the sound server, as the player does.
    mpv = ["mpv", "--no-config", "--really-quiet", "--hwdec=no", "--keep-open=yes",
           "--geometry=50%:50%"]
    results = {}
    for kind, clip in (("MKV", mkv), ("WebM", webm), ("MP4", mp4)):
        if KINDS and kind not in KINDS:
            continue
        # The two programs take turns, so that neither always finds the machine (the sound
        # server, the caches) as the other left it.
        programs = [("mpv", mpv + [clip]), ("orvel-player", [PLAYER, clip])]
        if kind != "MKV" and os.access(BARE_VIEW, os.X_OK):
            programs.append(("bare web view", [BARE_VIEW, clip]))
        runs = {name: [] for name, _ in programs}
        for run in range(RUNS):
            for name, command in programs:
                with tempfile.TemporaryDirectory(dir=WORK) as home:
                    runs[name].append(measure(command, player_env(home)))
        for name, _ in programs:
            label = "%s, %s" % (name, kind)
            results[label] = report(label, runs[name])
    for kind, target in (("MKV", "at most 1.0"), ("WebM", "at most 1.3"), ("MP4", "at most 1.3")):
        if "mpv, " + kind not in results:
            continue
        (ours, ours_rss, ours_pss), (peer, peer_rss, peer_pss) = (
            results["orvel-player, " + kind], results["mpv, " + kind])
        if ours and peer:
            print("%s first frame, player / mpv: %.2f (player %.0f ms, mpv %.0f ms; target %s)" %
                  (kind, ours / peer, ours * 1000, peer * 1000, target), flush=True)
        if ours_rss and peer_rss:
            print("%s resident memory, player / mpv: %.2f (player %.0f MiB, mpv %.0f MiB; target "
                  "at most %s)" % (kind, ours_rss / peer_rss, ours_rss, peer_rss,
                                   "1.3" if kind == "MKV" else "2.0"), flush=True)
        if ours_pss and peer_pss:
            print("%s proportional memory (shared pages counted once), player / mpv: %.2f "
                  "(player %.0f MiB, mpv %.0f MiB)" % (kind, ours_pss / peer_pss, ours_pss,
                                                      peer_pss), flush=True)
    if os.access(BARE_VIEW, os.X_OK) and (not KINDS or "Again" in KINDS):
        # A second start, as a user's every start after the first: the same home, the caches a
        # first start left (GStreamer's registry, the web engine's) in place.
        again = {"orvel-player": [], "bare web view": []}
        for run in range(RUNS):
            for name, command in (("orvel-player", [PLAYER, webm]),
                                  ("bare web view", [BARE_VIEW, webm])):
                with tempfile.TemporaryDirectory(dir=WORK) as home:
                    measure(command, player_env(home))
                    again[name].append(measure(command, player_env(home)))
        ours = report("orvel-player, WebM again", again["orvel-player"])
        floor = report("bare web view, WebM again", again["bare web view"])
        if ours[0] and floor[0]:
            print("WebM second start, player / bare web view: %.2f (player %.0f ms, bare view "
                  "%.0f ms)" % (ours[0] / floor[0], ours[0] * 1000, floor[0] * 1000), flush=True)
    for kind in ("WebM", "MP4"):
        if "bare web view, " + kind not in results:
            continue
        (ours, _, ours_pss), (floor, _, floor_pss) = (results["orvel-player, " + kind],
                                                       results["bare web view, " + kind])
        if ours and floor:
            print("%s first frame, player / bare web view: %.2f (player %.0f ms, bare view %.0f "
                  "ms; target at most 1.1)" % (kind, ours / floor, ours * 1000, floor * 1000),
                  flush=True)
        if ours_pss and floor_pss:
            print("%s proportional memory, player / bare web view: %.2f (player %.0f MiB, bare "
                  "view %.0f MiB; target at most 1.1)" % (kind, ours_pss / floor_pss, ours_pss,
                                                          floor_pss), flush=True)
    if not KINDS or "YouTube" in KINDS:
        # A YouTube link, played by the player page through the stand-in embed page from the
        # WebM clip (as a data: address, which the page may load, as the end-to-end tests do);
        # mpv has no peer for it without a network.
        with open(webm, "rb") as clip:
            address = "data:video/webm;base64," + base64.b64encode(clip.read()).decode()
        # Its floor: the bare web view on a page of one video element playing the same address,
        # the least a web page playing that clip asks of the engine.
        page = os.path.join(WORK, "bare-video-page.html")
        with open(page, "w") as out:
            out.write('<!DOCTYPE html><html><body style="margin:0;background:#000">'
                      '<video autoplay style="width:100vw;height:100vh" src="%s"></video>'
                      '</body></html>' % address)
        runs, bare = [], []
        for run in range(RUNS):
            with tempfile.TemporaryDirectory(dir=WORK) as home:
                env = with_standin(player_env(home),
                                   '{"videos": {"benchclip01": "%s"}}' % address)
                runs.append(measure([PLAYER, "https://www.youtube.com/watch?v=benchclip01"],
                                    env))
            if os.access(BARE_VIEW, os.X_OK):
                with tempfile.TemporaryDirectory(dir=WORK) as home:
                    bare.append(measure([BARE_VIEW, page], player_env(home)))
        youtube = report("orvel-player, YouTube", runs)
        if bare:
            floor = report("bare web view, video page", bare)
            if youtube[0] and floor[0]:
                print("YouTube (stand-in) first frame, player / bare web view on a video page: "
                      "%.2f (player %.0f ms, bare view %.0f ms)" %
                      (youtube[0] / floor[0], youtube[0] * 1000, floor[0] * 1000), flush=True)
            if youtube[2] and floor[2]:
                print("YouTube (stand-in) proportional memory, player / bare web view: %.2f "
                      "(player %.0f MiB, bare view %.0f MiB)" %
                      (youtube[2] / floor[2], youtube[2], floor[2]), flush=True)
        if youtube[0] and results.get("mpv, WebM", (None,))[0]:
            print("YouTube (stand-in embed page) first frame: player %.0f ms, beside mpv's WebM "
                  "%.0f ms: %.2f" % (youtube[0] * 1000, results["mpv, WebM"][0] * 1000,
                                     youtube[0] / results["mpv, WebM"][0]), flush=True)
    if not KINDS:
        processor_time(make_long_mkv())


main()
