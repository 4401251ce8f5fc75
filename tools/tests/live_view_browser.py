"""The live view in a real browser: a simulated scene streams through `iaassl_locate --serve` in
real time while headless Chromium shows the page; the needle drawn follows the rows on standard
output, the page says when the stream ends and when the tool has gone away."""
import json
import math
import os
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import wave

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tools_e2e as e2e  # noqa: E402  (scene making and the emulator prefix live there)

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
CHROMIUM_FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                  "--no-first-run", "--disable-background-networking", "--disable-component-update",
                  "--disable-sync"]
VIEWPORT = {"width": 900, "height": 600, "deviceScaleFactor": 1, "mobile": False}
ARTIFACTS = os.environ.get("IAASSL_ARTIFACTS", "")
RATE = 16000
CHANNELS = 4
# Samples go in as a capture device would give them: a piece every 32 ms, in real time.
FEED_FRAMES = 512
LISTENING = re.compile(r"iaassl_locate: live view on (http://\S+/)")
ROTATE = re.compile(r"rotate\(\s*(-?[\d.]+)[ ,]+(-?[\d.]+)[ ,]+(-?[\d.]+)\s*\)")
# What the page shows, read in one go so that the parts belong together.
PAGE_STATE = """
const needle = document.getElementById("needle");
const mics = [...document.querySelectorAll("circle[id^='mic-']")];
return {
  transform: needle.getAttribute("transform"),
  angle: needle.getAttribute("data-angle"),
  reading: document.getElementById("reading").textContent,
  state: document.getElementById("status").dataset.state,
  rows: Number(document.body.dataset.rows),
  lastRowAt: Number(document.body.dataset.lastRowAt),
  mics: mics.map(m => [Number(m.getAttribute("cx")), Number(m.getAttribute("cy"))]),
  talkers: [...document.querySelectorAll("#talkers .talker")].map(marker => ({
    id: Number(marker.dataset.talkerId), speaking: marker.dataset.speaking === "true",
    ring: marker.querySelector(".ring") !== null, opacity: Number(getComputedStyle(marker).opacity),
    at: ["cx", "cy"].map(c => Number(marker.querySelector("circle:not(.ring)").getAttribute(c))),
  })),
  tracks: [...document.querySelectorAll("#trace path[data-talker-id]")].map(
    path => [Number(path.dataset.talkerId), path.classList.contains("speaking")]),
};
"""


def unit(x, y):
    length = math.hypot(x, y)
    return x / length, y / length


def degrees_apart(a, b):
    return abs((a - b + 180) % 360 - 180)


def talker_tracks(rows):
    """The talker tracks a trace of these rows draws: (id, False) for each talker, (id, True) for
    each that speaks."""
    talkers = [t for row in rows for t in row.get("talkers", [])]
    return {(t["id"], False) for t in talkers} | {(t["id"], True) for t in talkers if t["speaking"]}


def drawn_direction(page):
    """The array angle the needle shows, in the page's convention: the needle is drawn pointing
    up and turned clockwise by the rotation; +90 lies towards microphone 0 and 0 a quarter turn
    clockwise from there on screen (broadside on a line, microphone 1 on a circle)."""
    match = ROTATE.fullmatch(page["transform"].strip())
    assert match, page["transform"]
    rotation, cx, cy = (float(v) for v in match.groups())
    needle = (math.sin(math.radians(rotation)), -math.cos(math.radians(rotation)))
    toward_90 = unit(page["mics"][0][0] - cx, page["mics"][0][1] - cy)
    toward_0 = (-toward_90[1], toward_90[0])
    along_0 = needle[0] * toward_0[0] + needle[1] * toward_0[1]
    along_90 = needle[0] * toward_90[0] + needle[1] * toward_90[1]
    return math.degrees(math.atan2(along_90, along_0)), (cx, cy), toward_0, toward_90


