"""The module against the tool: the same rows from whole files and from chunks of any kind,
the tool's refusals as ValueError, threads, and the README's example."""
import ctypes
import json
import logging
import os
import re
import subprocess
import threading
import time
import wave
from pathlib import Path

import numpy as np
import pytest

import iaassl

LOCATE = os.environ["IAASSL_LOCATE"]
SIMULATE = os.environ["IAASSL_SIMULATE"]
# A cross-built tool runs under the emulator; on the host there is none.
EMULATOR = os.environ.get("IAASSL_EMULATOR", "").split()
README = Path(__file__).resolve().parents[2] / "README.md"
TOOL_FLAGS = {"geometry": "--geometry", "spacing_cm": "--spacing", "temperature": "--temperature",
              "gate_db": "--gate", "frames": "--frames", "mode": "--mode", "forget_s": "--forget",
              "max_talkers": "--max-talkers"}
# Each scene with the options it is located with, which differ from scene to scene. The source
# comes in bursts, so that windows have each outcome.
SCENES = {
    "linear4": (["--mics", "4", "--spacing", "5", "--angle", "-70", "--angle-end", "70"], {"spacing_cm": 5}),
    "circular4": (["--mics", "4", "--geometry", "circular", "--spacing", "6", "--angle", "-80",
                   "--angle-end", "260"], {"geometry": "circular", "spacing_cm": 6, "temperature": 10, "frames": 20}),
    "linear2": (["--mics", "2", "--spacing", "8", "--angle", "60", "--angle-end", "-60"],
                {"spacing_cm": 8, "gate_db": -30, "frames": 12}),
}
# The tracker's settings each scene is tracked with, for the faces to pass on alike.
TRACKING = {"linear4": {}, "circular4": {"forget_s": 2.5, "max_talkers": 2}, "linear2": {"max_talkers": 1}}
RATE = 16000


def chunks(x, size):
    return [x[i:i + size] for i in range(0, len(x), size)]


def strided_float_view(x):
    wide = np.zeros((len(x), 2 * x.shape[1]))
    wide[:, ::2] = x / 32768
    return chunks(wide[:, ::2], 1000)


CHUNKINGS = {
    "441 samples": lambda x: chunks(x, 441),
    "Fortran order": lambda x: [np.asfortranarray(x)],
    "negative strides": lambda x: [x[::-1].copy()[::-1], x[:0]],
    "float32": lambda x: chunks((x / 32768).astype(np.float32), 5000),
    "float64 strided view": strided_float_view,
}


