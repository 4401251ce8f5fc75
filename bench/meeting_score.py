#!/usr/bin/python3
"""Scores the talkers of iaassl_locate's rows against the truth of a meeting recording.

Rows: the tool's JSON Lines (`iaassl_locate FILE --track --format jsonl`), one object a window.
Truth: the CSV `talker,start_s,end_s,angle` that `iaassl_simulate --truth` writes, a row a spoken stretch.
The figures are given twice: for the tracker's speaking talkers, and for the raw rows taken as
talkers (a row with an angle is one speaking talker there, without an id).

Usage: meeting_score.py ROWS.jsonl TRUTH.csv [--mics 2|4] [--geometry linear|circular]
"""
import argparse
import collections
import csv
import json
import math
import statistics

Stretch = collections.namedtuple("Stretch", "talker start end angle")

# A person's first half second is left out of coverage: the tracker may take that long to start a talker.
SETTLING_S = 0.5
# Latency is measured on stretches this long that follow this much of the person's silence.
LATENCY_STRETCH_S = 1.0
LATENCY_SILENCE_S = 0.5
# Silence counts for false talkers only this long after the last stretch ended (reverberation, hangover).
SILENCE_AFTER_S = 0.7
TOLERANCE_DEG = {2: 8.0, 4: 5.0}


def read_rows(path):
    with open(path) as f:
        return [json.loads(line) for line in f if line.strip()]


def read_truth(path):
    with open(path, newline="") as f:
        return [Stretch(r["talker"], float(r["start_s"]), float(r["end_s"]), float(r["angle"]))
                for r in csv.DictReader(f)]


def window_length(rows):
    """The smallest step between rows: a break in the audio drops windows but never shortens one."""
    steps = [b["time_s"] - a["time_s"] for a, b in zip(rows, rows[1:]) if b["time_s"] > a["time_s"]]
    if not steps:
        raise ValueError("the window length needs at least two rows")
    return min(steps)


def angle_distance(geometry):
    if geometry == "circular":
        return lambda a, b: abs((a - b + 180.0) % 360.0 - 180.0)
    return lambda a, b: abs(a - b)


def speaking_talkers(row, raw):
    """(id, angle) of each talker speaking in the row; the raw row is one talker without an id."""
    if raw:
        return [] if row.get("angle") is None else [(None, row["angle"])]
    return [(t["id"], t["angle"]) for t in row.get("talkers", []) if t["speaking"]]


class Scene:
    def __init__(self, rows, truth, mics, geometry):
        self.rows, self.truth = rows, truth
        self.window = window_length(rows)
        self.tolerance = TOLERANCE_DEG[mics]
        self.distance = angle_distance(geometry)

    def middle(self, row):
        return row["time_s"] + self.window / 2

    def stretches_at(self, t):
        return [s for s in self.truth if s.start <= t < s.end]

    def near(self, talker, stretch):
        return self.distance(talker[1], stretch.angle) <= self.tolerance

    def covers(self, talkers, stretch):
        return len(talkers) == 1 and self.near(talkers[0], stretch)

    def coverage_and_purity(self, raw):
        eligible, ids = 0, collections.defaultdict(list)
        for row in self.rows:
            t = self.middle(row)
            speaking = self.stretches_at(t)
            if len(speaking) != 1 or t < speaking[0].start + SETTLING_S:
                continue
            eligible += 1
            talkers = speaking_talkers(row, raw)
            if self.covers(talkers, speaking[0]):
                ids[speaking[0].talker].append(talkers[0][0])
        coverage = sum(map(len, ids.values())) / eligible if eligible else None
        if raw or not ids:
            return coverage, None, None
        common = {person: collections.Counter(found).most_common(1)[0] for person, found in ids.items()}
        purity = min(count / len(ids[person]) for person, (_, count) in common.items())
        distinct = len({found for found, _ in common.values()}) == len(common)
        return coverage, purity, distinct

    def latency_stretches(self):
        chosen, last_end = [], {}
        for s in sorted(self.truth, key=lambda s: s.start):
            quiet_since = last_end.get(s.talker, 0.0)
            if s.end - s.start >= LATENCY_STRETCH_S and s.start - quiet_since >= LATENCY_SILENCE_S:
                chosen.append(s)
            last_end[s.talker] = max(last_end.get(s.talker, 0.0), s.end)
        return chosen

    def latency(self, stretch, raw):
        """From the stretch's start to the end of its first window with just one talker near the person."""
        for row in self.rows:
            if not stretch.start <= self.middle(row) < stretch.end:
                continue
            near = [t for t in speaking_talkers(row, raw) if self.near(t, stretch)]
            if len(near) == 1:
                return row["time_s"] + self.window - stretch.start
        return math.inf

    def latencies(self, raw):
        values = sorted(self.latency(s, raw) for s in self.latency_stretches())
        if not values:
            return None, None
        return statistics.median(values), values[math.ceil(0.9 * len(values)) - 1]

    def false_share(self, raw):
        silent = []
        for row in self.rows:
            t = self.middle(row)
            ended = [s.end for s in self.truth if s.end <= t]
            if not self.stretches_at(t) and (not ended or t > max(ended) + SILENCE_AFTER_S):
                silent.append(bool(speaking_talkers(row, raw)))
        return sum(silent) / len(silent) if silent else None

    def figures(self, raw):
        coverage, purity, distinct = self.coverage_and_purity(raw)
        median, p90 = self.latencies(raw)
        return {"coverage": coverage, "purity": purity, "ids_distinct": distinct,
                "latency_median": median, "latency_p90": p90, "false": self.false_share(raw)}


def score(rows, truth, mics=4, geometry="linear"):
    """The figures of the raw rows and of the tracker: {"raw": {...}, "tracker": {...}}."""
    scene = Scene(rows, truth, mics, geometry)
    return {"raw": scene.figures(raw=True), "tracker": scene.figures(raw=False)}


def shown(value, digits=3):
    """A figure as printed: '-' where the scene has nothing to measure it on."""
    if value is None:
        return "-"
    if isinstance(value, bool):
        return "yes" if value else "no"
    return "inf" if math.isinf(value) else f"{value:.{digits}f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("rows")
    parser.add_argument("truth")
    parser.add_argument("--mics", type=int, choices=sorted(TOLERANCE_DEG), default=4)
    parser.add_argument("--geometry", choices=["linear", "circular"], default="linear")
    args = parser.parse_args()
    figures = score(read_rows(args.rows), read_truth(args.truth), args.mics, args.geometry)
    print(f"{'':18s} {'raw':>8s} {'tracker':>8s}")
    for name, digits in [("coverage", 3), ("purity", 3), ("ids_distinct", 0), ("latency_median", 2),
                         ("latency_p90", 2), ("false", 3)]:
        print(f"{name:18s} {shown(figures['raw'][name], digits):>8s} {shown(figures['tracker'][name], digits):>8s}")


if __name__ == "__main__":
    main()
