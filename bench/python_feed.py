#!/usr/bin/env python3
"""Seconds per hour of 4-microphone 16 kHz audio through the Python module's Localiser.feed in
10 ms chunks, and through iaassl.locate, against iaassl_locate on the same recording in the same run, and the speed-up of
two Localisers in two threads over one.

A simulated minute is repeated into a recording of --minutes; the tool reads it from the file,
the module is fed it from memory. Each figure is the best of --runs, as other work on the
machine only ever adds time. The tool and the module alone are timed in CPU seconds, which other
work on a shared machine disturbs less than the clock; the threads' speed-up is wall-clock time.

Usage: PYTHONPATH=build/python python_feed.py build/tools/iaassl_locate build/tools/iaassl_simulate
       [--minutes M] [--runs N]
"""
import argparse
import os
import resource
import subprocess
import tempfile
import threading
import time
import wave

import numpy as np

import iaassl

RATE = 16000
CHUNK = RATE // 100  # 10 ms


def make_recording(simulate, folder, minutes):
    minute = os.path.join(folder, "minute.wav")
    subprocess.run([simulate, "-o", minute, "--mics", "4", "--spacing", "5", "--angle", "-70",
                    "--angle-end", "70", "--duration", "60", "--room", "6", "5", "3", "--snr", "20"],
                   check=True, capture_output=True)
    with wave.open(minute) as w:
        one = np.frombuffer(w.readframes(w.getnframes()), "<i2").reshape(-1, 4)
    samples = np.tile(one, (minutes, 1))
    path = os.path.join(folder, "scene.wav")
    with wave.open(path, "wb") as w:
        w.setnchannels(4), w.setsampwidth(2), w.setframerate(RATE)
        w.writeframes(samples.tobytes())
    return path, samples


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def tool_seconds(locate, path):
    start = children_cpu()
    subprocess.run([locate, path, "--format", "jsonl"], check=True, stdout=subprocess.DEVNULL)
    return children_cpu() - start


def locate_seconds(path):
    start = time.process_time()
    iaassl.locate(path, spacing_cm=5)
    return time.process_time() - start


def feed_all(samples):
    loc = iaassl.Localiser(channels=4, rate=RATE, spacing_cm=5)
    for i in range(0, len(samples), CHUNK):
        loc.feed(samples[i:i + CHUNK])


def feed_cpu_seconds(samples):
    start = time.process_time()
    feed_all(samples)
    return time.process_time() - start


def feed_seconds(samples, threads):
    workers = [threading.Thread(target=feed_all, args=(samples,)) for _ in range(threads)]
    start = time.perf_counter()
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("locate")
    parser.add_argument("simulate")
    parser.add_argument("--minutes", type=int, default=10)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        path, samples = make_recording(args.simulate, folder, args.minutes)
        per_hour = 60.0 / args.minutes
        tool, whole, fed, one, two = (min(measure() for _ in range(args.runs)) for measure in (
            lambda: tool_seconds(args.locate, path),
            lambda: locate_seconds(path),
            lambda: feed_cpu_seconds(samples),
            lambda: feed_seconds(samples, 1),
            lambda: feed_seconds(samples, 2)))
    print(f"audio: {args.minutes} min of 4 channels at {RATE} Hz, best of {args.runs} runs, {os.cpu_count()} cores")
    print(f"iaassl_locate:           {tool * per_hour:7.2f} CPU s per hour of audio")
    print(f"iaassl.locate:           {whole * per_hour:7.2f} CPU s per hour ({100 * (whole / tool - 1):+.1f} % against the tool)")
    print(f"Localiser.feed, 10 ms:   {fed * per_hour:7.2f} CPU s per hour ({100 * (fed / tool - 1):+.1f} % against the tool)")
    print(f"one thread, one hour:    {one * per_hour:7.2f} s wall-clock")
    print(f"two threads, two hours:  {two * per_hour:7.2f} s wall-clock (speed-up {2 * one / two:.2f} over one thread)")


if __name__ == "__main__":
    main()
