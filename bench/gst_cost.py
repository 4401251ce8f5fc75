#!/usr/bin/python3
"""What iaassllocate costs on top of the library, and how soon its messages follow the audio.

1. CPU seconds per hour of 4-microphone 16 kHz audio, from the same run on the same recording:
   `filesrc ! wavparse ! iaassllocate ! fakesink` (and the same pipeline without the element) against
   `iaassl_locate`, as the CPU time of each child process scaled to an hour of audio.
2. In a live pipeline fed the same recording in real time (appsrc, 10 ms buffers, each pushed when
   its last sample would be captured), the delay from the moment a window's last sample is in (its running time plus its duration, on the pipeline's
   clock) to the moment its message is taken off the bus.

Usage: GST_PLUGIN_PATH=build/gst gst_cost.py IAASSL_LOCATE IAASSL_SIMULATE [MINUTES] [LIVE_SECONDS]
"""
import itertools
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import threading
import wave

import gi
gi.require_version("Gst", "1.0")
from gi.repository import Gst

RUNS = 3
RATE = 16000
BUFFER_SAMPLES = RATE // 100
WINDOW_SAMPLES = 32 * 128


def child_cpu_seconds(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime


def cost_per_hour(recording, minutes, locate):
    pipeline = f"filesrc location={recording} ! wavparse".split()
    commands = {
        "iaassl_locate": [locate, recording, "--format", "jsonl"],
        "filesrc ! wavparse ! iaassllocate ! fakesink": ["gst-launch-1.0", "-q", *pipeline, "!", "iaassllocate", "!",
                                                          "fakesink"],
        "filesrc ! wavparse ! fakesink (no element)": ["gst-launch-1.0", "-q", *pipeline, "!", "fakesink"],
    }
    # Interleaved runs, the least of each: the machine is shared.
    seconds = {name: [] for name in commands}
    for _ in range(RUNS):
        for name, command in commands.items():
            seconds[name].append(child_cpu_seconds(command))
    per_hour = {name: min(s) * 60 / minutes for name, s in seconds.items()}
    for name, cost in per_hour.items():
        print(f"  {name:46s} {cost:7.1f} CPU s per hour of audio")
    element, tool = per_hour["filesrc ! wavparse ! iaassllocate ! fakesink"], per_hour["iaassl_locate"]
    print(f"  pipeline / tool: {element / tool:.3f} ({100 * (element / tool - 1):+.1f} %)")


def feed_in_real_time(pipeline, source, recording, stop):
    """Pushes 10 ms buffers each at the moment its last sample would be captured, as a device does."""
    clock, base = pipeline.get_clock(), pipeline.get_base_time()
    with wave.open(recording) as w:
        samples = BUFFER_SAMPLES
        for index in itertools.count():
            data = w.readframes(samples)
            if len(data) < samples * 8 or stop.is_set():
                break
            start = index * samples * Gst.SECOND // RATE
            end = (index + 1) * samples * Gst.SECOND // RATE
            Gst.Clock.id_wait(clock.new_single_shot_id(base + end))
            buffer = Gst.Buffer.new_wrapped(data)
            buffer.pts, buffer.duration = start, end - start
            source.emit("push-buffer", buffer)


def live_delays(recording, seconds):
    pipeline = Gst.parse_launch(
        "appsrc name=source is-live=true format=time "
        f"caps=audio/x-raw,format=S16LE,layout=interleaved,channels=4,rate={RATE},channel-mask=(bitmask)0 "
        "! iaassllocate ! fakesink")
    bus = pipeline.get_bus()
    # A live pipeline has its base time once asked to play; it reaches PLAYING with the first buffer.
    pipeline.set_state(Gst.State.PLAYING)
    stop = threading.Event()
    feeder = threading.Thread(target=feed_in_real_time,
                              args=(pipeline, pipeline.get_by_name("source"), recording, stop))
    feeder.start()
    delays_ms, after_buffer_ms = [], []
    buffer_duration = BUFFER_SAMPLES * Gst.SECOND // RATE
    wanted = Gst.MessageType.ELEMENT | Gst.MessageType.ERROR
    while len(delays_ms) < seconds * RATE // WINDOW_SAMPLES:
        message = bus.timed_pop_filtered(Gst.CLOCK_TIME_NONE, wanted)
        now = pipeline.get_clock().get_time() - pipeline.get_base_time()
        if message.type == Gst.MessageType.ERROR:
            raise SystemExit(message.parse_error()[0].message)
        s = message.get_structure()
        if s.get_name() == "iaassl-direction":
            last_sample_in = s.get_value("running-time") + s.get_value("duration")
            delays_ms.append((now - last_sample_in) / Gst.MSECOND)
            # The buffer holding the window's last sample is pushed only when it is full.
            buffer_in = -(-last_sample_in // buffer_duration) * buffer_duration
            after_buffer_ms.append((now - buffer_in) / Gst.MSECOND)
    stop.set()
    feeder.join()
    pipeline.set_state(Gst.State.NULL)
    print(f"  {len(delays_ms)} windows of {WINDOW_SAMPLES * 1000 // RATE} ms, from the last sample: {spread(delays_ms)}")
    print(f"  from the push of the 10 ms buffer that holds it: {spread(after_buffer_ms)}")


def spread(values):
    values = sorted(values)
    return (f"median {statistics.median(values):.2f} ms, 95% {values[int(0.95 * (len(values) - 1))]:.2f} ms, "
            f"max {values[-1]:.2f} ms")


def main():
    locate, simulate = sys.argv[1], sys.argv[2]
    minutes = float(sys.argv[3]) if len(sys.argv) > 3 else 10
    live_seconds = int(sys.argv[4]) if len(sys.argv) > 4 else 20
    Gst.init(None)
    with tempfile.TemporaryDirectory() as work:
        recording = os.path.join(work, "scene.wav")
        subprocess.run([simulate, "-o", recording, "--mics", "4", "--spacing", "5", "--angle", "-70",
                        "--angle-end", "70", "--duration", str(minutes * 60), "--snr", "20"], check=True)
        print(f"CPU cost, {minutes:g} min of 4-microphone 16 kHz audio, least of {RUNS} runs:")
        cost_per_hour(recording, minutes, locate)
        print(f"Delay from a window's last sample to its message on the bus, live, {live_seconds} s:")
        live_delays(recording, live_seconds)


if __name__ == "__main__":
    main()
