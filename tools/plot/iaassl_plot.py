#!/usr/bin/python3
"""Draws the angle track of an iaassl_locate run (CSV) over time, the talkers it followed with
--track, and the truth of a simulated scene or meeting when given, into a PNG."""
import argparse
import collections
import csv
import math
import os
import re
import sys

MISSING_MARKERS = {"below_gate": "v", "no_direction": "x", "delay_too_large": "^"}
OUTCOMES = {"angle", *MISSING_MARKERS}
TRACK_COLUMNS = ["time_s", "outcome", "angle"]
# One talker of a track's talkers cell: "ID:ANGLE", a star while speaking.
TALKER = re.compile(r"(\d+):(-?\d+(?:\.\d+)?)(\*?)")
# Blue, red and grey stand for the raw angles, the missing windows and the truth.
TALKER_COLOURS = ["tab:orange", "tab:green", "tab:purple", "tab:brown", "tab:pink", "tab:olive",
                  "tab:cyan"]
SPEAKING_WIDTH = 4
SILENT_WIDTH = 1

Talker = collections.namedtuple("Talker", "id angle speaking")
TruthPoint = collections.namedtuple("TruthPoint", "time angle")
Turn = collections.namedtuple("Turn", "talker start end angle")


class BadRow(ValueError):
    pass


def fail(message):
    sys.exit(f"iaassl_plot: {message}")


def finite(text, what):
    try:
        value = float(text)
    except ValueError:
        value = math.nan
    if not math.isfinite(value):
        raise BadRow(f"{what} '{text}' is not a number")
    return value


def track_row(row):
    """(time, outcome, angle or None) of an iaassl_locate row."""
    outcome = row["outcome"]
    if outcome not in OUTCOMES:
        raise BadRow(f"unknown outcome '{outcome}'")
    angle = None
    if outcome == "angle":
        try:
            angle = int(row["angle"])
        except ValueError:
            raise BadRow(f"angle '{row['angle']}' is not a whole number") from None
    return finite(row["time_s"], "time"), outcome, angle, None


def talkers_cell(text):
    talkers = []
    for item in text.split():
        match = TALKER.fullmatch(item)
        if not match:
            raise BadRow(f"talker '{item}' is not ID:ANGLE with a star while speaking")
        talkers.append(Talker(int(match[1]), float(match[2]), bool(match[3])))
    return talkers


def tracked_row(row):
    """An iaassl_locate --track row: the plain row's and the talkers known."""
    return (*track_row(row)[:3], talkers_cell(row["talkers"]))


def truth_row(row):
    return TruthPoint(finite(row["time_s"], "time"), finite(row["angle"], "angle"))


def turn_row(row):
    """One spoken interval of a meeting's truth."""
    talker = row["talker"].strip()
    if not talker:
        raise BadRow("the talker is empty")
    start, end = finite(row["start_s"], "start"), finite(row["end_s"], "end")
    if end < start:
        raise BadRow(f"the turn ends at {end} before it starts at {start}")
    return Turn(talker, start, end, finite(row["angle"], "angle"))


def read_rows(path, forms):
    """The rows of a CSV file, each parsed by the first of the forms (columns, parse) whose
    columns its header names."""
    try:
        with open(path, newline="", encoding="utf-8") as f:
            reader = csv.DictReader(f)
            missing = [[c for c in columns if c not in (reader.fieldnames or [])] for columns, _ in forms]
            if all(missing):
                fail(f"'{path}' lacks the columns {', '.join(min(missing, key=len))}")
            columns, parse = forms[missing.index([])]
            rows = []
            for row in reader:
                if any(row[c] is None for c in columns):
                    raise BadRow("the row is short")
                rows.append(parse(row))
            return rows
    except OSError as e:
        fail(f"cannot read '{path}': {e.strerror}")
    except (UnicodeDecodeError, csv.Error):
        fail(f"cannot read '{path}': it is not CSV text")
    except BadRow as e:
        fail(f"'{path}' line {reader.line_num}: {e}")


def talker_colour(talker_id):
    return TALKER_COLOURS[(talker_id - 1) % len(TALKER_COLOURS)]


def talker_paths(track, half):
    """Each talker's windows as runs of (start, middle, end, angle, speaking), split where it was
    not known for a window or jumped across a circle's seam."""
    paths = collections.defaultdict(list)
    last_seen = {}
    for i, (t, _, _, talkers) in enumerate(track):
        for talker in talkers or []:
            runs = paths[talker.id]
            previous = last_seen.get(talker.id)
            if previous is None or previous[0] != i - 1 or abs(talker.angle - previous[1]) >= 180:
                runs.append([])
            runs[-1].append((t, t + half, t + 2 * half, talker.angle, talker.speaking))
            last_seen[talker.id] = (i, talker.angle)
    return paths


