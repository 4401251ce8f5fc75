"""The live view over HTTP: the event stream carries the rows of standard output to every viewer,
nothing else is served, a 17th viewer is turned away, a viewer that stops reading holds nobody
up, and the server listens where it is told and stops with the tool."""
import http.client
import json
import os
import re
import signal
import socket
import subprocess
import threading
import time
import unittest
import wave

from tools_e2e import ToolTest, locate_command

URL_LINE = re.compile(r"^iaassl_locate: live view on http://([^/]+):(\d+)/(\?token=([\w.~-]+))?$")
MAX_VIEWERS = 16
PER_ADDRESS = MAX_VIEWERS // 2
RAW = ("--raw-rate", 16000, "--raw-channels", 4)


def start_serving(*args, serve="127.0.0.1:0", header=b""):
    """The tool reading standard input and serving; returns it and the port it took. A WAV
    stream's `header` is read before the server starts."""
    proc = subprocess.Popen(locate_command("-", "--serve", serve, *args), stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    proc.stdin.write(header)
    proc.stdin.flush()
    line = proc.stderr.readline().decode().rstrip("\n")
    match = URL_LINE.match(line)
    if not match:
        proc.kill()
        raise AssertionError(f"no address line: {line!r} {proc.communicate()}")
    proc.token = match.group(4)
    return proc, int(match.group(2))


def get(port, path, host=None, source="127.0.0.1", timeout=60):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout, source_address=(source, 0))
    conn.request("GET", path, headers={"Host": host} if host else {})
    response = conn.getresponse()
    return response.status, response.getheader("Content-Type"), response.read().decode()


def raw_status(port, request):
    """The status line the server answers a request of raw bytes with."""
    with socket.create_connection(("127.0.0.1", port), timeout=30) as sock:
        try:
            sock.sendall(request)
        except (BrokenPipeError, ConnectionResetError):
            pass  # Refused before the whole of it was read; the answer is already on its way.
        return drain(sock).split(b"\r\n", 1)[0].decode()


def open_events(port, query="", source="127.0.0.1"):
    """A viewer of the event stream, once the server has taken it in: the response head is read."""
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=60, source_address=(source, 0))
    conn.request("GET", "/events" + query)
    return conn.getresponse()


def events_of(stream_text):
    """The SSE events of a whole stream, as (name, data) pairs; comments skipped."""
    events = []
    for block in stream_text.split("\n\n"):
        fields = [line.split(": ", 1) for line in block.splitlines() if not line.startswith(":")]
        if fields:
            named = dict(fields)
            events.append((named.get("event", "message"), named["data"]))
    return events


def drain(sock):
    """What a socket has been sent, up to the sender's close."""
    sock.settimeout(30)
    data = b""
    while chunk := sock.recv(1 << 20):
        data += chunk
    return data


def watch_peak_memory(pid):
    """The process's peak resident size in KiB, as last seen before it ended."""
    peak = 0
    try:
        while True:
            with open(f"/proc/{pid}/status") as f:
                peak = int(re.search(r"^VmHWM:\s+(\d+) kB", f.read(), re.M).group(1))
            time.sleep(0.02)
    except (OSError, AttributeError):
        return peak


def listening_addresses(port):
    """Local addresses of the sockets listening on `port`, as the kernel shows them."""
    found = []
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as f:
            for line in f.readlines()[1:]:
                local, state = line.split()[1], line.split()[3]
                address, hex_port = local.split(":")
                if state == "0A" and int(hex_port, 16) == port:
                    found.append(address)
    return found


def without_capture_time(lines):
    rows = [json.loads(line) for line in lines]
    for row in rows:
        row.pop("capture_time")
    return rows


