#!/usr/bin/env python3
"""Latency and CPU share of iaassl_locate on a live stream, alone and with live-view viewers.

A feeder plays a recording into the tool's standard input in real time, one 128-sample frame per
frame period as a capture device would deliver it, and notes when it starts to write the last
frame of each window. The reader notes when that window's row arrives. The tool's CPU time over
the run's wall-clock time is its share of one core. With --viewers N the run is made twice, alone
and then serving the live view to N viewers of its event stream, who note when each row reaches
them (latency as for standard output); the second run's CPU is given against the first's.

Usage: locate_live.py IAASSL_LOCATE RECORDING.wav [--viewers N] [extra iaassl_locate options]
"""
import http.client
import json
import os
import re
import statistics
import subprocess
import sys
import threading
import time
import wave

FRAME = 128


def percentiles(values):
    values = sorted(values)
    return (f"median {statistics.median(values):.2f}, "
            f"95% {values[int(0.95 * (len(values) - 1))]:.2f}, max {values[-1]:.2f}")


def watch(port, arrivals):
    """A viewer: notes when each row of the event stream reaches it."""
    conn = http.client.HTTPConnection("127.0.0.1", port)
    conn.request("GET", "/events")
    response = conn.getresponse()
    for line in response:
        if line.startswith(b"data: ") and b'"time_s"' in line:
            arrivals.append(time.monotonic())


def measure(locate, samples, rate, channels, extra, viewers):
    frames_per_row = 1 if "delays" in extra else 32
    frame_bytes = FRAME * channels * 2
    frames = len(samples) // frame_bytes
    serve = ["--serve", "127.0.0.1:0"] if viewers else []
    proc = subprocess.Popen([locate, "-", "--raw-rate", str(rate), "--raw-channels", str(channels),
                             "--format", "jsonl", *serve, *extra],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            bufsize=0)
    seen = [[] for _ in range(viewers)]
    watchers = []
    if viewers:
        port = int(re.search(rb":(\d+)/$", proc.stderr.readline().rstrip()).group(1))
        watchers = [threading.Thread(target=watch, args=(port, s)) for s in seen]
        for w in watchers:
            w.start()
        time.sleep(0.5)
    # The feeder is a process of its own, so that the reader never waits for it; both read the
    # same monotonic clock.
    times_r, times_w = os.pipe()
    started = time.monotonic()
    feeder = os.fork()
    if feeder == 0:
        os.close(times_r)
        proc.stdout.close()
        done = []
        for f in range(frames):
            delay = started + (f + 1) * FRAME / rate - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            if (f + 1) % frames_per_row == 0:
                done.append(time.monotonic())
            proc.stdin.write(samples[f * frame_bytes:(f + 1) * frame_bytes])
        proc.stdin.close()
        os.write(times_w, json.dumps(done).encode())
        os._exit(0)
    os.close(times_w)
    proc.stdin.close()
    arrivals = []
    for line in proc.stdout:
        arrivals.append(time.monotonic())
        json.loads(line)
    with os.fdopen(times_r) as f:
        window_done = json.load(f)
    os.waitpid(feeder, 0)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - started
    for w in watchers:
        w.join()
    cpu = usage.ru_utime + usage.ru_stime
    print(f"{viewers} viewers: {len(arrivals)} rows of {channels} channels at {rate} Hz over "
          f"{wall:.1f} s (exit {os.waitstatus_to_exitcode(status)})")
    print(f"  latency ms: {percentiles([(arrivals[i] - window_done[i]) * 1000 for i in range(len(arrivals))])}")
    for v, times in enumerate(seen):
        rows = len(times)
        print(f"  viewer {v}: {rows} rows, latency ms: "
              f"{percentiles([(times[i] - window_done[i]) * 1000 for i in range(rows)])}")
    print(f"  CPU: {cpu:.2f} s in {wall:.1f} s = {100 * cpu / wall:.2f}% of one core")
    return cpu / wall


def main():
    args = sys.argv[1:]
    viewers = 0
    if "--viewers" in args:
        at = args.index("--viewers")
        viewers = int(args[at + 1])
        del args[at:at + 2]
    locate, recording, extra = args[0], args[1], args[2:]
    with wave.open(recording) as w:
        rate, channels = w.getframerate(), w.getnchannels()
        samples = w.readframes(w.getnframes())
    alone = measure(locate, samples, rate, channels, extra, 0)
    if viewers:
        served = measure(locate, samples, rate, channels, extra, viewers)
        print(f"CPU with {viewers} viewers / alone: {served / alone:.2f}")


if __name__ == "__main__":
    main()