class LiveTool:
    """iaassl_locate reading raw samples from a pipe, fed in real time, serving the live view;
    every row it writes is kept with the wall time this process saw it."""

    def __init__(self, samples, *args):
        command = e2e.locate_command("-", "--raw-rate", RATE, "--raw-channels", CHANNELS,
                                     "--serve", "127.0.0.1:0", "--format", "jsonl", *args)
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE)
        self.samples = samples
        self.rows = []
        self.seen_ms = []
        self.stderr = []
        self.url = None
        self.changed = threading.Condition()
        self.stop_feeding = threading.Event()
        self.readers = [threading.Thread(target=t, daemon=True)
                        for t in (self.read_rows, self.read_stderr)]
        self.feeder = threading.Thread(target=self.feed, daemon=True)
        for thread in self.readers + [self.feeder]:
            thread.start()

    def read_rows(self):
        for line in self.proc.stdout:
            seen = time.time() * 1000
            with self.changed:
                self.rows.append(json.loads(line))
                self.seen_ms.append(seen)
                self.changed.notify_all()

    def read_stderr(self):
        for line in self.proc.stderr:
            text = line.decode(errors="replace").rstrip("\n")
            with self.changed:
                self.stderr.append(text)
                match = LISTENING.search(text)
                if match:
                    self.url = match.group(1)
                self.changed.notify_all()

    def feed(self):
        piece = FEED_FRAMES * CHANNELS * 2
        start = time.monotonic()
        try:
            for offset in range(0, len(self.samples), piece):
                due = start + offset / (CHANNELS * 2) / RATE
                if self.stop_feeding.wait(max(0.0, due - time.monotonic())):
                    return
                self.proc.stdin.write(self.samples[offset:offset + piece])
                self.proc.stdin.flush()
            self.proc.stdin.close()
        except (BrokenPipeError, ValueError):
            return

    def wait_for(self, condition, timeout, what):
        with self.changed:
            if not self.changed.wait_for(condition, timeout):
                raise AssertionError(f"{what} did not come within {timeout} s; "
                                     f"stderr: {self.stderr}")

    def wait_for_url(self):
        self.wait_for(lambda: self.url, 60, "the line with the live view's address")
        return self.url

    def rows_seen(self):
        with self.changed:
            return list(self.rows), list(self.seen_ms)

    def close(self):
        self.stop_feeding.set()
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait(timeout=60)
        self.feeder.join(timeout=60)
        try:
            self.proc.stdin.close()
        except BrokenPipeError:
            pass
        for thread in self.readers:
            thread.join(timeout=60)
        self.proc.stdout.close()
        self.proc.stderr.close()