def draw_talkers(ax, track, half):
    """A thin line where a talker is known, heavy over the windows it speaks in."""
    for talker_id, runs in sorted(talker_paths(track, half).items()):
        colour = talker_colour(talker_id)
        for run in runs:
            ax.plot([w[1] for w in run], [w[3] for w in run], color=colour, linewidth=SILENT_WIDTH)
            speaking = []
            for window in run + [None]:
                if window and window[4]:
                    speaking.append(window)
                    continue
                if speaking:
                    xs = [speaking[0][0], *(w[1] for w in speaking), speaking[-1][2]]
                    ys = [speaking[0][3], *(w[3] for w in speaking), speaking[-1][3]]
                    ax.plot(xs, ys, color=colour, linewidth=SPEAKING_WIDTH, solid_capstyle="butt")
                speaking = []
        first = runs[0][0]
        ax.annotate(str(talker_id), (first[1], first[3]), xytext=(-4, 4), textcoords="offset points",
                    ha="right", color=colour, fontweight="bold")
        ax.plot([], [], color=colour, linewidth=SPEAKING_WIDTH, label=f"talker {talker_id}")


def draw_truth(ax, truth):
    """A simulated scene's angle as a line; a meeting's turns as light bars named once each."""
    points = [r for r in truth if isinstance(r, TruthPoint)]
    if points:
        ax.plot([p.time for p in points], [p.angle for p in points], color="tab:gray", linewidth=2,
                label="truth")
    named = set()
    for turn in (r for r in truth if isinstance(r, Turn)):
        ax.plot([turn.start, turn.end], [turn.angle, turn.angle], color="tab:gray", alpha=0.35,
                linewidth=8, solid_capstyle="butt", label=None if named else "truth")
        if turn.talker not in named:
            ax.annotate(turn.talker, (turn.start, turn.angle), xytext=(0, -7), textcoords="offset points",
                        va="top", color="tab:gray", fontsize="small")
        named.add(turn.talker)


def draw(track, truth, title):
    # Imported only once the input has been read: it takes longer than the rest of a refusal.
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    tracking = any(talkers is not None for *_, talkers in track)
    fig, ax = plt.subplots(figsize=(10 if tracking else 8, 4), dpi=100)
    draw_truth(ax, truth)
    # A row stands for the window that starts at its time: draw it at the window's middle.
    half = (track[1][0] - track[0][0]) / 2 if len(track) > 1 else 0.0
    found = [(t, a) for t, outcome, a, _ in track if outcome == "angle"]
    ax.plot([t + half for t, _ in found], [a for _, a in found], "o", color="tab:blue",
            markersize=2 if tracking else 4, label="located")
    if tracking:
        draw_talkers(ax, track, half)
    # Windows without an angle sit on the lower edge, so gaps in the track are explained.
    bottom = min([a for _, a in found] + [r.angle for r in truth] + [-90])
    for outcome, marker in MISSING_MARKERS.items():
        times = [t + half for t, o, *_ in track if o == outcome]
        if times:
            ax.plot(times, [bottom - 10] * len(times), marker, color="tab:red", label=outcome)
    ax.set_xlabel("time (s)")
    ax.set_ylabel("angle (degrees)")
    ax.set_title(title)
    ax.grid(True, alpha=0.3)
    if tracking:
        # Beside the plot: a meeting's tracks fill it from end to end.
        ax.legend(loc="upper left", bbox_to_anchor=(1.01, 1), fontsize="small")
    else:
        ax.legend(loc="best", fontsize="small")
    fig.tight_layout()
    return fig


def save(fig, out):
    # A name without a type is a PNG, written under that very name.
    kind = os.path.splitext(out)[1][1:].lower() or "png"
    supported = fig.canvas.get_supported_filetypes()
    if kind not in supported:
        fail(f"cannot write '{out}': unknown image type '{kind}' (use {', '.join(sorted(supported))})")
    try:
        fig.savefig(out, format=kind)
    except OSError as e:
        fail(f"cannot write '{out}': {e.strerror or e}")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("track", help="CSV written by iaassl_locate --format csv")
    parser.add_argument("--truth", help="CSV written by iaassl_simulate --truth (time_s,angle), or "
                        "a meeting's turns (talker,start_s,end_s,angle)")
    parser.add_argument("--title", default="Direction of arrival")
    parser.add_argument("-o", "--output", required=True, help="PNG to write")
    args = parser.parse_args()
    track = read_rows(args.track, [(TRACK_COLUMNS + ["talkers"], tracked_row), (TRACK_COLUMNS, track_row)])
    truth_forms = [(["talker", "start_s", "end_s", "angle"], turn_row), (["time_s", "angle"], truth_row)]
    truth = read_rows(args.truth, truth_forms) if args.truth else []
    save(draw(track, truth, args.title), args.output)


if __name__ == "__main__":
    main()