class LiveView(ToolTest):
    def setUp(self):
        super().setUp()
        self.wav = self.scene("s30.wav", "--angle", 30, "--duration", 3, "--snr", 25)
        with open(self.wav, "rb") as f:
            self.wav_bytes = f.read()
        with wave.open(self.wav) as w:
            self.samples = w.readframes(w.getnframes())
        self.header = self.wav_bytes[:len(self.wav_bytes) - len(self.samples)]

    def test_every_viewer_gets_the_rows_of_standard_output_and_nothing_else_is_served(self):
        proc, port = start_serving("--format", "jsonl", header=self.header)
        self.assertEqual(listening_addresses(port), ["0100007F"])
        status, kind, page = get(port, "/")
        self.assertEqual((status, kind), (200, "text/html; charset=utf-8"))
        config = json.loads(re.search(r"const CONFIG = (\{.*?\});", page).group(1))
        self.assertEqual(config, {"input": "standard input", "geometry": "linear", "microphones": 4,
                                  "spacing_cm": 5.0, "angle_min": -90, "angle_max": 90,
                                  "row_seconds": 0.256, "history_seconds": 30})
        for path in ("/x", "/events/x", "/index.html", "/favicon.ico", "/../../../etc/passwd",
                     "/%2e%2e/%2e%2e/etc/passwd", "//etc/passwd"):
            with self.subTest(path=path):
                self.assertEqual(get(port, path)[0], 404)
        viewers = [open_events(port) for _ in range(2)]
        for viewer in viewers:
            self.assertEqual((viewer.status, viewer.getheader("Content-Type")),
                             (200, "text/event-stream"))
        out, err = proc.communicate(self.samples, timeout=300)
        self.assertEqual(proc.returncode, 0, err)
        lines = out.decode().splitlines()
        self.assertEqual(len(lines), 3 * 16000 // (32 * 128))
        for viewer in viewers:
            events = events_of(viewer.read().decode())
            self.assertEqual(events, [("message", line) for line in lines] +
                             [("end", json.dumps({"rows": len(lines)}, separators=(",", ":")))])
        # Viewers or not, standard output holds the same rows.
        alone = subprocess.run(locate_command("-", "--format", "jsonl"), input=self.wav_bytes,
                               capture_output=True, timeout=300)
        self.assertEqual(without_capture_time(alone.stdout.decode().splitlines()),
                         without_capture_time(lines))
        # A late viewer first gets what it missed, then the rest.
        proc, port = start_serving("--format", "jsonl", "--raw-rate", 16000, "--raw-channels", 4)
        window = 32 * 128 * 8
        proc.stdin.write(self.samples[:2 * window])
        proc.stdin.flush()
        missed = [proc.stdout.readline().rstrip(b"\n") for _ in range(2)]
        late = open_events(port)
        proc.stdin.write(self.samples[2 * window:])
        out, err = proc.communicate(timeout=300)
        self.assertEqual(proc.returncode, 0, err)
        missed = [line.decode() for line in missed]
        self.assertEqual([data for name, data in events_of(late.read().decode()) if name == "message"],
                         missed + out.decode().splitlines())

    def test_viewers_beyond_sixteen_or_an_address_share_are_turned_away_and_a_signal_ends_every_stream(self):
        proc, port = start_serving("--raw-rate", 16000, "--raw-channels", 4, "--format", "csv")
        sources = [f"127.0.0.{10 + i // PER_ADDRESS}" for i in range(MAX_VIEWERS)]
        viewers = [open_events(port, source=source) for source in sources]
        self.assertEqual({v.status for v in viewers}, {200})
        self.assertEqual(get(port, "/events", source=sources[0])[0], 429)
        self.assertEqual(get(port, "/events")[0], 503)
        self.assertEqual(get(port, "/")[0], 200)
        viewers.pop().close()
        deadline = time.monotonic() + 30
        # The place and the address's share come free once the server has seen the viewer go.
        while ((replacement := open_events(port, source=sources[-1])).status != 200
               and time.monotonic() < deadline):
            time.sleep(0.1)
        self.assertEqual(replacement.status, 200)
        viewers.append(replacement)
        proc.stdin.write(self.samples[:32 * 128 * 8])
        proc.stdin.flush()
        proc.stdout.readline()
        self.assertTrue(proc.stdout.readline())
        proc.send_signal(signal.SIGINT)
        signalled = time.monotonic()
        # The input stays open: the signal alone ends the run, the streams and the server, at once
        # (the server's own stop would wait up to 2 s).
        out, err = proc.communicate(timeout=60)
        self.assertLess(time.monotonic() - signalled, 1.5)
        proc.stdin.close()
        self.assertEqual(proc.returncode, 0, err)
        for viewer in viewers:
            events = events_of(viewer.read().decode())
            self.assertEqual(events[-1], ("end", '{"rows":1}'))
            self.assertEqual(len(events), 2)
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", port), timeout=10)

    def test_a_viewer_that_stops_reading_holds_up_neither_the_run_nor_the_others(self):
        # More rows than the kernel's buffers take in for a viewer that reads nothing (megabytes).
        stream = self.samples * 200
        args = ["--raw-rate", 16000, "--raw-channels", 4, "--frames", 1, "--format", "jsonl"]

        def timed_run(stalled):
            """Seconds until the last row is out and until the tool has exited, its peak memory,
            its notes, and the rows the stuck viewer got in the end."""
            proc, port = start_serving(*args)
            reader = open_events(port)
            received = []
            reading = threading.Thread(target=lambda: received.append(reader.read().decode()))
            reading.start()
            if stalled:
                stuck = socket.socket()
                stuck.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
                stuck.connect(("127.0.0.1", port))
                stuck.sendall(b"GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                time.sleep(0.5)
            peak_kib = []
            watching = threading.Thread(target=lambda: peak_kib.append(watch_peak_memory(proc.pid)))
            watching.start()
            started = time.monotonic()
            feeding = threading.Thread(target=lambda: (proc.stdin.write(stream),
                                                       proc.stdin.close()))
            feeding.start()
            lines = [line.decode().rstrip("\n") for line in proc.stdout]
            rows_out = time.monotonic() - started
            feeding.join()
            watching.join()
            proc.wait(timeout=600)
            exited = time.monotonic() - started
            self.assertEqual(proc.returncode, 0)
            reading.join()
            self.assertEqual([data for name, data in events_of(received[0]) if name == "message"],
                             lines)
            stuck_rows = None
            if stalled:
                stuck_rows = drain(stuck).count(b"\ndata: {")
                stuck.close()
            return (rows_out, exited, peak_kib[0], proc.stderr.read().decode().splitlines(),
                    len(lines), stuck_rows)

        alone, _, alone_kib, notes, _, _ = timed_run(False)
        self.assertEqual(notes, [])
        held, exited, held_kib, notes, rows, stuck_rows = timed_run(True)
        # The stuck viewer loses rows: dropped from its queue when it falls behind (said on
        # standard error), or all the rest once a write to it has waited too long (a slow run).
        self.assertLess(stuck_rows, rows / 2)
        self.assertLessEqual(len(notes), 1, notes)
        for note in notes:
            self.assertRegex(note, r"^iaassl_locate: a live view viewer fell behind: [1-9]\d* rows "
                                   r"were not sent to it$")
        # Rows held for it would be megabytes.
        if os.environ.get("IAASSL_SANITIZED") != "1":
            self.assertLess(held_kib, alone_kib + 3000, (alone_kib, held_kib))
        # Finishing at all shows the run never waited for the stuck viewer; the time shows it
        # did not crawl either. Only the exit gives the viewers a second to take their last words.
        self.assertLess(held, alone * 3 + 2, (alone, held))
        self.assertLess(exited, held + 4, (held, exited))

    def test_the_address_it_listens_on(self):
        cases = [("0", ["0100007F"]), ("127.0.0.1:0", ["0100007F"]), ("0.0.0.0:0", ["00000000"])]
        for serve, addresses in cases:
            with self.subTest(serve=serve):
                proc, port = start_serving("--raw-rate", 16000, "--raw-channels", 4, serve=serve)
                self.assertEqual(listening_addresses(port), addresses)
                out, err = proc.communicate(b"", timeout=60)
                self.assertEqual(proc.returncode, 0, err)
        # Another tool serving holds its port: a second one is refused, not let in beside it.
        busy, taken = start_serving("--raw-rate", 16000, "--raw-channels", 4)
        for serve, words in ((f"127.0.0.1:{taken}", ["Address already in use"]),
                             ("70000", ["0 to 65535"]), ("port", ["[ADDR:]PORT"]), (":80", ["[ADDR:]PORT"]),
                             ("[::1]:0", ["IPv4"]),
                             ("no.such.host.invalid:0", ["cannot serve"])):
            with self.subTest(serve=serve):
                self.assert_refused([self.wav, "--serve", serve], *words)
        busy.communicate(b"", timeout=60)
        self.assert_refused([self.wav, "--serve", "0", "--mode", "delays"], "--mode direction")

    def test_only_its_own_hosts_are_answered_and_beyond_loopback_only_with_the_token(self):
        proc, port = start_serving(*RAW, "--serve-host", "cam.example")
        self.assertIsNone(proc.token)
        for host in ("127.0.0.1", f"127.0.0.1:{port}", "localhost", f"localhost:{port}",
                     "cam.example", f"cam.example:{port}", f"192.0.2.7:{port}"):
            with self.subTest(host=host):
                self.assertEqual(get(port, "/", host=host)[0], 200)
        for host in ("evil.example", f"evil.example:{port}", "127.0.0.1.evil.example",
                     "localhost.evil.example", "cam.example.evil.example"):
            with self.subTest(host=host):
                status, _, body = get(port, "/events", host=host)
                self.assertEqual((status, body.count("\n")), (403, 1))
                self.assertIn("--serve-host", body)
        _, err = proc.communicate(b"", timeout=60)
        self.assertEqual(len([line for line in err.decode().splitlines() if "--serve-host" in line]), 1)
        token_file = os.path.join(self.dir, "token")
        with open(token_file, "w") as f:
            f.write("kept-by-the-service\n")
        tokens = []
        for args in ((), ("--serve-token-file", token_file)):
            proc, port = start_serving(*RAW, *args, serve="0.0.0.0:0")
            tokens.append(proc.token)
            self.assertEqual(open_events(port, "?token=" + proc.token).status, 200)
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
            conn.request("GET", "/?token=" + proc.token)
            self.assertEqual(conn.getresponse().getheader("Referrer-Policy"), "no-referrer")
            for path in ("/", "/events", "/events?token=", "/events?token=" + proc.token[:-1] + "x"):
                with self.subTest(path=path):
                    self.assertEqual(get(port, path)[0], 403)
            self.assertEqual(get(port, "/?token=" + proc.token, host="evil.example")[0], 403)
            proc.communicate(b"", timeout=60)
        self.assertGreaterEqual(len(tokens[0]), 32)
        self.assertEqual(tokens[1], "kept-by-the-service")

    def test_dripping_and_flooding_clients_leave_the_page_and_the_stream_to_others(self):
        proc, port = start_serving(*RAW, "--format", "jsonl")
        stream = open_events(port, source="127.0.0.2")
        drippers = [socket.create_connection(("127.0.0.1", port), timeout=5) for _ in range(150)]
        for sock in drippers:
            sock.send(b"GET / HTTP/1.1\r\n")
        dripping = threading.Event()

        def drip():
            """One byte of header every half second on each connection still open."""
            while not dripping.wait(0.5):
                for sock in drippers:
                    try:
                        sock.send(b"x")
                    except OSError:
                        pass

        dripper = threading.Thread(target=drip)
        dripper.start()
        try:
            # A request head gets a second: until then every dripper holds a worker.
            time.sleep(0.5)
            asked = time.monotonic()
            self.assertEqual(get(port, "/", source="127.0.0.3", timeout=5)[0], 200)
            self.assertLess(time.monotonic() - asked, 1)
            for sock in drippers:
                self.assertRegex(drain(sock), rb"^HTTP/1\.1 400 ")
            self.assertLess(time.monotonic() - asked, 2)
            out, err = proc.communicate(self.samples, timeout=300)
        finally:
            dripping.set()
            dripper.join()
            for sock in drippers:
                sock.close()
        self.assertEqual(proc.returncode, 0, err)
        self.assertEqual([data for name, data in events_of(stream.read().decode()) if name == "message"],
                         out.decode().splitlines())

    def test_requests_it_cannot_take_get_an_http_error(self):
        proc, port = start_serving(*RAW)
        lying_chunks = b"POST / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\nffff\r\nab\r\n0\r\n\r\n"
        for request in (b"NOT HTTP AT ALL\r\n\r\n", b"GET / HTTP/1.1\r\nX: " + b"a" * 200_000 + b"\r\n\r\n",
                        b"GET / HTTP/1.1\r\n" + b"X: y\r\n" * 5000 + b"\r\n", lying_chunks,
                        b"GET /\0/ HTTP/1.1\r\nHost: x\r\n\r\n",
                        b"POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 1\r\n\r\nx",
                        b"DELETE /events HTTP/1.1\r\nHost: x\r\n\r\n"):
            with self.subTest(request=request[:40]):
                self.assertRegex(raw_status(port, request), r"^HTTP/1\.[01] [45]\d\d ")
        self.assertEqual(get(port, "/")[0], 200)
        proc.communicate(b"", timeout=60)
        self.assertEqual(proc.returncode, 0)


if __name__ == "__main__":
    unittest.main()