class Scenes(dict):
    """The scenes a test asks for, simulated on first use: the emulator makes them slow."""

    def __init__(self, folder):
        super().__init__()
        self.folder = folder
        bursts = np.random.default_rng(1).standard_normal(3 * RATE) * 8000
        bursts[(np.arange(3 * RATE) // 4000) % 3 == 2] *= 0.001
        with wave.open(str(folder / "bursts.wav"), "wb") as w:
            w.setnchannels(1), w.setsampwidth(2), w.setframerate(RATE)
            w.writeframes(bursts.astype("<i2").tobytes())

    def __missing__(self, name):
        args, options = SCENES[name]
        path = self.folder / f"{name}.wav"
        subprocess.run(EMULATOR + [SIMULATE, "-o", path, "--source", self.folder / "bursts.wav", "--snr", "30", *args],
                       check=True, capture_output=True)
        self[name] = (path, options)
        return self[name]


@pytest.fixture(scope="module")
def scenes(tmp_path_factory):
    return Scenes(tmp_path_factory.mktemp("scenes"))


def tool_rows(path, *switches, **options):
    flags = [str(a) for k, v in options.items() for a in (TOOL_FLAGS[k], v)]
    out = subprocess.run(EMULATOR + [LOCATE, path, "--format", "jsonl", *switches, *flags], check=True,
                         capture_output=True, text=True).stdout
    return [json.loads(line) for line in out.splitlines()]


def as_dicts(rows, talkers=False):
    return [{"time_s": r.time_s, "outcome": r.outcome, "angle": r.angle,
             **({"talkers": [{"id": t.id, "angle": t.angle, "speaking": t.speaking} for t in r.talkers]}
                if talkers else {})} for r in rows]


def delay_dicts(times, delays):
    return [{"time_s": t, **{f"delay_0_{k + 1}": d for k, d in enumerate(row)}} for t, row in zip(times, delays)]


def samples_of(path):
    with wave.open(str(path)) as w:
        return np.frombuffer(w.readframes(w.getnframes()), "<i2").reshape(-1, w.getnchannels())


def localiser_for(x, options):
    return iaassl.Localiser(channels=x.shape[1], rate=RATE, **options)


def fed(loc, pieces):
    return [row for piece in pieces for row in loc.feed(piece)]


def masked_as_lists(delays):
    return [[None if m else int(d) for d, m in zip(row, mask)]
            for row, mask in zip(delays.data, np.ma.getmaskarray(delays))]


@pytest.mark.parametrize("scene", SCENES)
class TestSameRowsAsTheTool:
    def test_locate_a_file(self, scenes, scene):
        path, options = scenes[scene]
        expected = tool_rows(path, **options)
        located = iaassl.locate(path, **options)
        assert len({r["outcome"] for r in expected}) > 1 and as_dicts(located) == expected
        assert all(r.talkers == () for r in located)

    @pytest.mark.parametrize("chunking", CHUNKINGS)
    def test_feed_over_any_chunking(self, scenes, scene, chunking):
        path, options = scenes[scene]
        x = samples_of(path)
        assert as_dicts(fed(localiser_for(x, options), CHUNKINGS[chunking](x))) == tool_rows(path, **options)

    def test_talkers_from_a_file_and_over_any_chunking(self, scenes, scene):
        path, options = scenes[scene]
        options = {**options, **TRACKING[scene]}
        expected = tool_rows(path, "--track", **options)
        assert as_dicts(iaassl.locate(path, track=True, **options), talkers=True) == expected
        x = samples_of(path)
        loc = localiser_for(x, {**options, "track": True})
        loc.delays(x[:1280])  # the delay stream has no talkers to follow
        for chunking in CHUNKINGS.values():
            loc.feed(x[:5000])
            loc.reset()  # talkers forgotten: each run starts as the tool's
            assert as_dicts(fed(loc, chunking(x)), talkers=True) == expected

    def test_delays_mode(self, scenes, scene):
        path, options = scenes[scene]
        expected = tool_rows(path, **options, mode="delays")
        located = iaassl.locate(path, **options, mode="delays")
        assert delay_dicts([r.time_s for r in located], [r.delays for r in located]) == expected
        x = samples_of(path)
        loc = localiser_for(x, options)
        delays = np.ma.concatenate([loc.delays(c) for c in chunks(x, 441)])
        assert delays.dtype == np.int32 and delays.shape == (len(expected), x.shape[1] - 1)
        assert delay_dicts([r["time_s"] for r in expected], masked_as_lists(delays)) == expected


class TestStream:
    def test_reset_and_the_delay_stream_leave_the_rows_alone(self, scenes):
        path, options = scenes["linear4"]
        x = samples_of(path)
        loc = localiser_for(x, options)
        loc.feed(x[:1000])
        loc.reset()
        rows = []
        for piece in chunks(x, 3000):
            loc.delays(piece[:77])
            rows += loc.feed(piece)
        assert as_dicts(rows) == tool_rows(path, **options)

    def test_floats_clip_and_nan_is_silence(self, scenes):
        path, options = scenes["linear4"]
        x = samples_of(path)
        floats = x / 8192.0  # four times full scale: most samples clip
        floats[::7] = np.nan
        clipped = np.clip(np.round(np.nan_to_num(floats) * 32768), -32768, 32767).astype(np.int16)
        assert as_dicts(localiser_for(x, options).feed(floats)) == \
            as_dicts(localiser_for(x, options).feed(clipped))

    def test_a_flac_of_unknown_length_is_read_to_its_end(self, tmp_path):
        intact = tmp_path / "intact.flac"
        subprocess.run(EMULATOR + [SIMULATE, "-o", intact, "--angle", "20", "--duration", "2"],
                       check=True, capture_output=True)
        # A FLAC encoder writing to a stream leaves the STREAMINFO's sample count, and MD5, at 0.
        data = bytearray(intact.read_bytes())
        count_at = 4 + 4 + 10 + 3
        data[count_at] &= 0xF0
        data[count_at + 1:count_at + 5 + 16] = bytes(4 + 16)
        unknown = tmp_path / "unknown.flac"
        unknown.write_bytes(data)
        expected = tool_rows(intact)
        assert expected and as_dicts(iaassl.locate(unknown)) == expected


BAD_CALLS = [
    (lambda: iaassl.Localiser(rate=44100), ValueError,
     "unsupported sample rate 44100 Hz (supported: 8000, 16000, 32000, 48000 Hz)"),
    (lambda: iaassl.Localiser(channels=3), ValueError, "the input has 3 channels; only 2 or 4 are supported"),
    (lambda: iaassl.Localiser(channels=2, geometry="circular"), ValueError,
     "a 2-channel recording needs --geometry linear"),
    (lambda: iaassl.Localiser(geometry="square"), ValueError, "unknown geometry 'square' (use linear or circular)"),
    (lambda: iaassl.Localiser(spacing_cm=float("nan")), ValueError, "spacing_cm: value nan not in range 0.5 to 25"),
    (lambda: iaassl.Localiser(spacing_cm=1e300), ValueError, "spacing_cm: value 1e+300 not in range 0.5 to 25"),
    (lambda: iaassl.Localiser(spacing_cm=1e-300), ValueError, "spacing_cm: value 1e-300 not in range 0.5 to 25"),
    (lambda: iaassl.Localiser(temperature=61), ValueError, "temperature: value 61 not in range -40 to 60"),
    (lambda: iaassl.Localiser(gate_db=1), ValueError, "gate_db: value 1 not in range -80 to 0"),
    (lambda: iaassl.Localiser(frames=0), ValueError, "frames: value 0 not in range 1 to 1048576"),
    (lambda: iaassl.Localiser(track=True, forget_s=0.05), ValueError, "forget_s: value 0.05 not in range 0.1 to 86400"),
    (lambda: iaassl.Localiser(track=True, max_talkers=17), ValueError, "max_talkers: value 17 not in range 1 to 16"),
    (lambda: iaassl.Localiser(forget_s=60), ValueError, "forget_s requires track=True"),
    (lambda: iaassl.Localiser(max_talkers=2), ValueError, "max_talkers requires track=True"),
    (lambda: iaassl.Localiser().feed(np.zeros(400, np.int16)), ValueError,
     "samples must be a 2-D array (frames, channels), not 1-D"),
    (lambda: iaassl.Localiser().feed(np.zeros((400, 2), np.int16)), ValueError,
     "the samples have 2 channels; this Localiser takes 4"),
    (lambda: iaassl.Localiser().delays(np.zeros((400, 4), np.int32)), ValueError,
     "samples must be int16, float32 or float64, not int32"),
    (lambda: iaassl.Localiser().feed(np.zeros((400, 4), ">i2")), ValueError,
     "samples must be int16, float32 or float64, not >i2"),
    (lambda: iaassl.locate("/nonexistent.wav"), OSError, "cannot read '/nonexistent.wav': no such file or directory"),
    (lambda: iaassl.locate(__file__), OSError, f"cannot read '{__file__}': "),
]


class TestBadInput:
    @pytest.mark.parametrize("call, error, message", BAD_CALLS)
    def test_refused_with_the_tools_words(self, call, error, message):
        with pytest.raises(error) as raised:
            call()
        assert str(raised.value).startswith(message)

    @pytest.mark.parametrize("frames, channels, options, flags, message", [
        (4096, 3, {}, [], "has 3 channels; only 2 or 4 are supported"),
        (4000, 4, {}, [], "the recording is shorter than one row (4096 samples per channel)"),
        (4096, 4, {"track": True, "mode": "delays"}, ["--track", "--mode", "delays"],
         "tracking talkers needs the direction mode")])
    def test_files_refused_with_the_tools_words(self, tmp_path, frames, channels, options, flags, message):
        path = tmp_path / "bad.wav"
        with wave.open(str(path), "wb") as w:
            w.setnchannels(channels), w.setsampwidth(2), w.setframerate(16000)
            w.writeframes(bytes(2 * channels * frames))
        with pytest.raises(ValueError, match=re.escape(message)):
            iaassl.locate(path, **options)
        tool = subprocess.run(EMULATOR + [LOCATE, path, *flags], capture_output=True, text=True)
        assert tool.returncode != 0 and message in tool.stderr

    def test_a_wav_cut_short_of_its_header_is_refused(self, scenes, tmp_path):
        path, _ = scenes["linear4"]
        whole = Path(path).read_bytes()
        cut = tmp_path / "cut.wav"
        cut.write_bytes(whole[:len(whole) // 2 + 3])
        with wave.open(str(path)) as w:
            frames = w.getnframes()
        with pytest.raises(OSError, match=rf"^cannot read '{re.escape(str(cut))}': it ends after \d+ of the "
                                          rf"{frames} frames it declares$"):
            iaassl.locate(cut)


class TestThreads:
    def test_other_threads_run_while_the_library_does(self, scenes):
        path, options = scenes["linear4"]
        x = np.tile(samples_of(path), (60, 1))
        longest_pause, running = [0.0], threading.Event()

        def tick():
            last = time.perf_counter()
            running.set()
            while running.is_set():
                now = time.perf_counter()
                longest_pause[0], last = max(longest_pause[0], now - last), now

        ticker = threading.Thread(target=tick)
        loc = localiser_for(x, options)
        ticker.start()
        running.wait()
        longest_pause[0] = 0.0
        start = time.perf_counter()
        loc.feed(x)  # one call: were the interpreter lock held, the ticker would stop throughout
        took = time.perf_counter() - start
        running.clear()
        ticker.join()
        assert longest_pause[0] < took / 2

    def test_one_localiser_shared_by_threads_takes_calls_in_turn(self, scenes):
        path, options = scenes["linear4"]
        x = samples_of(path)
        loc = localiser_for(x, options)
        windows = chunks(x[:len(x) // 4096 * 4096], 4096) * 4
        rows = []
        threads = [threading.Thread(target=lambda part: rows.extend(fed(loc, part)), args=(windows[i::2],))
                   for i in range(2)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        assert sorted(r.time_s for r in rows) == [i * 4096 / RATE for i in range(len(windows))]


class TestWhatUsersSee:
    def test_library_notes_are_debug_records_and_stay_off_standard_output(self, capfd, caplog, scenes):
        path, _ = scenes["linear4"]
        caplog.set_level(logging.DEBUG, logger="iaassl")
        outcomes = {r.outcome for r in iaassl.locate(path, spacing_cm=1)}
        iaassl.Localiser().feed(np.zeros((8192, 4), "int16"))
        libc = ctypes.CDLL(None)
        libc.printf(b"C output %d\n", 7)
        libc.fflush(None)
        assert "delay_too_large" in outcomes and capfd.readouterr().out == "C output 7\n"
        notes = [r.getMessage() for r in caplog.records]
        assert {(r.name, r.levelno) for r in caplog.records} == {("iaassl", logging.DEBUG)}
        assert sum(bool(re.fullmatch(r"\[ALGO_MSG_MSG\] \[SSL\] ver\.[0-9a-f.]{14}", n)) for n in notes) == 2
        assert any(n.endswith("ULA all delay samples are too large. Please check the distance and sampling rate!.")
                   for n in notes)

    def test_the_c_standard_output_is_still_the_one_the_process_began_with(self):
        libc = ctypes.CDLL(None)
        iaassl.Localiser().feed(np.zeros((8192, 4), "int16"))
        assert ctypes.c_void_p.in_dll(libc, "stdout").value == ctypes.addressof(
            ctypes.c_char.in_dll(libc, "_IO_2_1_stdout_"))

    def test_readme_example(self, scenes, tmp_path, monkeypatch, capsys):
        example = re.search(r"### The Python module.*?```python\n(.*?)```", README.read_text(), re.S).group(1)
        path, options = scenes["linear4"]
        (tmp_path / "scene.wav").symlink_to(path)
        monkeypatch.chdir(tmp_path)
        exec(example, {})
        out = capsys.readouterr().out.split("\n")
        expected = tool_rows(path, **options)
        assert out[:len(expected)] == [f"{r['time_s']:6.3f} {r['outcome']:15} {r['angle']}" for r in expected]