class LiveView(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in CHROMIUM_FLAGS + [f"--user-data-dir={cls.tmp.name}/profile"]:
            options.add_argument(flag)
        cls.browser = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        cls.browser.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", VIEWPORT)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.tmp.cleanup()

    def setUp(self):
        # An earlier test's page, which may still be retrying its stream, and what it left in the
        # browser's log are not this test's.
        self.browser.get("about:blank")
        self.browser.get_log("browser")

    def scene_samples(self, name, *args):
        path = os.path.join(self.tmp.name, name)
        e2e.run(e2e.SIMULATE, "-o", path, "--mics", CHANNELS, *args)
        with wave.open(path) as w:
            return w.readframes(w.getnframes())

    def start_tool(self, samples, *args):
        tool = LiveTool(samples, *args)
        self.addCleanup(tool.close)
        return tool

    def page(self):
        return self.browser.execute_script(PAGE_STATE)

    def assert_talkers_drawn(self, page, row):
        """The dial shows the row's talkers in order at their angles, the speaking ones ringed, the
        others dimmed; a row without talkers shows none."""
        talkers = row.get("talkers", [])
        self.assertEqual([(t["id"], t["speaking"]) for t in page["talkers"]],
                         [(t["id"], t["speaking"]) for t in talkers])
        _, centre, toward_0, toward_90 = drawn_direction(page)
        for drawn, talker in zip(page["talkers"], talkers):
            x, y = drawn["at"][0] - centre[0], drawn["at"][1] - centre[1]
            angle = math.degrees(math.atan2(x * toward_90[0] + y * toward_90[1],
                                            x * toward_0[0] + y * toward_0[1]))
            self.assertLessEqual(degrees_apart(angle, talker["angle"]), 1, (drawn, talker))
            self.assertEqual((drawn["ring"], drawn["opacity"] == 1), (talker["speaking"],) * 2, drawn)

    def assert_drawn_like_the_row(self, page, row, circular):
        """The needle, the reading, the talkers and the array drawn agree with one row of standard
        output."""
        self.assert_talkers_drawn(page, row)
        if row["angle"] is None:
            self.assertEqual((page["angle"], page["reading"]), ("", row["outcome"]))
            return
        self.assertEqual(page["angle"], str(row["angle"]))
        self.assertEqual(page["reading"], f"{row['angle']}°")
        drawn, centre, toward_0, toward_90 = drawn_direction(page)
        self.assertLessEqual(degrees_apart(drawn, row["angle"]), 1, (page, row))
        # The microphones where the library has them: on a circle microphone k at 90 - 90k
        # degrees, on a line in order from the +90 end.
        offsets = [(x - centre[0], y - centre[1]) for x, y in page["mics"]]
        along_0 = [x * toward_0[0] + y * toward_0[1] for x, y in offsets]
        along_90 = [x * toward_90[0] + y * toward_90[1] for x, y in offsets]
        if circular:
            self.assertEqual(len(offsets), 4)
            for k, (a0, a90) in enumerate(zip(along_0, along_90)):
                self.assertLessEqual(degrees_apart(math.degrees(math.atan2(a90, a0)), 90 - 90 * k),
                                     1, page["mics"])
        else:
            self.assertEqual(len(offsets), CHANNELS)
            self.assertLessEqual(max(map(abs, along_0)), 1e-6, page["mics"])
            self.assertEqual(along_90, sorted(along_90, reverse=True), page["mics"])
            self.assertEqual(len(set(along_90)), CHANNELS, page["mics"])

    def watch(self, tool, until, timeout, circular, delays):
        """Polls the page until `until(page)`, checking what it draws against the row of the same
        number on standard output, and noting for rows that came in while the page was open how
        long after the tool wrote them the page had drawn them (for rows drawn between two polls,
        until it drew the last of them: an upper bound)."""
        deadline = time.monotonic() + timeout
        first_rows = None
        checked = 0
        while True:
            page = self.page()
            rows, seen_ms = tool.rows_seen()
            if first_rows is None:
                first_rows = page["rows"]
            if page["rows"] != checked and page["rows"] <= len(rows):
                self.assert_drawn_like_the_row(page, rows[page["rows"] - 1], circular)
                for row in range(max(checked, first_rows), page["rows"]):
                    delays.append(page["lastRowAt"] - seen_ms[row])
                checked = page["rows"]
            if until(page):
                return page
            self.assertLess(time.monotonic(), deadline,
                            f"the page did not get there: {page}; stderr: {tool.stderr}")
            time.sleep(0.01)

    def report_delays(self, label, delays):
        self.assertGreaterEqual(len(delays), 5, "too few rows came in while the page was open")
        print(f"\nlive view ({label}): page drawn {statistics.median(delays):.1f} ms after the row "
              f"(median), {max(delays):.1f} ms at most, over {len(delays)} rows", flush=True)

    def save_screenshot(self, name):
        if ARTIFACTS:
            os.makedirs(ARTIFACTS, exist_ok=True)
            self.assertTrue(self.browser.save_screenshot(os.path.join(ARTIFACTS, name)))

    def test_the_needle_follows_the_rows_until_the_stream_ends(self):
        angle, seconds = 35, 5
        samples = self.scene_samples("line.wav", "--angle", angle, "--duration", seconds,
                                     "--snr", 20, "--seed", 3)
        tool = self.start_tool(samples)
        url = tool.wait_for_url()
        # The page opens on a stream already running: the rows before come as a replay.
        tool.wait_for(lambda: len(tool.rows) >= 2, 60, "the first rows")
        self.browser.get(url)
        delays = []
        page = self.watch(tool, lambda p: p["state"] == "ended", 3 * seconds + 60, False, delays)
        self.assertEqual(tool.proc.wait(timeout=60), 0, tool.stderr)
        rows, _ = tool.rows_seen()
        self.assertEqual(len(rows), seconds * RATE // e2e.WINDOW)
        for row in rows:
            self.assertLessEqual(abs(row["angle"] - angle), 6, row)
        self.assertEqual(page["rows"], len(rows))
        self.assert_drawn_like_the_row(page, rows[-1], False)
        errors = [e for e in self.browser.get_log("browser") if e["level"] == "SEVERE"]
        self.assertEqual(errors, [])
        self.save_screenshot("live_view_linear.png")
        self.report_delays("4 microphones in a line", delays)

    def test_the_talkers_stand_around_the_array_and_on_the_trace(self):
        tool = self.start_tool(self.scene_samples("meeting.wav", *e2e.MEETING), "--track")
        self.browser.get(tool.wait_for_url())
        page = self.watch(tool, lambda p: p["state"] == "ended", 60, False, [])
        rows, _ = tool.rows_seen()
        self.assertEqual(page["rows"], len(rows))
        self.assertTrue(any(r["talkers"] for r in rows))
        self.assertEqual(set(map(tuple, page["tracks"])), talker_tracks(rows))
        self.assertEqual([e for e in self.browser.get_log("browser") if e["level"] == "SEVERE"], [])
        self.save_screenshot("live_view_talkers.png")

    def test_a_tool_that_dies_is_shown_gone(self):
        angle, seconds = 150, 8
        geometry = ["--geometry", "circular", "--spacing", 10]
        samples = self.scene_samples("circle.wav", *geometry, "--angle", angle,
                                     "--duration", seconds, "--snr", 20, "--seed", 4)
        tool = self.start_tool(samples, *geometry)
        self.browser.get(tool.wait_for_url())
        delays = []
        self.watch(tool, lambda p: p["state"] == "live" and len(delays) >= 6, 60, True, delays)
        rows, _ = tool.rows_seen()
        for row in rows:
            self.assertLessEqual(degrees_apart(row["angle"], angle), 4, row)
        self.save_screenshot("live_view_circular.png")
        tool.proc.send_signal(signal.SIGKILL)
        page = self.watch(tool, lambda p: p["state"] != "live", 30, True, delays)
        self.assertEqual(page["state"], "gone")
        self.report_delays("4 microphones on a circle", delays)


if __name__ == "__main__":
    unittest.main()
