"""iaassllocate against iaassl_locate: a recording gives the same rows through a pipeline as through
the tool, on every array, in both modes, with talkers, across a discontinuity; the README's Python example runs."""
import json
import os
import re
import subprocess
import tempfile
import unittest
import wave

LOCATE = os.environ["IAASSL_LOCATE"]
SIMULATE = os.environ["IAASSL_SIMULATE"]
# A cross build runs the tools under the emulator CTest names, and gst-launch-1.0 under its own.
EMULATOR = os.environ.get("IAASSL_EMULATOR", "").split()
GST_LAUNCH = os.environ.get("IAASSL_GST_LAUNCH", "gst-launch-1.0").split()
SOURCE_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
EXAMPLE = os.path.join(SOURCE_DIR, "gst", "examples", "print_directions.py")
# gst-launch-1.0 -m prints each element message as its structure.
MESSAGE = re.compile(r"\(element\): (iaassl-direction|iaassl-delays|iaassl-talkers), (.*);$")
FIELD = re.compile(r"([a-z-]+)=\(([A-Za-z0-9]+)\)(<[^>]*>|[^,]+)")
TIMES = ("timestamp", "stream-time", "running-time", "duration")
# A GValueArray's items come without their type: the field says it.
TALKER_VALUES = {"ids": "int", "angles": "double", "speaking": "boolean"}
ARRAYS = [("4 on a line", 4, "linear", 16000), ("4 on a circle", 4, "circular", 16000),
          ("2 on a line", 2, "linear", 8000)]


def run(command):
    result = subprocess.run(command, capture_output=True, text=True, timeout=300)
    if result.returncode != 0:
        raise AssertionError(f"{command} failed ({result.returncode}): {result.stderr}")
    return result.stdout


def wave_samples(path):
    with wave.open(path) as w:
        return w.readframes(w.getnframes())


def tool_rows(recording, *options):
    out = run(EMULATOR + [LOCATE, recording, "--format", "jsonl", *options])
    return [json.loads(line) for line in out.splitlines()]


def field_value(kind, text):
    if text.startswith("<"):
        return [field_value(kind, item.strip()) for item in text.strip("<>").split(",") if item.strip()]
    return {"guint64": int, "int": int, "double": float, "string": str, "boolean": lambda t: t == "true"}[kind](text)


def talkers(fields):
    """An iaassl-talkers message's parallel arrays as the tool's talkers."""
    ids, angles, speaking = (fields[f] for f in TALKER_VALUES)
    assert len(ids) == len(angles) == len(speaking), fields
    return [{"id": i, "angle": a, "speaking": s} for i, a, s in zip(ids, angles, speaking)]


def as_tool_row(fields):
    """An element message as the tool writes the same window."""
    row = {"time_s": fields["timestamp"] / 1e9}
    if "outcome" in fields:
        row.update(outcome=fields["outcome"], angle=fields.get("angle"))
    else:
        for pair, (delay, rejected) in enumerate(zip(fields["delays"], fields["rejected"]), 1):
            row[f"delay_0_{pair}"] = None if rejected else delay
    return row


def element_messages(pipeline):
    out = run(GST_LAUNCH + ["-m"] + pipeline.split())
    return [(m.group(1), {k: field_value(TALKER_VALUES.get(k, kind), v) for k, kind, v in FIELD.findall(m.group(2))})
            for m in map(MESSAGE.search, out.splitlines()) if m]


def element_rows(pipeline):
    """The rows the element's messages tell of; without tracking there must be no talkers message."""
    messages = element_messages(pipeline)
    assert all(name != "iaassl-talkers" for name, _ in messages), "talkers without tracking"
    return [as_tool_row(fields) for _, fields in messages]


