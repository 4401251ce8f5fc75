#!/usr/bin/env python3
"""Latency and CPU share of iaassl_locate on a live stream.

A feeder plays a recording into the tool's standard input in real time, one 128-sample frame per
frame period as a capture device would deliver it, and notes when it starts to write the last
frame of each window. The reader notes when that window's row arrives. The tool's CPU time over
the run's wall-clock time is its share of one core.

Usage: locate_live.py IAASSL_LOCATE RECORDING.wav [extra iaassl_locate options]
"""
import json
import os
import statistics
import subprocess
import sys
import time
import wave

FRAME = 128


def main():
    locate, recording, extra = sys.argv[1], sys.argv[2], sys.argv[3:]
    with wave.open(recording) as w:
        rate, channels = w.getframerate(), w.getnchannels()
        samples = w.readframes(w.getnframes())
    frames_per_row = 1 if "delays" in extra else 32
    frame_bytes = FRAME * channels * 2
    frames = len(samples) // frame_bytes
    proc = subprocess.Popen([locate, "-", "--raw-rate", str(rate), "--raw-channels", str(channels),
                             "--format", "jsonl", *extra],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)
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
    latencies = sorted((arrivals[i] - window_done[i]) * 1000 for i in range(len(arrivals)))
    cpu = usage.ru_utime + usage.ru_stime
    print(f"{len(arrivals)} rows of {channels} channels at {rate} Hz over {wall:.1f} s "
          f"(exit {os.waitstatus_to_exitcode(status)})")
    print(f"latency ms: median {statistics.median(latencies):.2f}, "
          f"95% {latencies[int(0.95 * (len(latencies) - 1))]:.2f}, max {latencies[-1]:.2f}")
    print(f"CPU: {cpu:.2f} s in {wall:.1f} s = {100 * cpu / wall:.2f}% of one core")


if __name__ == "__main__":
    main()
