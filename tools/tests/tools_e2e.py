"""The tools end to end: scenes simulated, located, checked against their truth; every output
form parsed; every bad input refused with one line; live inputs (standard input, an ALSA PCM
reading a file) streamed row by row."""
import csv
import io
import json
import math
import os
import pty
import random
import re
import select
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import wave

LOCATE = os.environ["IAASSL_LOCATE"]
SIMULATE = os.environ["IAASSL_SIMULATE"]
PLOT = os.environ["IAASSL_PLOT"]
OUTCOMES = {"angle", "below_gate", "no_direction", "delay_too_large"}
RATES = ("8000", "16000", "32000", "48000")
# A cross-built tool runs under the emulator that CTest names; on the host there is none.
EMULATOR = os.environ.get("IAASSL_EMULATOR", "").split()
XRUN_PRELOAD = os.environ.get("IAASSL_XRUN_PRELOAD", "")
WINDOW = 32 * 128
# ALSA PCMs for the tests: one reading a recording through the file plugin, as a capture device
# would deliver it, and two that cannot give 4 channels at 16 kHz.
ASOUNDRC = """
pcm.scene {{ type file; slave.pcm "null"; file "/dev/null"; infile "{raw}"; format "raw" }}
pcm.two {{ type multi; slaves.a {{ pcm "null"; channels 2 }}
          bindings {{ 0 {{ slave a; channel 0 }} 1 {{ slave a; channel 1 }} }} }}
pcm.r48 {{ type plug; slave {{ pcm "null"; rate 48000 }} }}
"""


def run(*args, check=True, env=None):
    command = [str(a) for a in args]
    if command[0] in (LOCATE, SIMULATE):
        command = EMULATOR + command
    result = subprocess.run(command, capture_output=True, text=True, timeout=300, env=env)
    if check and result.returncode != 0:
        raise AssertionError(f"{args} failed ({result.returncode}): {result.stderr}")
    return result


def write_wav(path, channels, rate, frames, sample):
    with wave.open(str(path), "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", sample(i)) for i in range(frames * channels)))


def write_silence(path, channels, rate, frames):
    with wave.open(str(path), "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        # A second at a time: this process's own size is the floor of its children's peaks.
        second = bytes(2 * channels * rate)
        for _ in range(frames // rate):
            w.writeframes(second)


def read_wav_floats(path):
    """The 16-bit samples of a WAV file, on the -1..1 scale, and its layout."""
    with wave.open(str(path)) as w:
        frames = w.readframes(w.getnframes())
        layout = (w.getnchannels(), w.getframerate())
    return [v / 32768 for v in struct.unpack(f"<{len(frames) // 2}h", frames)], layout


def write_float_wav(path, layout, samples, bits=32):
    """IEEE float samples, written as they are: nothing checks or scales them."""
    channels, rate = layout
    data = struct.pack(f"<{len(samples)}{'f' if bits == 32 else 'd'}", *samples)
    block = channels * bits // 8
    fmt = struct.pack("<HHIIHH", 3, channels, rate, rate * block, block, bits)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)))
        f.write(data)


def flac_of_unknown_length(flac):
    """The FLAC file with the total sample count of its STREAMINFO, and its MD5, set to 0."""
    data = bytearray(flac)
    # After "fLaC" and the block header: 10 bytes of sizes, then 20 bits of rate, 3 of channels,
    # 5 of bits per sample and 36 of total samples, then the MD5 of 16 bytes.
    count_at = 4 + 4 + 10 + 3
    data[count_at] &= 0xF0
    data[count_at + 1:count_at + 5 + 16] = bytes(4 + 16)
    return bytes(data)


def csv_rows(text):
    return list(csv.DictReader(io.StringIO(text)))


# Two talkers taking three turns in a room, each turn after a silence.
MEETING = ["--room", 6, 5, 3, "--absorption", 0.6, "--snr", 30,
           "--talker", "noise", -50, "0.5-2.5,5-6.5", "--talker", "noise", 30, "3-4.5"]


def talkers_of_cell(text):
    """(id, angle, speaking) of each talker in a CSV or table cell: "1:-49.6* 2:30.0"."""
    items = [re.fullmatch(r"(\d+):(-?\d+\.\d)(\*?)", item) for item in text.split()]
    assert all(items), text
    return [(int(m[1]), float(m[2]), m[3] == "*") for m in items]


def talkers_of_object(o):
    return [(t["id"], t["angle"], t["speaking"]) for t in o["talkers"]]


def locate_command(*args):
    return EMULATOR + [LOCATE] + [str(a) for a in args]


def simulate_command(*args):
    return EMULATOR + [SIMULATE] + [str(a) for a in args]


def peak_memory_kib(command, succeed=True):
    """Peak resident memory of one run of the command, its output thrown away."""
    # The address sanitizer holds freed memory back in a quarantine of 256 MB: its peak would
    # follow what a run freed, not what it held.
    env = dict(os.environ, ASAN_OPTIONS="quarantine_size_mb=1")
    proc = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    _, status, usage = os.wait4(proc.pid, 0)
    proc.returncode = os.waitstatus_to_exitcode(status)
    assert (proc.returncode == 0) == succeed, proc.stderr.read()
    proc.stderr.close()
    return usage.ru_maxrss


class ToolTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name

    def tearDown(self):
        self.tmp.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)

    def scene(self, name, *args):
        out = self.path(name)
        run(SIMULATE, "-o", out, *args)
        return out

    def locate_csv(self, recording, *args):
        return csv_rows(run(LOCATE, recording, "--format", "csv", *args).stdout)

    def assert_refused(self, args, *words, env=None):
        result = run(LOCATE, *args, check=False, env=env)
        self.assertGreater(result.returncode, 0, result)
        self.assertEqual(result.stdout, "")
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
        self.assertTrue(result.stderr.startswith("iaassl_locate: "), result.stderr)
        for word in words:
            self.assertIn(word, result.stderr)


