#!/usr/bin/python3
"""Draws the angle track of an iaassl_locate run (CSV) over time, and the truth of a simulated
scene when given, into a PNG."""
import argparse
import csv
import math
import os
import sys

MISSING_MARKERS = {"below_gate": "v", "no_direction": "x", "delay_too_large": "^"}
OUTCOMES = {"angle", *MISSING_MARKERS}


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
    return finite(row["time_s"], "time"), outcome, angle


def truth_row(row):
    return finite(row["time_s"], "time"), finite(row["angle"], "angle")


def read_rows(path, columns, parse):
    try:
        with open(path, newline="", encoding="utf-8") as f:
            reader = csv.DictReader(f)
            missing = [c for c in columns if c not in (reader.fieldnames or [])]
            if missing:
                fail(f"'{path}' lacks the columns {', '.join(missing)}")
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


def draw(track, truth, title):
    # Imported only once the input has been read: it takes longer than the rest of a refusal.
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, ax = plt.subplots(figsize=(8, 4), dpi=100)
    if truth:
        ax.plot([t for t, _ in truth], [a for _, a in truth], color="tab:gray", linewidth=2,
                label="truth")
    # A row stands for the window that starts at its time: draw it at the window's middle.
    half = (track[1][0] - track[0][0]) / 2 if len(track) > 1 else 0.0
    found = [(t, a) for t, outcome, a in track if outcome == "angle"]
    ax.plot([t + half for t, _ in found], [a for _, a in found], "o", color="tab:blue",
            markersize=4, label="located")
    # Windows without an angle sit on the lower edge, so gaps in the track are explained.
    bottom = min([a for _, a in found] + [a for _, a in truth] + [-90])
    for outcome, marker in MISSING_MARKERS.items():
        times = [t + half for t, o, _ in track if o == outcome]
        if times:
            ax.plot(times, [bottom - 10] * len(times), marker, color="tab:red", label=outcome)
    ax.set_xlabel("time (s)")
    ax.set_ylabel("angle (degrees)")
    ax.set_title(title)
    ax.grid(True, alpha=0.3)
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
    parser.add_argument("--truth", help="CSV written by iaassl_simulate --truth")
    parser.add_argument("--title", default="Direction of arrival")
    parser.add_argument("-o", "--output", required=True, help="PNG to write")
    args = parser.parse_args()
    track = read_rows(args.track, ["time_s", "outcome", "angle"], track_row)
    truth = read_rows(args.truth, ["time_s", "angle"], truth_row) if args.truth else []
    save(draw(track, truth, args.title), args.output)


if __name__ == "__main__":
    main()
