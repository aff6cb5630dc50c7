#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads what scripts/bench.sh kept of one run and prints one line per figure: what, ours, the
peer's, ours / peer, the target (with the issue that set it) and whether it is met. A figure whose
program did not run, or printed nothing to read, says so instead of a number.

usage: summarize.py RESULTS_FOLDER
"""
import json
import os
import re
import sys

RESULTS = sys.argv[1]
ROWS = []


def row(what, ours, peer="—", ratio="—", target="—", verdict="—"):
    ROWS.append((what, ours, peer, ratio, target, verdict))


def missing(what, target, why):
    row(what, "no figure: " + why, target=target, verdict="not run")


def text(name):
    try:
        with open(os.path.join(RESULTS, name + ".txt"), errors="replace") as log:
            return log.read()
    except OSError:
        return None


def benchmarks(name):
    """Google Benchmark's entries by name: the median of the repetitions when there are some,
    else the single run."""
    try:
        with open(os.path.join(RESULTS, name + ".json")) as stored:
            entries = json.load(stored)["benchmarks"]
    except (OSError, ValueError, KeyError):
        return None
    found = {}
    for entry in entries:
        if entry.get("error_occurred"):
            continue
        # "equalizerDSP/real_time" and "differenceFromFFmpeg/iterations:1" by their own names.
        name_ = entry.get("run_name", entry["name"]).split("/")[0]
        if entry.get("run_type") == "aggregate":
            if entry.get("aggregate_name") == "median":
                found[name_] = entry
        else:
            found.setdefault(name_, entry)
    return found


def milliseconds(entry):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[entry.get("time_unit", "ns")]
    return entry["real_time"] * scale


def verdict(met):
    return "pass" if met else "FAIL"


def number(value, digits=1):
    return "{:,.{}f}".format(value, digits)


def search(pattern, log):
    found = re.search(pattern, log or "")
    return [float(group) for group in found.groups()] if found else None


def core():
    found = benchmarks("resolve")
    entry = found and found.get("resolveMixedCorpus")
    if entry:
        rate = entry["items_per_second"]
        row("resolve, mixed corpus of 1,000 inputs (resolutions/s, one core)", number(rate, 0),
            "— (no peer program)", "—", ">= 100,000 (#2)", verdict(rate >= 100000))
    else:
        missing("resolve, mixed corpus of 1,000 inputs", ">= 100,000/s (#2)", "bench_resolve")
    found = benchmarks("record")
    ours = found and found.get("recordWithFullHistory")
    peer = found and found.get("sqliteWriteOfTheSameLists")
    if ours:
        ms = milliseconds(ours)
        peer_ms = milliseconds(peer) if peer else None
        row("recordRecentVideo, 500-entry history, both lists stored (ms)", number(ms, 2),
            number(peer_ms, 3) + " (SQLite alone)" if peer_ms else "—",
            number(ms / peer_ms, 2) if peer_ms else "—", "<= 3 ms (#2)", verdict(ms <= 3))
    else:
        missing("recordRecentVideo, 500-entry history", "<= 3 ms (#2)", "bench_record")


def playlist():
    found = benchmarks("playlist") or {}
    for name, what, bound, issue in (
            ("visibleRowsSearch", "visibleRows with a search, 10,000 items (ms)", 16, "#3"),
            ("visibleRowsSearchFirstTime", "the same, first search after start (ms)", None, ""),
            ("parseM3U", "parseM3U, 100,000 entries (ms)", 500, "#3"),
            ("saveThenLoad", "save then load, 10,000-node library (ms)", None, "")):
        entry = found.get(name)
        target = "<= %d ms (%s)" % (bound, issue) if bound else "—"
        if not entry:
            missing(what, target, "bench_playlist")
            continue
        ms = milliseconds(entry)
        row(what, number(ms), "— (no peer program)" if bound else "—", "—", target,
            verdict(ms <= bound) if bound else "—")
    ours = found.get("loadFromMediaFolder")
    peer = found.get("findAndSortTheSameTree")
    if ours:
        ms = milliseconds(ours)
        peer_ms = milliseconds(peer) if peer else None
        row("loadFromMediaFolder, 5,000 files in 100 folders (ms)", number(ms),
            number(peer_ms) + " (find, sort -V)" if peer_ms else "—",
            number(ms / peer_ms, 2) if peer_ms else "—", "<= 250 ms (#3)", verdict(ms <= 250))
    else:
        missing("loadFromMediaFolder, 5,000 files", "<= 250 ms (#3)", "bench_playlist")


def equalizer():
    found = benchmarks("equalizer") or {}
    ours = found.get("equalizerDSP")
    peer = found.get("ffmpegEqualizer")
    if not ours:
        missing("EqualizerDSP process, 48 kHz stereo float", ">= FFmpeg, >= 500x (#5)",
                "bench_equalizer")
        return
    rate = ours["samplesPerSecond"]
    factor = ours["realTimeFactor"]
    if peer:
        peer_rate = peer["samplesPerSecond"]
        row("EqualizerDSP process, 48 kHz stereo (M samples/s)", number(rate / 1e6),
            number(peer_rate / 1e6) + " (FFmpeg equalizer x7)", number(rate / peer_rate, 2),
            ">= 1.0 x FFmpeg (#5)", verdict(rate >= peer_rate))
    row("EqualizerDSP process, times real time (one core)", number(factor, 0),
        number(peer["realTimeFactor"], 0) + " (FFmpeg)" if peer else "—", "—", ">= 500 (#5)",
        verdict(factor >= 500))
    quiet = found.get("equalizerDSPAfterSound")
    if quiet:
        row("EqualizerDSP process after sound, silence (times real time)",
            number(quiet["realTimeFactor"], 0))
    difference = found.get("differenceFromFFmpeg")
    if difference:
        row("EqualizerDSP output beside FFmpeg's (dB below the loudest)",
            number(difference["differenceDB"]))


def route():
    found = search(r"median of 9 \(range\): ([\d.]+) ms .*? direct, ([\d.]+) ms .*? through the "
                   r"route; the route adds (-?[\d.]+) ms", text("route"))
    if found:
        direct, routed, added = found
        row("web audio route, click to output (ms; peer: direct)", number(routed),
            number(direct) + " (no route)", "%+.1f" % added, "<= 50 ms added (#5)",
            verdict(added <= 50))
    else:
        missing("web audio route, delay added", "<= 50 ms (#5)", "route test (PulseAudio)")


def metadata():
    log = text("metadata")
    cold = search(r"(\d+) files, cold cache: ([\d.]+) s \((\d+) a second\), \d+ thumbnails, "
                  r"longest main-loop stall ([\d.]+) ms", log)
    warm = search(r"(\d+) files, warm cache: ([\d.]+) s \((\d+) cached thumbnails a second.*?"
                  r"longest main-loop stall ([\d.]+) ms", log)
    probe = search(r"files, ffprobe, \d+ at a time: [\d.]+ s \(([\d.]+) files a second\)", log)
    thumbs = search(r"files, ffmpeg thumbnails, \d+ at a time: [\d.]+ s \(([\d.]+) files a "
                    r"second\)", log)
    if not cold or not warm:
        missing("playlist metadata, 1,000 files", ">= 1,000/s warm; stall <= 16 ms (#12)",
                "bench_metadata")
        return
    row("metadata, cold cache: facts + thumbnail made (files/s)", number(cold[2], 0),
        number(thumbs[0]) + " (ffmpeg thumbnail)" if thumbs else "—",
        number(cold[2] / thumbs[0], 2) if thumbs else "—")
    row("metadata, warm cache: facts + cached thumbnail (files/s)", number(warm[2], 0),
        number(probe[0]) + " (ffprobe)" if probe else "—",
        number(warm[2] / probe[0], 2) if probe else "—", ">= 1,000/s (#12)",
        verdict(warm[2] >= 1000))
    stall = max(cold[3], warm[3])
    row("metadata, longest main-loop stall, cold and warm (ms)", number(stall), "—", "—",
        "<= 16 ms (#12)", verdict(stall <= 16))


def panel():
    for name, size, issue in (("playlist_panel", "10,000", "#13"),
                              ("playlist_panel_100k", "100,000", "#29")):
        log = text(name)
        for pattern, what in ((r"opening: ([\d.]+) ms", "opening to first frame (ms)"),
                              (r"scrolling: longest frame ([\d.]+) ms",
                               "scrolling, longest frame of work (ms)"),
                              (r"search: longest ([\d.]+) ms",
                               "search keystroke to redrawn list (ms)")):
            what = "playlist panel, %s items, %s" % (size, what)
            bound = 300 if what.endswith("first frame (ms)") else 16
            target = "<= %d ms (%s)" % (bound, issue if bound == 300 else "#13")
            found = search(pattern, log)
            if found:
                row(what, number(found[0]), "— (no peer program)", "—", target,
                    verdict(found[0] <= bound))
            else:
                missing(what, target, "bench_playlist_panel")


def library_startup():
    found = search(r"window's first frame: empty library ([\d.]+) ms, [\d,]+ items ([\d.]+) ms",
                   text("library_startup"))
    what = "start-up to the window's first frame, 100,000 items (ms)"
    if found:
        empty, full = found
        row(what, number(full, 0), number(empty, 0) + " (empty library)",
            "%+.0f ms" % (full - empty), "<= 1,000 ms added (#29)", verdict(full - empty <= 1000))
    else:
        missing(what, "<= 1,000 ms added (#29)", "library_startup")


def beside(what, pattern, log, target, bound=None, program=None, peer_name="mpv"):
    """A figure beside a peer's (mpv's unless named), read as (ratio, ours, the peer's); with a
    bound, judged by the ratio. Without the figure, `program` is named as what did not give it
    (nothing is said without one)."""
    found = search(pattern, log)
    if found:
        ratio, ours, peer = found
        row(what, number(ours, 0), "%s (%s)" % (number(peer, 0), peer_name), number(ratio, 2),
            target, verdict(ratio <= bound) if bound else "—")
    elif program:
        missing(what, target, program)


def beside_bare_view():
    """The web path beside its floor, the bare WebKitGTK view (bench/bare_web_view.cpp)."""
    log = text("mpv")
    bare = "bare view"
    for kind in ("WebM", "MP4"):
        beside("%s first frame on screen, beside the bare view (ms)" % kind,
               kind + r" first frame, player / bare web view: ([\d.]+) \(player (\d+) ms, bare "
               r"view (\d+) ms", log, "<= 1.1 x bare view (#40)", 1.1, "compare_with_mpv", bare)
        beside("%s playing, proportional memory, beside the bare view (MiB)" % kind,
               kind + r" proportional memory, player / bare web view: ([\d.]+) \(player (\d+) "
               r"MiB, bare view (\d+) MiB", log, "<= 1.1 x bare view (#40)", 1.1,
               "compare_with_mpv", bare)
    beside("WebM second start, beside the bare view's (ms)",
           r"WebM second start, player / bare web view: ([\d.]+) \(player (\d+) ms, bare view "
           r"(\d+) ms", log, "<= 1.1 x bare view (#40)", 1.1, "compare_with_mpv", bare)
    beside("YouTube stand-in first frame, beside the bare view on a video page (ms)",
           r"YouTube \(stand-in\) first frame, player / bare web view on a video page: ([\d.]+) "
           r"\(player (\d+) ms, bare view (\d+) ms", log, "— (#40: reported)", None,
           "compare_with_mpv", bare)
    beside("YouTube stand-in, proportional memory, beside the bare view (MiB)",
           r"YouTube \(stand-in\) proportional memory, player / bare web view: ([\d.]+) "
           r"\(player (\d+) MiB, bare view (\d+) MiB", log, "— (#40: reported)", None,
           "compare_with_mpv", bare)


def beside_mpv():
    log = text("mpv")
    for kind, what, target, bound in (
            ("MKV", "MKV first frame on screen (ms)", "<= 1.0 x mpv (#16; #4: 1.5)", 1.0),
            ("WebM", "WebM first frame on screen (ms)", "<= 1.3 x mpv (#29)", 1.3),
            ("MP4", "MP4 first frame on screen (ms)", "<= 1.3 x mpv (#29)", 1.3)):
        beside(what, kind + r" first frame, player / mpv: ([\d.]+) \(player (\d+) ms, mpv (\d+) "
               r"ms", log, target, bound, "compare_with_mpv (no frame seen?)")
    found = search(r"YouTube \(stand-in embed page\) first frame: player (\d+) ms, beside mpv's "
                   r"WebM (\d+) ms: ([\d.]+)", log)
    what = "YouTube first frame, stand-in embed page (ms)"
    if found:
        ours, peer, ratio = found
        row(what, number(ours, 0), number(peer, 0) + " (mpv, the WebM)", number(ratio, 2),
            "— (#29: reported)")
    else:
        missing(what, "— (#29: reported)", "compare_with_mpv (no frame seen?)")
    for kind, target, bound in (("MKV", "<= 1.3 x mpv (#16)", 1.3),
                                ("WebM", "<= 2.0 x mpv (#29)", 2.0),
                                ("MP4", "<= 2.0 x mpv (#29)", 2.0)):
        beside("%s playing, resident memory with children (MiB)" % kind,
               kind + r" resident memory, player / mpv: ([\d.]+) \(player (\d+) MiB, mpv "
               r"(\d+) MiB", log, target, bound, "compare_with_mpv")
        beside("%s playing, proportional memory with children (MiB)" % kind,
               kind + r" proportional memory \(shared pages counted once\), player / mpv: "
               r"([\d.]+) \(player (\d+) MiB, mpv (\d+) MiB", log, "— (reported)")
    found = search(r"processor time: mpv ([\d.]+) s, orvel-player ([\d.]+) s; player / mpv: "
                   r"([\d.]+)", log)
    what = "60 s of MKV, processor time, whole tree (s)"
    if found:
        peer, ours, ratio = found
        row(what, number(ours, 2), number(peer, 2) + " (mpv)", number(ratio, 2),
            "<= 1.0 x mpv (#29)", verdict(ratio <= 1.0))
    else:
        missing(what, "<= 1.0 x mpv (#29)", "compare_with_mpv")
    found = search(r"written to disk: mpv ([\d.]+) MB an hour, orvel-player ([\d.]+) MB", log)
    what = "MKV playback, written to disk (MB an hour)"
    if found:
        peer, ours = found
        row(what, number(ours), number(peer) + " (mpv)", "—", "— (#10: was 108; lose <= 1 s)")
    else:
        missing(what, "—", "compare_with_mpv")
    found = search(r"web engine processes running: (\d+)", log)
    what = "MKV playback, web engine processes running"
    if found:
        row(what, number(found[0], 0), "0 (mpv)", "—", "0 (#16)", verdict(found[0] == 0))
    else:
        missing(what, "0 (#16)", "compare_with_mpv")
    found = search(r"Idle window: orvel-player in hover mode ([\d.]+) % of one core, "
                   r"mpv ([\d.]+) %", log)
    what = "idle window in hover mode, whole tree (% of one core)"
    if found:
        ours, peer = found
        row(what, number(ours, 2), number(peer, 2) + " (mpv idle)",
            number(ours / peer, 2) if peer > 0 else "—", "<= 0.3 % (#29)", verdict(ours <= 0.3))
    else:
        missing(what, "<= 0.3 % (#29)", "compare_with_mpv")


def crashes():
    log = text("kill")
    what = "SIGKILLs during playback: worst position lost (s)"
    target = "<= 1.5 s, store ok, no entry lost (#16)"
    found = search(r"(\d+) kills, (\d+) while playing: position lost at most (-?[\d.]+) s, "
                   r"(-?[\d.]+) s on average", log)
    if not found:
        reason = log.strip().splitlines()[-1] if log and log.strip() else "bench/kill_test.sh"
        missing(what, target, reason[:60])
        return
    kills, playing, worst, mean = found
    passed = "[  PASSED  ] 1 test" in log
    row("%d SIGKILLs (%d while playing): worst position lost (s)" % (kills, playing),
        "%s (mean %s)" % (number(worst, 2), number(mean, 2)), "—", "—", target,
        verdict(passed and worst <= 1.5))


def main():
    for part in (core, playlist, equalizer, route, metadata, panel, library_startup, beside_mpv,
                 beside_bare_view, crashes):
        part()
    header = ("figure", "ours", "peer", "ours/peer", "target (issue)", "verdict")
    widths = [max(len(str(line[column])) for line in ROWS + [header]) for column in range(6)]
    for line in [header] + ROWS:
        print(" | ".join(str(cell).ljust(widths[column])
                         for column, cell in enumerate(line)).rstrip())


main()