class Accuracy(ToolTest):
    def assert_angles(self, rows, truth, tolerance):
        self.assertTrue(rows)
        for row in rows:
            self.assertEqual(row["outcome"], "angle", row)
            self.assertLessEqual(abs(int(row["angle"]) - truth), tolerance, row)

    def test_fixed_sources_on_every_array(self):
        cases = [
            (["--mics", "4"], [], (-70, -45, -20, 0, 30, 60), 6),
            (["--mics", "2"], [], (-60, -30, 0, 20, 45), 6),
            (["--geometry", "circular", "--spacing", "10"], ["--geometry", "circular", "--spacing", "10"],
             (-80, 0, 45, 100, 180, 250), 4),
        ]
        for scene_args, locate_args, angles, tolerance in cases:
            for angle in angles:
                with self.subTest(scene=scene_args, angle=angle):
                    wav = self.scene("fixed.wav", *scene_args, "--angle", angle, "--duration", 1.5,
                                     "--snr", 20, "--seed", angle + 100)
                    self.assert_angles(self.locate_csv(wav, *locate_args), angle, tolerance)

    def test_every_supported_rate_and_temperature(self):
        for rate in RATES:
            for temperature in ("-10", "40"):
                with self.subTest(rate=rate, temperature=temperature):
                    wav = self.scene("rate.wav", "--rate", rate, "--angle", -35, "--duration", 1.5,
                                     "--temperature", temperature, "--snr", 25)
                    rows = self.locate_csv(wav, "--temperature", temperature)
                    self.assert_angles(rows, -35, 6)

    def test_moving_source_in_a_reverberant_room_follows_the_truth(self):
        truth_file = self.path("truth.csv")
        wav = self.scene("moving.wav", "--angle", -60, "--angle-end", 60, "--duration", 5,
                         "--room", 6, 5, 3, "--absorption", 0.6, "--snr", 25, "--truth", truth_file)
        with open(truth_file) as f:
            truth = [(float(r["time_s"]), float(r["angle"])) for r in csv.DictReader(f)]
        self.assertAlmostEqual(truth[0][1], -60)
        self.assertAlmostEqual(truth[-1][1], 60)
        rows = self.locate_csv(wav)
        window = 32 * 128 / 16000
        errors = []
        for row in rows:
            if row["outcome"] != "angle":
                continue
            middle = float(row["time_s"]) + window / 2
            expected = min(truth, key=lambda t: abs(t[0] - middle))[1]
            errors.append(abs(int(row["angle"]) - expected))
        self.assertGreaterEqual(len(errors), 0.9 * len(rows))
        errors.sort()
        self.assertLessEqual(errors[len(errors) // 2], 5)
        self.assertLessEqual(errors[-1], 12)

    def test_float_and_flac_recordings_read_like_16_bit_ones(self):
        common = ["--angle", 25, "--duration", 1.5, "--snr", 30]
        pcm = self.locate_csv(self.scene("pcm.wav", *common))
        for name, extra in (("float.wav", ["--float"]), ("lossless.flac", [])):
            with self.subTest(name):
                rows = self.locate_csv(self.scene(name, *common, *extra))
                self.assertEqual([r["outcome"] for r in rows], [r["outcome"] for r in pcm])
                for a, b in zip(rows, pcm):
                    self.assertLessEqual(abs(int(a["angle"]) - int(b["angle"])), 1)

    def test_float_input_is_full_scale_from_minus_one_to_one(self):
        pcm = self.scene("pcm.wav", "--angle", 25, "--duration", 1.5, "--snr", 30)
        samples, layout = read_wav_floats(pcm)
        expected = run(LOCATE, pcm, "--format", "csv").stdout
        for bits in (32, 64):
            with self.subTest(bits=bits):
                same = self.path(f"same{bits}.wav")
                write_float_wav(same, layout, samples, bits)
                self.assertEqual(run(LOCATE, same, "--format", "csv").stdout, expected)
                # A pipe cannot be searched for a peak beforehand; nor need it be.
                with open(same, "rb") as f:
                    piped = subprocess.run([*EMULATOR, LOCATE, "/dev/stdin", "--format", "csv"],
                                           stdin=f, capture_output=True, text=True, timeout=300)
                self.assertEqual((piped.returncode, piped.stdout), (0, expected), piped.stderr)
        quiet = self.path("quiet.wav")
        write_float_wav(quiet, layout, [v * 1e-6 for v in samples])
        self.assertEqual({r["outcome"] for r in self.locate_csv(quiet, "--gate", -20)}, {"below_gate"})
        # Beyond full scale clips and NaN is silence: a few such samples leave the rest as they were.
        spiked = list(samples)
        spiked[1000:1003] = [math.inf, 1e38, math.nan]
        wild = self.path("wild.wav")
        write_float_wav(wild, layout, spiked)
        rows = self.locate_csv(wild)
        self.assertEqual([r["outcome"] for r in rows], [r["outcome"] for r in csv_rows(expected)])
        for a, b in zip(rows, csv_rows(expected)):
            self.assertLessEqual(abs(int(a["angle"]) - int(b["angle"])), 1)


class Meeting(ToolTest):
    def frames(self, wav):
        samples, (channels, rate) = read_wav_floats(wav)
        return [samples[i:i + channels] for i in range(0, len(samples), channels)], rate

    def assert_lag(self, frames, rate, start, end, angle):
        """Microphone 3 hears what microphone 0 heard its spacing's delay at `angle` later."""
        first, last = int(start * rate), int(end * rate)
        lags = range(-8, 9)
        best = max(lags, key=lambda lag: sum(f[0] * frames[n + lag][3] for n, f in
                                             enumerate(frames[first:last], first)))
        expected = 0.15 * math.sin(math.radians(angle)) / (331 + 0.6 * 25) * rate
        self.assertLessEqual(abs(best - expected), 1, (start, angle))

    def power(self, frames, rate, start, end):
        return sum(v * v for f in frames[int(start * rate):int(end * rate)] for v in f)

    def test_each_talker_is_heard_from_its_angle_in_its_intervals_only(self):
        truth = self.path("truth.csv")
        wav = self.scene("meeting.wav", "--talker", "noise", -50, "0.1-0.5,1.5-2",
                         "--talker", "noise", 30, "0.6-1.4", "--truth", truth)
        frames, rate = self.frames(wav)
        self.assertEqual(len(frames), 2 * rate)
        for start, end, angle in ((0.15, 0.45, -50), (0.65, 1.35, 30), (1.55, 1.95, -50)):
            self.assert_lag(frames, rate, start, end, angle)
        for start, end in ((0, 0.09), (0.52, 0.58), (1.42, 1.48)):
            self.assertEqual(self.power(frames, rate, start, end), 0, (start, end))
        with open(truth) as f:
            self.assertEqual(f.read(), "talker,start_s,end_s,angle\n1,0.100,0.500,-50.000\n"
                             "2,0.600,1.400,30.000\n1,1.500,2.000,-50.000\n")
        # Rows that start together go by talker; angles as the array reports them.
        self.scene("circle.wav", "--geometry", "circular", "--spacing", 10, "--talker", "noise",
                   300, "0-1", "--talker", "noise", 200, "0-0.5,1-1.25", "--truth", truth)
        with open(truth) as f:
            self.assertEqual([(r["talker"], r["start_s"], r["angle"]) for r in csv.DictReader(f)],
                             [("1", "0.000", "-60.000"), ("2", "0.000", "200.000"),
                              ("2", "1.000", "200.000")])

    def test_noise_source_lies_its_snr_below_the_talkers_throughout(self):
        wav = self.scene("fan.wav", "--talker", "noise", 30, "0-1", "--duration", 2,
                         "--noise-source", -60, 10)
        frames, rate = self.frames(wav)
        fan = self.power(frames, rate, 1, 2)
        self.assertAlmostEqual(10 * math.log10(self.power(frames, rate, 0, 1) / fan - 1), 10,
                               delta=0.5)
        self.assert_lag(frames, rate, 1.2, 1.8, -60)


class Output(ToolTest):
    def test_csv_json_and_table_hold_every_window(self):
        wav = self.scene("out.wav", "--angle", 10, "--duration", 2.1, "--rate", 8000)
        samples = int(2.1 * 8000)
        for frames in (32, 10):
            with self.subTest(frames=frames):
                text = run(LOCATE, wav, "--format", "csv", "--frames", frames).stdout
                self.assertEqual(text.splitlines()[0], "time_s,outcome,angle")
                rows = csv_rows(text)
                self.assertEqual(len(rows), samples // (frames * 128))
                for i, row in enumerate(rows):
                    self.assertAlmostEqual(float(row["time_s"]), i * frames * 128 / 8000, places=6)
                    self.assertIn(row["outcome"], OUTCOMES)
                    self.assertEqual(row["angle"] != "", row["outcome"] == "angle")
                data = json.loads(run(LOCATE, wav, "--format", "json", "--frames", frames).stdout)
                self.assertEqual(len(data), len(rows))
                for obj, row in zip(data, rows):
                    self.assertEqual(list(obj), ["time_s", "outcome", "angle"])
                    self.assertAlmostEqual(obj["time_s"], float(row["time_s"]), places=6)
                    self.assertEqual(obj["outcome"], row["outcome"])
                    self.assertEqual(obj["angle"], int(row["angle"]) if row["angle"] else None)
                table = run(LOCATE, wav, "--frames", frames).stdout.splitlines()
                self.assertEqual(table[0].split(), ["time_s", "outcome", "angle"])
                self.assertEqual([line.split()[1:] for line in table[1:]],
                                 [[r["outcome"], r["angle"] or "-"] for r in rows])

    def test_every_outcome_word(self):
        silence = self.path("silence.wav")
        write_wav(silence, 2, 16000, 16000, lambda i: 0)
        rng = random.Random(7)
        unrelated = self.path("unrelated.wav")
        write_wav(unrelated, 4, 16000, 16000, lambda i: int(rng.gauss(0, 3000)))
        # The peak sits at the largest lag the told spacing allows, its refinement beyond it.
        endfire = self.scene("endfire.wav", "--mics", 2, "--angle", -90, "--duration", 1)
        loud = self.scene("loud.wav", "--duration", 1)
        cases = [(silence, [], "below_gate"), (loud, ["--gate", "0"], "below_gate"),
                 (unrelated, [], "no_direction"), (endfire, ["--spacing", "3"], "delay_too_large")]
        for wav, args, outcome in cases:
            with self.subTest(outcome=outcome, args=args):
                data = json.loads(run(LOCATE, wav, "--format", "json", *args).stdout)
                self.assertTrue(data)
                self.assertEqual({(o["outcome"], o["angle"]) for o in data}, {(outcome, None)})

    def test_delays_mode_gives_every_frame_the_geometric_delays(self):
        angle, spacing, rate = 40, 0.05, 16000
        for mics in (4, 2):
            with self.subTest(mics=mics):
                wav = self.scene("delays.wav", "--mics", mics, "--angle", angle, "--duration", 0.5,
                                 "--snr", 30)
                text = run(LOCATE, wav, "--mode", "delays", "--format", "csv").stdout
                columns = ["time_s"] + [f"delay_0_{p}" for p in range(1, mics)]
                self.assertEqual(text.splitlines()[0], ",".join(columns))
                rows = csv_rows(text)
                self.assertEqual(len(rows), int(0.5 * rate) // 128)
                # Microphone 0 is nearest to a source at +40 degrees: it hears first.
                for p in range(1, mics):
                    lag = -p * spacing * math.sin(math.radians(angle)) / 346.0 * rate
                    later = [abs(int(r[f"delay_0_{p}"]) - lag) for r in rows[1:]]
                    self.assertLessEqual(max(later), 1.0, p)
                data = json.loads(run(LOCATE, wav, "--mode", "delays", "--format", "json").stdout)
                self.assertEqual([list(o) for o in data], [columns] * len(rows))
                self.assertEqual([[o[c] for c in columns[1:]] for o in data],
                                 [[int(r[c]) for c in columns[1:]] for r in rows])


    def test_tracked_rows_are_the_plain_rows_and_the_same_talkers_in_every_form(self):
        wav = self.scene("meeting.wav", *MEETING)
        plain = {form: run(LOCATE, wav, "--format", form).stdout for form in ("csv", "jsonl", "json", "table")}
        tracked = {form: run(LOCATE, wav, "--track", "--format", form).stdout for form in plain}
        objects = [json.loads(line) for line in tracked["jsonl"].splitlines()]
        talkers = [talkers_of_object(o) for o in objects]
        self.assertTrue(any(talkers))
        for line, o, known in zip(tracked["jsonl"].splitlines(), objects, talkers):
            self.assertEqual((list(o)[-1], known), ("talkers", sorted(known)))
            # Angles always with one decimal, also a whole one.
            self.assertEqual(len(re.findall(r'"angle":-?\d+\.\d,', line)), len(known), line)
        def plain_object(o):
            return {k: v for k, v in o.items() if k != "talkers"}
        self.assertEqual([json.dumps(plain_object(o), separators=(",", ":")) for o in objects],
                         plain["jsonl"].splitlines())
        data = json.loads(tracked["json"])
        self.assertEqual(([plain_object(o) for o in data], [talkers_of_object(o) for o in data]),
                         (json.loads(plain["json"]), talkers))
        self.assertEqual([line.rsplit(",", 1)[0] for line in tracked["csv"].splitlines()], plain["csv"].splitlines())
        self.assertEqual([talkers_of_cell(r["talkers"]) for r in csv_rows(tracked["csv"])], talkers)
        table = tracked["table"].splitlines()
        at = table[0].index("talkers")
        self.assertEqual([line[:at].rstrip() for line in table], plain["table"].splitlines())
        self.assertEqual([talkers_of_cell(line[at:]) for line in table[1:]], talkers)
        # The same samples through a pipe in pieces: the same talkers, after the live stamp.
        with wave.open(wav) as w:
            piped = subprocess.run(locate_command("-", "--raw-rate", 16000, "--raw-channels", 4, "--track",
                                                  "--format", "jsonl"), input=w.readframes(w.getnframes()),
                                   capture_output=True, timeout=300)
        live = [json.loads(line) for line in piped.stdout.splitlines()]
        self.assertEqual([(list(o)[-2:], talkers_of_object(o)) for o in live],
                         [(["capture_time", "talkers"], known) for known in talkers])

    def test_a_result_that_cannot_be_written_is_an_error(self):
        wav = self.scene("full.wav", "--duration", 1)
        for form in ("table", "csv", "json", "jsonl"):
            with self.subTest(form=form), open("/dev/full", "w") as full:
                result = subprocess.run(locate_command(wav, "--format", form), stdout=full,
                                        stderr=subprocess.PIPE, text=True, timeout=300)
                self.assertNotEqual(result.returncode, 0)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertIn("cannot write the results: No space left on device", result.stderr)

    def test_json_memory_stays_flat_with_length(self):
        # Every frame a row: 40 minutes at 8 kHz are 150,000 rows, some 30 MB when held.
        short, long = self.path("short.wav"), self.path("long.wav")
        write_silence(short, 2, 8000, 8000 * 30)
        write_silence(long, 2, 8000, 8000 * 2400)
        peaks = [peak_memory_kib(locate_command(wav, "--mode", "delays", "--format", "json"))
                 for wav in (short, long)]
        self.assertLess(peaks[1] - peaks[0], 4096, peaks)

    def test_simulated_recordings_take_memory_flat_with_their_length(self):
        out = self.path("long.wav")
        one = peak_memory_kib(simulate_command("-o", out, "--duration", 1, "--snr", 20))
        sixty = peak_memory_kib(simulate_command("-o", out, "--duration", 60, "--snr", 20))
        # Held whole, a minute of four channels would take some 30 MB more.
        self.assertLess(sixty - one, 8_000)
        with wave.open(out) as w:
            self.assertEqual(w.getnframes(), 60 * 16000)


class BadInput(ToolTest):

    def test_files_that_cannot_be_read(self):
        self.assert_refused([self.path("missing.wav")], "missing.wav", "no such file")
        self.assert_refused([self.dir], "directory")
        os.symlink("loop_b", self.path("loop_a"))
        os.symlink("loop_a", self.path("loop_b"))
        self.assert_refused([self.path("loop_a")], "loop_a", "symbolic links")
        garbage = self.path("garbage.wav")
        with open(garbage, "wb") as f:
            f.write(bytes(random.Random(3).randrange(256) for _ in range(4000)))
        self.assert_refused([garbage], "garbage.wav", "cannot read")
        cut = self.path("cut.wav")
        with open(cut, "wb") as f:
            f.write(b"RIFF\x24\x00\x00\x00WAVEfmt ")
        self.assert_refused([cut], "cut.wav", "cannot read")

    def test_damaged_or_cut_files_are_an_error_after_the_rows_they_gave(self):
        flac = self.scene("whole.flac", "--duration", 3, "--angle", 20)
        wav = self.scene("whole.wav", "--duration", 3, "--angle", 20)
        intact = run(LOCATE, flac, "--format", "csv").stdout
        with open(flac, "rb") as f:
            data = bytearray(f.read())
        with open(wav, "rb") as f:
            streamed = bytearray(f.read())
        # Cut by a byte, cut where a frame starts (the decoder sees a clean end) and scrambled;
        # a WAV cut mid-frame, whose header still counts every frame.
        flipped = bytearray(data)
        middle = len(data) * 2 // 3
        flipped[middle:middle + 100] = bytes(b ^ 0x55 for b in flipped[middle:middle + 100])
        damages = {"byte.flac": data[:-1], "frame.flac": data[:data.rfind(b"\xff\xf8")], "flipped.flac": flipped,
                   "half.wav": streamed[:len(streamed) // 2 + 3]}
        for name, damaged in damages.items():
            with self.subTest(name):
                path = self.path(name)
                with open(path, "wb") as f:
                    f.write(damaged)
                result = run(LOCATE, path, "--format", "csv", check=False)
                self.assertGreater(result.returncode, 0)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertIn("cannot read", result.stderr)
                self.assertTrue(intact.startswith(result.stdout), result.stdout)
                self.assertGreater(len(result.stdout.splitlines()), 2)
        # A recorder writing to a pipe cannot know the length: its header's guess is no damage.
        at = streamed.find(b"data") + 4
        streamed[at:at + 4] = struct.pack("<I", 0x7FFFFFFF)
        piped = subprocess.run([*EMULATOR, LOCATE, "/dev/stdin", "--format", "csv"], input=bytes(streamed),
                               capture_output=True, timeout=300)
        self.assertEqual((piped.returncode, piped.stdout.decode()), (0, intact), piped.stderr)
        # An encoder writing to a stream gives the length as 0, unknown: read on to the end.
        unknown = self.path("unknown.flac")
        with open(unknown, "wb") as f:
            f.write(flac_of_unknown_length(data))
        self.assertEqual(run(LOCATE, unknown, "--format", "csv").stdout, intact)

    def test_a_long_row_of_a_short_file_is_refused_before_it_costs_memory(self):
        short = self.scene("short3.wav", "--duration", 3)
        self.assert_refused([short, "--frames", 1 << 20], "shorter than one row")
        self.assertLess(peak_memory_kib(locate_command(short, "--frames", 1 << 20), succeed=False), 200_000)

    def test_channel_counts_other_than_two_or_four(self):
        for channels in (1, 3, 6):
            with self.subTest(channels=channels):
                wav = self.path(f"c{channels}.wav")
                write_wav(wav, channels, 16000, 8192, lambda i: (i * 37) % 2000)
                self.assert_refused([wav], f"{channels} channels", "2 or 4")

    def test_unsupported_rates_name_the_supported_ones(self):
        for rate in (44100, 22050):
            with self.subTest(rate=rate):
                wav = self.scene("odd.wav", "--rate", rate, "--duration", 0.5)
                self.assert_refused([wav], str(rate), *RATES)

    def test_spacing_outside_what_an_array_can_be(self):
        wav = self.scene("ok.wav", "--duration", 0.5)
        for spacing in ("0", "-2", "-0.0", "abc", "inf", "1e400", "nan", "1e300", "1e-300", "0.4", "25.5"):
            with self.subTest(spacing=spacing):
                self.assert_refused([wav, "--spacing=" + spacing], "--spacing", "from 0.5 to 25")

    def test_tracking_options_that_mean_nothing(self):
        wav = self.scene("ok.wav", "--duration", 0.5)
        self.assert_refused([wav, "--track", "--mode", "delays"], "tracking talkers needs the direction mode")
        for option, value in (("--forget", 10), ("--max-talkers", 2)):
            self.assert_refused([wav, option, value], option, "requires --track")
        for option, value in (("--forget", 0.01), ("--forget", "nan"), ("--max-talkers", 17), ("--max-talkers", 0)):
            self.assert_refused([wav, "--track", option, value], option)

    def test_requests_the_recording_cannot_meet(self):
        two = self.scene("two.wav", "--mics", 2, "--duration", 0.5)
        self.assert_refused([two, "--geometry", "circular"], "linear")
        short = self.scene("short.wav", "--duration", 0.2)
        self.assert_refused([short], "shorter than one row")
        self.assert_refused([short, "--format", "xml"], "--format")
        self.assert_refused([], "FILE")

    def test_scenes_the_simulator_cannot_render(self):
        stereo = self.scene("stereo.wav", "--mics", 2, "--duration", 0.2)
        mono = self.path("mono.wav")
        write_wav(mono, 1, 8000, 4000, lambda i: (i * 91) % 3000)
        mono16k = self.path("mono16k.wav")
        write_wav(mono16k, 1, 16000, 4000, lambda i: (i * 91) % 3000)
        cases = [
            (["--source", stereo], "must be mono"),
            (["--source", self.path("none.wav")], "no such file"),
            (["--source", mono, "--rate", 16000], "--rate"),
            (["--geometry", "circular", "--mics", 2], "circular"),
            (["--room", 3, 3, 3, "--distance", 2.5], "leaves the room"),
            (["--room", 6, 4, 3, "--angle", -90, "--angle-end", 90, "--distance", 2.3],
             "leaves the room"),
            (["--spacing", 0], "from 0.5 to 25"),
            (["--spacing", "inf"], "from 0.5 to 25"),
            (["--angle", "nan"], "--angle"),
            (["--angle", "inf"], "--angle"),
            (["--angle-end", "nan"], "--angle-end"),
            (["--snr", "nan"], "--snr"),
            (["--snr", "-inf"], "--snr"),
            (["--absorption", "nan", "--room", 6, 5, 3], "--absorption"),
            (["--duration", "inf"], "--duration"),
            (["--duration", 1e-9], "shorter than one sample"),
            (["--duration", 1e9], "--duration"),
            (["--truth", "/dev/full"], "/dev/full"),
            (["--duration", 20000, "--float"], "4 GiB"),
            (["--talker", "noise", 0, "0-1", "--source", mono], "--source"),
            (["--talker", "noise", 0, "0-1", "--angle", 5], "--angle"),
            (["--talker", "noise", 0, "1-x"], "FROM-TO"),
            (["--talker", "noise", 0], "--talker"),
            (["--talker", "noise", 0, "0-2", "--duration", 1], "--duration"),
            (["--talker", "noise", 0, "0-1e300"], "86400"),
            (["--talker", mono, 0, "0-1", "--talker", mono16k, 0, "0-1"], "differ in rate"),
            (["--noise-source", 0, 10, "--noise-source", 5, 10], "--noise-source"),
            (["--noise-source", "nan", 10], "--noise-source"),
        ]
        for args, words in cases:
            with self.subTest(args=args):
                result = run(SIMULATE, "-o", self.path("out.wav"), *args, check=False)
                self.assertGreater(result.returncode, 0)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertIn(words, result.stderr)
        # A mono recording keeps its own rate.
        self.scene("from_mono.wav", "--source", mono)
        with wave.open(self.path("from_mono.wav")) as w:
            self.assertEqual((w.getnchannels(), w.getframerate(), w.getnframes()), (4, 8000, 4000))


class Progress(ToolTest):
    def run_with_terminal_stderr(self, *args, rows_too=False):
        master, slave = pty.openpty()
        proc = subprocess.Popen([*EMULATOR, LOCATE, *args], stderr=slave,
                                stdout=slave if rows_too else subprocess.PIPE)
        os.close(slave)
        seen = b""
        while True:
            try:
                chunk = os.read(master, 4096)
            except OSError:
                break
            if not chunk:
                break
            seen += chunk
        out, _ = proc.communicate(timeout=300)
        os.close(master)
        self.assertEqual(proc.returncode, 0)
        return out.decode() if out else "", seen.decode()

    @staticmethod
    def screen_lines(terminal):
        """The lines a terminal shows: each carriage return starts over at the left edge, and
        the erase sequence clears what stood to the right."""
        lines = []
        for raw in terminal.replace("\r\n", "\n").split("\n"):
            shown = ""
            for piece in raw.split("\r"):
                if piece.startswith("\x1b[K"):
                    shown, piece = "", piece[3:]
                shown = piece + shown[len(piece):]
            lines.append(shown)
        return lines

    def test_progress_only_on_a_terminal_and_only_for_long_files(self):
        long = self.scene("long.wav", "--mics", 2, "--rate", 8000, "--duration", 12)
        quiet = run(LOCATE, long, "--format", "csv")
        self.assertEqual(quiet.stderr, "")
        out, terminal = self.run_with_terminal_stderr(long, "--format", "csv")
        self.assertEqual(out, quiet.stdout)
        self.assertRegex(terminal, r"\r +\d+%  [\d.]+ of 12\.0 s")
        # The line is wiped at the end, so the prompt does not land after it.
        self.assertTrue(terminal.endswith("\r\x1b[K"), terminal[-20:])
        # Rows on the same terminal each start on a line of their own, with no progress before them.
        _, shared = self.run_with_terminal_stderr(long, "--format", "csv", rows_too=True)
        self.assertRegex(shared, r"\r +\d+%  [\d.]+ of 12\.0 s")
        self.assertEqual([line for line in self.screen_lines(shared) if line],
                         quiet.stdout.splitlines())
        short = self.scene("short.wav", "--mics", 2, "--rate", 8000, "--duration", 3)
        _, terminal = self.run_with_terminal_stderr(short)
        self.assertEqual(terminal, "")


def decided(rows):
    """What a row says about the sound, without the live columns."""
    return [(float(r["time_s"]), r["outcome"], r["angle"]) for r in rows]


def rows_written(form, text):
    """Whole rows in a run's output so far."""
    if form == "json":
        return text.count("\n  }")
    return text.count("\n") - (form in ("csv", "table"))


class Live(ToolTest):
    """Standard input and an ALSA PCM give what the same recording gives as a file, row by row as
    the samples come in, and a signal ends the run with the output whole."""

    def setUp(self):
        super().setUp()
        self.wav = self.scene("moving.wav", "--angle", -60, "--angle-end", 60, "--duration", 3,
                              "--snr", 25)
        with wave.open(self.wav) as w:
            self.samples = w.readframes(w.getnframes())
        with open(self.wav, "rb") as f:
            self.wav_bytes = f.read()
        self.wav_header = self.wav_bytes[:len(self.wav_bytes) - len(self.samples)]
        raw = self.path("scene.raw")
        with open(raw, "wb") as f:
            f.write(self.samples)
        with open(self.path(".asoundrc"), "w") as f:
            f.write(ASOUNDRC.format(raw=raw))
        self.env = dict(os.environ, HOME=self.dir)
        self.file_rows = decided(self.locate_csv(self.wav))
        self.assertEqual(len(self.file_rows), 3 * 16000 // WINDOW)

    def window(self, i):
        return self.samples[i * WINDOW * 8:(i + 1) * WINDOW * 8]

    def locate_live(self, *args, stdin=None, env=None):
        return subprocess.run(locate_command(*args), input=stdin, capture_output=True,
                              env=env or self.env, timeout=300)

    def assert_live_rows(self, result, overruns):
        self.assertEqual(result.returncode, 0, result.stderr)
        text = result.stdout if isinstance(result.stdout, str) else result.stdout.decode()
        header = "time_s,outcome,angle,capture_time" + (",overruns" if overruns else "")
        self.assertEqual(text.splitlines()[0], header)
        rows = csv_rows(text)
        self.assertEqual(decided(rows), self.file_rows)
        for row in rows:
            self.assertRegex(row["capture_time"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z$")
            if overruns:
                self.assertEqual(row["overruns"], "0")
        return rows

    def test_device_and_standard_input_give_the_rows_of_the_file(self):
        csv_form = ["--format", "csv"]
        self.assert_live_rows(self.locate_live("--device", "scene", "--seconds", 3, *csv_form), True)
        self.assert_live_rows(self.locate_live("-", *csv_form, stdin=self.wav_bytes), False)
        self.assert_live_rows(self.locate_live("-", "--raw-rate", 16000, "--raw-channels", 4,
                                               *csv_form, stdin=self.samples), False)
        flac = self.scene("moving.flac", "--angle", -60, "--angle-end", 60, "--duration", 3,
                          "--snr", 25)
        with open(flac, "rb") as f:
            self.assert_live_rows(subprocess.run(locate_command("-", *csv_form), stdin=f,
                                                 capture_output=True, env=self.env, timeout=300),
                                  False)
        # arecord's WAV header promises more than it will send; the stream ends where it stops.
        record = ["arecord", "-q", "-D", "scene", "-f", "S16_LE", "-c", 4, "-r", 16000, "-t", "wav"]
        arecord = subprocess.Popen([str(a) for a in record], stdout=subprocess.PIPE, env=self.env)
        stream = arecord.stdout.read(44 + len(self.samples))
        arecord.kill()
        arecord.wait()
        arecord.stdout.close()
        self.assert_live_rows(self.locate_live("-", *csv_form, stdin=stream), False)
        # Piped straight in, for as long as --seconds says.
        arecord = subprocess.Popen([str(a) for a in record], stdout=subprocess.PIPE, env=self.env)
        result = subprocess.run(locate_command("-", "--seconds", 3, *csv_form), stdin=arecord.stdout,
                                capture_output=True, env=self.env, timeout=300)
        arecord.stdout.close()
        arecord.wait()
        self.assert_live_rows(result, False)

    def test_each_row_comes_as_soon_as_its_window_is_in(self):
        cases = [(form, wav) for form in ("table", "csv", "json", "jsonl") for wav in (False, True)]
        for form, wav in cases:
            with self.subTest(form=form, wav=wav):
                raw = [] if wav else ["--raw-rate", 16000, "--raw-channels", 4]
                proc = subprocess.Popen(locate_command("-", *raw, "--format", form),
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
                if wav:
                    proc.stdin.write(self.wav_header)
                out = b""
                for i in range(3):
                    proc.stdin.write(self.window(i))
                    proc.stdin.flush()
                    out = self.read_rows(proc, form, out, i + 1)
                proc.stdin.close()
                out += proc.stdout.read()
                proc.stdout.close()
                proc.stderr.close()
                self.assertEqual(proc.wait(timeout=60), 0)
                self.assertEqual(rows_written(form, out.decode()), 3)
                if form == "json":
                    data = json.loads(out)
                    self.assertEqual([(o["time_s"], o["outcome"], o["angle"] and str(o["angle"]))
                                      for o in data], [(t, o, a or None) for t, o, a in self.file_rows[:3]])

    def read_rows(self, proc, form, out, rows):
        """Reads the output until it holds `rows` rows, while the input stays open."""
        deadline = time.monotonic() + 120
        while rows_written(form, out.decode()) < rows:
            ready, _, _ = select.select([proc.stdout], [], [], max(0, deadline - time.monotonic()))
            self.assertTrue(ready, f"row {rows} did not come while the input was open: {out!r}")
            chunk = os.read(proc.stdout.fileno(), 65536)
            self.assertTrue(chunk, "the output ended")
            out += chunk
        return out

    def test_a_signal_finishes_the_row_in_hand_and_closes_the_array(self):
        for sig, name in ((signal.SIGINT, "Interrupt"), (signal.SIGTERM, "Terminated")):
            with self.subTest(signal=name):
                proc = subprocess.Popen(locate_command("-", "--raw-rate", 16000, "--raw-channels", 4,
                                                       "--format", "json"),
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
                out = b""
                for i in range(2):
                    proc.stdin.write(self.window(i))
                    proc.stdin.flush()
                    out = self.read_rows(proc, "json", out, i + 1)
                proc.stdin.write(self.window(2)[:len(self.window(2)) // 2])
                proc.stdin.flush()
                proc.send_signal(sig)
                # The input stays open: the signal alone ends the run.
                rest, err = proc.communicate(timeout=60)
                proc.stdin.close()
                self.assertEqual(proc.returncode, 0, err)
                self.assertEqual(len(json.loads(out + rest)), 2)
                self.assertEqual(err.decode().splitlines(),
                                 [f"iaassl_locate: stopped by {name} after 0.512 s of audio: "
                                  "2 rows, overruns: 0"])
        # A capture device runs until told to stop.
        proc = subprocess.Popen(locate_command("--device", "scene", "--format", "json"),
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.env)
        self.read_rows(proc, "json", b"", 3)
        proc.send_signal(signal.SIGINT)
        rest, err = proc.communicate(timeout=60)
        self.assertEqual(proc.returncode, 0, err)
        self.assertIn("stopped by Interrupt", err.decode())

    def test_an_overrun_is_counted_reported_and_marked(self):
        env = dict(self.env, LD_PRELOAD=XRUN_PRELOAD, XRUN_AT_CALL="40",
                   ASAN_OPTIONS="verify_asan_link_order=0")
        result = self.locate_live("--device", "scene", "--seconds", 1, "--format", "jsonl", env=env)
        self.assertEqual(result.returncode, 0, result.stderr)
        rows = [json.loads(line) for line in result.stdout.splitlines()]
        self.assertEqual([r["overruns"] for r in rows], [0, 1, 0])
        self.assertEqual(result.stderr.decode().splitlines(),
                         ["iaassl_locate: overrun at 0.312 s of audio: samples lost (1 so far)",
                          "iaassl_locate: finished after 0.768 s of audio: 3 rows, overruns: 1"])

    def test_inputs_that_cannot_be_had(self):
        cases = [
            (["--device", "two"], ["'two' cannot capture 4 channels", "offers 2 channels"]),
            (["--device", "r48", "--channels", 2], ["at 16000 Hz", "at 48000 Hz"]),
            (["--device", "missing"], ["cannot open device 'missing'"]),
            (["--device", "scene", "--rate", 44100], ["44100", *RATES]),
            (["-", "--raw-rate", 16000], ["--raw-channels"]),
            (["-", "--raw-channels", 4], ["--raw-rate"]),
            ([self.wav, "--raw-rate", 16000, "--raw-channels", 4], ["give - as the FILE"]),
            ([self.wav, "--device", "scene"], ["--device"]),
            (["-", "--raw-rate", 16000, "--raw-channels", 3], ["--raw-channels"]),
        ]
        for args, words in cases:
            with self.subTest(args=args):
                self.assert_refused(args, *words, env=self.env)


class Plot(ToolTest):
    def test_track_and_truth_become_a_picture(self):
        truth = self.path("truth.csv")
        wav = self.scene("scene.wav", "--angle", -30, "--angle-end", 30, "--duration", 2,
                         "--truth", truth)
        track = self.path("track.csv")
        with open(track, "w") as f:
            f.write(run(LOCATE, wav, "--format", "csv").stdout)
        png = self.path("track.png")
        run(sys.executable, PLOT, track, "--truth", truth, "-o", png)
        with open(png, "rb") as f:
            self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")
        refused = run(sys.executable, PLOT, truth, "-o", png, check=False)
        self.assertNotEqual(refused.returncode, 0)
        self.assertIn("outcome", refused.stderr)

    def test_talkers_and_a_meeting_become_a_picture_in_their_colours(self):
        from matplotlib import image

        truth = self.path("truth.csv")
        wav = self.scene("meeting.wav", *MEETING, "--truth", truth)
        files = {"tracked": run(LOCATE, wav, "--track", "--format", "csv").stdout,
                 "made": "time_s,outcome,angle,talkers\n" + "".join(
                     f"{k * 0.256},angle,-50,1:-50.0{'*' * (k < 5)} 2:30.0\n" for k in range(10)),
                 "plain": "time_s,outcome,angle\n0.0,angle,-50\n0.256,angle,30\n"}
        # Talkers 1 and 2 in their colours, found in the picture only when they are drawn.
        colours = [(1.0, 0.5, 0.05), (0.17, 0.63, 0.17)]
        for name, text in files.items():
            with open(self.path(f"{name}.csv"), "w") as f:
                f.write(text)
            run(sys.executable, PLOT, self.path(f"{name}.csv"), "--truth", truth, "-o", self.path(f"{name}.png"))
            pixels = image.imread(self.path(f"{name}.png"))[:, :, :3].reshape(-1, 3)
            found = [bool((abs(pixels - rgb).max(axis=1) < 0.02).any()) for rgb in colours]
            self.assertEqual(found, [name != "plain"] * 2, name)

    def test_what_cannot_be_read_or_written_is_one_line(self):
        head = "time_s,outcome,angle\n0.0,angle,3\n"
        files = {"time.csv": head + "soon,angle,3\n", "empty.csv": head + "0.3,angle,\n",
                 "fraction.csv": head + "0.3,angle,2.5\n", "short.csv": head + "0.3,angle\n",
                 "talker.csv": "time_s,outcome,angle,talkers\n0.0,angle,3,1:three*\n",
                 "talkers_short.csv": "time_s,outcome,angle,talkers\n0.0,angle,3\n",
                 "truth.csv": "time_s,angle\n0,up\n", "turns.csv": "talker,start_s,end_s,angle\nA,2,1,30\n",
                 "no_end.csv": "talker,start_s,angle\nA,2,30\n", "ok.csv": head}
        for name, text in files.items():
            with open(self.path(name), "w") as f:
                f.write(text)
        with open(self.path("binary.csv"), "wb") as f:
            f.write(bytes(random.Random(5).randrange(256) for _ in range(3000)))
        with open(self.path("utf16.csv"), "w", encoding="utf-16") as f:
            f.write(head)
        ok = self.path("ok.csv")
        cases = [[self.path(n), "-o", self.path("out.png")]
                 for n in ("time.csv", "empty.csv", "fraction.csv", "short.csv", "talker.csv",
                           "talkers_short.csv", "binary.csv", "utf16.csv")]
        cases += [[ok, "--truth", self.path(n), "-o", self.path("out.png")]
                  for n in ("truth.csv", "turns.csv", "no_end.csv")]
        cases += [[ok, "-o", self.path("no/such/folder/out.png")], [ok, "-o", "/dev/full"],
                  [ok, "-o", self.path("out.xyz")]]
        for args in cases:
            with self.subTest(args=args):
                result = run(sys.executable, PLOT, *args, check=False)
                self.assertNotEqual(result.returncode, 0)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertTrue(result.stderr.startswith("iaassl_plot: "), result.stderr)


if __name__ == "__main__":
    unittest.main()
