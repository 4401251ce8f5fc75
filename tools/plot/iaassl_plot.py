#!/usr/bin/python3
"""Draws the angle track of an iaassl_locate run (CSV) over time, and the truth of a simulated
scene when given, into a PNG."""
import argparse
import csv
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (the backend must be chosen first)

MISSING_MARKERS = {"below_gate": "v", "no_direction": "x", "delay_too_large": "^"}


def read_rows(path, columns):
    try:
        with open(path, newline="") as f:
            reader = csv.DictReader(f)
            missing = [c for c in columns if c not in (reader.fieldnames or [])]
            if missing:
                sys.exit(f"iaassl_plot: '{path}' lacks the columns {', '.join(missing)}")
            return list(reader)
    except OSError as e:
        sys.exit(f"iaassl_plot: cannot read '{path}': {e.strerror}")


def draw(track, truth, title, out):
    fig, ax = plt.subplots(figsize=(8, 4), dpi=100)
    if truth:
        ax.plot([float(r["time_s"]) for r in truth], [float(r["angle"]) for r in truth],
                color="tab:gray", linewidth=2, label="truth")
    # A row stands for the window that starts at its time: draw it at the window's middle.
    starts = [float(r["time_s"]) for r in track]
    half = (starts[1] - starts[0]) / 2 if len(starts) > 1 else 0.0
    found = [r for r in track if r["outcome"] == "angle"]
    ax.plot([float(r["time_s"]) + half for r in found], [int(r["angle"]) for r in found], "o",
            color="tab:blue", markersize=4, label="located")
    # Windows without an angle sit on the lower edge, so gaps in the track are explained.
    bottom = min([int(r["angle"]) for r in found] + [float(r["angle"]) for r in truth] + [-90])
    for outcome, marker in MISSING_MARKERS.items():
        times = [float(r["time_s"]) + half for r in track if r["outcome"] == outcome]
        if times:
            ax.plot(times, [bottom - 10] * len(times), marker, color="tab:red", label=outcome)
    ax.set_xlabel("time (s)")
    ax.set_ylabel("angle (degrees)")
    ax.set_title(title)
    ax.grid(True, alpha=0.3)
    ax.legend(loc="best", fontsize="small")
    fig.tight_layout()
    fig.savefig(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("track", help="CSV written by iaassl_locate --format csv")
    parser.add_argument("--truth", help="CSV written by iaassl_simulate --truth")
    parser.add_argument("--title", default="Direction of arrival")
    parser.add_argument("-o", "--output", required=True, help="PNG to write")
    args = parser.parse_args()
    track = read_rows(args.track, ["time_s", "outcome", "angle"])
    truth = read_rows(args.truth, ["time_s", "angle"]) if args.truth else []
    draw(track, truth, args.title, args.output)


if __name__ == "__main__":
    main()
