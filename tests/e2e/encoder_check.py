#!/usr/bin/env python3
"""Runs one test of encoder_tests.exe (recording with the real ffmpeg.exe) under Wine, then
checks the recording it kept with Linux ffprobe and ffmpeg, which a Windows program under
Wine cannot start.

Usage: encoder_check.py EMULATOR ENCODER_TESTS_EXE OUT_DIR TEST

The test leaves OUT_DIR/TEST/TEST.mp4 and TEST.json, which says what the file must be:
  width, height      the frame size;
  audio              false: a video stream only;
  duration, tolerance   the length in seconds; or min_duration;
  timecode           {x, y, cell, bits, first, last, climb}: where the test window's
                     Gray-coded counter lies in the frames; every frame's value lies in
                     [first, last], never goes down, and climbs by at least `climb`;
  skip_black         frames in which the time-code window is not yet seen are skipped;
  pointer            {x, y, present}: whether the mouse pointer shows at that point.
"""

import json
import os
import shutil
import subprocess
import sys


def fail(message):
    print("encoder_check: " + message)
    sys.exit(1)


def probe(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-show_entries",
         "stream=codec_type,codec_name,pix_fmt,width,height,r_frame_rate,avg_frame_rate:format=duration",
         "-of", "json", path], capture_output=True, text=True)
    if out.returncode != 0:
        fail(f"ffprobe cannot read {path}: {out.stderr.strip()}")
    return json.loads(out.stdout)


def gray_frames(path, x, y, w, h):
    """Every frame's crop (x, y, w, h) in 8-bit grey, as decoded by ffmpeg."""
    out = subprocess.run(
        ["ffmpeg", "-v", "error", "-i", path, "-vf", f"format=gray,crop={w}:{h}:{x}:{y}:exact=1",
         "-fps_mode", "passthrough", "-f", "rawvideo", "-"], capture_output=True)
    if out.returncode != 0:
        fail(f"ffmpeg cannot decode {path}: {out.stderr.decode(errors='replace').strip()}")
    size = w * h
    data = out.stdout
    return [data[i:i + size] for i in range(0, len(data) - size + 1, size)]


def mean(frame, w, x, y, bw, bh):
    total = 0
    for row in range(y, y + bh):
        total += sum(frame[row * w + x:row * w + x + bw])
    return total / (bw * bh)


def check_streams(path, want):
    info = probe(path)
    streams = info.get("streams", [])
    video = [s for s in streams if s.get("codec_type") == "video"]
    if len(video) != 1:
        fail(f"{len(video)} video streams in {path}")
    v = video[0]
    for key, value in (("codec_name", "h264"), ("pix_fmt", "yuv420p"), ("r_frame_rate", "30/1"),
                       ("avg_frame_rate", "30/1")):
        if v.get(key) != value:
            fail(f"video {key} is {v.get(key)!r}, expected {value!r}")
    if "width" in want and (v["width"], v["height"]) != (want["width"], want["height"]):
        fail(f"frames are {v['width']}x{v['height']}, expected {want['width']}x{want['height']}")
    if want.get("audio") is False and len(streams) != 1:
        fail(f"expected a video stream only, found {[s.get('codec_type') for s in streams]}")
    duration = float(info["format"]["duration"])
    if "duration" in want and abs(duration - want["duration"]) > want["tolerance"]:
        fail(f"lasts {duration:.2f} s, expected {want['duration']:.2f} s within {want['tolerance']:.2f} s")
    if "min_duration" in want and duration < want["min_duration"]:
        fail(f"lasts {duration:.2f} s, expected at least {want['min_duration']} s")
    print(f"encoder_check: {v['codec_name']} {v['pix_fmt']} {v['width']}x{v['height']} "
          f"{v['r_frame_rate']} fps, {duration:.2f} s, {len(streams)} stream(s)")


def check_frames(path, want):
    tc = want.get("timecode")
    if not tc:
        return
    cell, bits = tc["cell"], tc["bits"]
    w, h = cell * bits, cell + 12  # the cells and a white strip below them
    frames = gray_frames(path, tc["x"], tc["y"], w, h)
    shown = [f for f in frames if mean(f, w, 0, cell + 4, w, 8) > 200]
    if want.get("skip_black"):
        frames = shown
    elif len(shown) != len(frames):
        fail(f"{len(frames) - len(shown)} of {len(frames)} frames do not show the test window")
    if len(frames) < 10:
        fail(f"only {len(frames)} frames show the test window")

    values = []
    for f in frames:
        gray = 0
        for i in range(bits):
            level = mean(f, w, i * cell + cell // 2 - 4, cell // 2 - 4, 8, 8)
            if 60 < level < 190:
                fail(f"time-code cell {i} reads {level:.0f}, neither black nor white")
            gray = gray << 1 | (level >= 128)
        value = 0
        while gray:
            value ^= gray
            gray >>= 1
        values.append(value)
    print(f"encoder_check: time code {values[0]} .. {values[-1]} over {len(values)} frames "
          f"(painted {tc['first']} .. {tc['last']})")
    for a, b in zip(values, values[1:]):
        if b < a:
            fail(f"time code goes back from {a} to {b}: {values}")
    if values[0] < tc["first"]:
        fail(f"first frame shows {values[0]}, painted before the recording began ({tc['first']})")
    if values[-1] > tc["last"]:
        fail(f"last frame shows {values[-1]}, painted after the recording ended ({tc['last']})")
    if values[-1] - values[0] < tc["climb"]:
        fail(f"time code climbs by {values[-1] - values[0]} only, expected at least {tc['climb']}")

    pointer = want.get("pointer")
    if pointer:
        pw, ph = 12, 18  # below and right of the arrow's tip
        crops = gray_frames(path, pointer["x"], pointer["y"], pw, ph)
        if want.get("skip_black"):
            # The frames in which the time-code window was seen, by their order.
            seen = [i for i, f in enumerate(gray_frames(path, tc["x"], tc["y"], w, h))
                    if mean(f, w, 0, cell + 4, w, 8) > 200]
            crops = [crops[i] for i in seen]
        darkest = [min(c) for c in crops]
        with_pointer = sum(d < 100 for d in darkest)
        print(f"encoder_check: pointer at ({pointer['x']}, {pointer['y']}) in {with_pointer} of {len(crops)} frames")
        if pointer["present"] and with_pointer != len(crops):
            fail("the pointer is missing from frames although the setting is on")
        if not pointer["present"] and with_pointer:
            fail("the pointer is in the frames although the setting is off")


def main():
    if len(sys.argv) != 5:
        fail(__doc__)
    emulator, exe, out_dir, test = sys.argv[1:]
    for tool in ("ffprobe", "ffmpeg"):
        if not shutil.which(tool):
            fail(f"{tool} is missing (Debian's package ffmpeg; scripts/setup.sh installs it)")
    out = os.path.join(os.path.abspath(out_dir), test)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    env = dict(os.environ, VANTORU_ENCODER_OUT="Z:" + out.replace("/", "\\"))
    run = subprocess.run([emulator, exe, f"--gtest_filter=Encoder.{test}"], env=env, stdin=subprocess.DEVNULL)
    if run.returncode != 0:
        fail(f"the Windows test failed ({run.returncode})")
    checks = os.path.join(out, test + ".json")
    if not os.path.exists(checks):
        fail("the test kept no recording (was it skipped or filtered out?)")
    with open(checks) as f:
        want = json.load(f)
    path = os.path.join(out, test + ".mp4")
    check_streams(path, want)
    check_frames(path, want)
    print("encoder_check: the recording is as expected")


if __name__ == "__main__":
    main()