class SameRowsAsTheTool(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def simulate(self, name, mics, geometry, rate, *sources):
        path = os.path.join(self.dir.name, name)
        run(EMULATOR + [SIMULATE, "-o", path, "--mics", str(mics), "--geometry", geometry, "--spacing", "5",
                        "--rate", str(rate), *sources, "--snr", "20", "--seed", str(mics)])
        return path

    def scene(self, name, mics, geometry, rate, angle):
        return self.simulate(name, mics, geometry, rate, "--angle", str(angle), "--angle-end", str(angle + 100),
                             "--duration", "6")

    def assert_same_rows(self, got, want):
        self.assertGreater(len(want), 10)
        self.assertEqual(len(got), len(want))
        for g, w in zip(got, want):
            self.assertAlmostEqual(g.pop("time_s"), w.pop("time_s"), delta=1e-9)
            self.assertEqual(g, w)

    def test_every_array_in_both_modes(self):
        for name, mics, geometry, rate in ARRAYS:
            recording = self.scene("scene.wav", mics, geometry, rate, -50)
            for mode in ("direction", "delays"):
                with self.subTest(array=name, mode=mode):
                    got = element_rows(f"filesrc location={recording} ! wavparse ! iaassllocate "
                                       f"geometry={geometry} mode={mode} ! fakesink")
                    self.assert_same_rows(got, tool_rows(recording, "--geometry", geometry, "--mode", mode))

    def test_a_discontinuity_starts_afresh(self):
        # 8 kHz: wavparse's 40 ms buffers hold 320 samples, 2.5 frames. The second recording
        # follows with a DISCONT and its own timestamps from 0; the first one's last partial
        # window is dropped.
        first = self.scene("first.wav", 2, "linear", 8000, -80)
        second = self.scene("second.wav", 2, "linear", 8000, 0)
        sources = f"filesrc location={first} ! wavparse ! c. filesrc location={second} ! wavparse ! c."
        got = element_rows(f"concat name=c ! iaassllocate frames=12 ! fakesink {sources}")
        self.assert_same_rows(got, tool_rows(first, "--frames", "12") + tool_rows(second, "--frames", "12"))
        # The library, started again at the break, says nothing on the pipeline's standard output:
        # its notes, the version at each start among them, are in the element's debug log.
        launched = subprocess.run(GST_LAUNCH + ["-q"] + f"concat name=c ! iaassllocate ! fdsink fd=1 {sources}".split(),
                                  capture_output=True, timeout=300, check=True,
                                  env=dict(os.environ, GST_DEBUG="iaassllocate:5", GST_DEBUG_NO_COLOR="1"))
        self.assertEqual(launched.stdout, b"".join(wave_samples(path) for path in (first, second)))
        versions = re.findall(rb" DEBUG +iaassllocate .*<iaassllocate0> \[ALGO_MSG_MSG\] \[SSL\] ver\.\S+\n",
                              launched.stderr)
        self.assertEqual(len(versions), 2, launched.stderr)

    def test_talkers_after_each_direction(self):
        for name, mics, geometry, rate in ARRAYS:
            # Turns after a silence, so that the tracker hears each talker start.
            recording = self.simulate("meeting.wav", mics, geometry, rate, "--talker", "noise", "-50", "1-3,6-7",
                                      "--talker", "noise", "30", "3.5-5.5")
            with self.subTest(array=name):
                messages = element_messages(f"filesrc location={recording} ! wavparse ! iaassllocate "
                                            f"geometry={geometry} track=true forget=2 max-talkers=2 ! fakesink")
                want = tool_rows(recording, "--geometry", geometry, "--track", "--forget", "2", "--max-talkers", "2")
                self.assertEqual([n for n, _ in messages], ["iaassl-direction", "iaassl-talkers"] * len(want))
                for (_, direction), (_, told), row in zip(messages[0::2], messages[1::2], want):
                    self.assertEqual([told[t] for t in TIMES], [direction[t] for t in TIMES])
                    self.assertEqual(talkers(told), row["talkers"])

    def test_tracking_needs_direction_mode(self):
        recording = self.scene("scene.wav", 4, "linear", 16000, -50)
        with self.assertRaisesRegex(AssertionError, "tracking talkers needs the direction mode"):
            element_messages(f"filesrc location={recording} ! wavparse ! iaassllocate track=true mode=delays "
                             "! fakesink")

    @unittest.skipIf(EMULATOR, "the host's Python cannot load the plugin of another architecture")
    def test_readme_example(self):
        with open(os.path.join(SOURCE_DIR, "README.md")) as readme, open(EXAMPLE) as example:
            self.assertTrue(f"```python\n{example.read()}```" in readme.read(), "README shows another example")
        recording = self.scene("scene.wav", 4, "linear", 16000, -50)
        # The example's lines of directions, whatever else it prints.
        printed = [line.split() for line in run(["/usr/bin/python3", EXAMPLE, recording]).splitlines()
                   if re.match(r"\d+\.\d{3} s ", line)]
        want = [[f"{r['time_s']:.3f}", "s", r["outcome"]] + ([str(r["angle"])] if r["angle"] is not None else [])
                for r in tool_rows(recording)]
        self.assertEqual(printed, want)


if __name__ == "__main__":
    unittest.main()
