#!/usr/bin/python3
"""How well iaassl_locate --track follows the talkers of simulated meetings, and what it costs.

Renders a few meetings with iaassl_simulate (speech from espeak-ng, one voice a talker), locates
each with `iaassl_locate FILE --track --format jsonl` on the tool's defaults, and scores the rows
(meeting_score.py): the raw rows beside the tracker. Then the tool's CPU time on the longest
meeting with and without --track.

Usage: track_meetings.py IAASSL_LOCATE IAASSL_SIMULATE [--keep DIR]
"""
import argparse
import collections
import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import meeting_score  # noqa: E402

COST_RUNS = 5
# The meeting played this many times over for the cost: a minute takes a tenth of a CPU second,
# too little to tell 2 % from the machine's noise.
COST_REPEATS = 10
SPACING_CM = "5"
ROOM = ["--room", "6", "5", "3", "--absorption", "0.5"]
# A fan, away from every talker: in the room, under the sensor noise, and one nearer and louder.
FAN = ["--noise-source", "85", "20"]
LOUD_FAN = ["--noise-source", "85", "10"]
RATE = "16000"
# espeak-ng pauses between sentences; kept short, a talker's stretch in the truth is speech throughout.
LONGEST_PAUSE_S = "0.12"

Voice = collections.namedtuple("Voice", "name text")
VOICES = [
    Voice("en-us", "Good morning everyone, let us start with the budget for next year. "
                   "The numbers from the field teams came in late, but they look better than we feared. "
                   "Travel is down by a fifth, and the new office costs less than the old one did. "
                   "I would still like to keep a reserve for the second half, in case sales slow down. "
                   "Can we agree to review the plan again in three months? "
                   "Then we move on to hiring, which is the harder question today. "
                   "We have two open positions in support and one in the lab. "
                   "The lab role has been open since spring, and nobody suitable has applied. "
                   "Perhaps we should widen the search to people who could move here."),
    Voice("en-gb", "Thank you, I have a few remarks on the figures before we go on. "
                   "The office savings only start next quarter, because the lease overlaps for two months. "
                   "So the first half will look worse than the summary suggests. "
                   "On hiring, I agree that the lab position needs a wider search. "
                   "We could also train someone from the support team, who already knows the product. "
                   "That would take half a year, but they would stay longer. "
                   "Last time we hired from outside, the new person left within a year. "
                   "I can draft a training plan by the end of the month, if that helps."),
    Voice("en-029", "I would like to add something about the customers we visited last week. "
                    "Three of them asked for the same feature, a report they can print for auditors. "
                    "It sounds small, but it decides whether they renew the contract. "
                    "Our developers think it takes about six weeks to build properly. "
                    "If we start now, it ships before the renewals in autumn. "
                    "I also heard complaints about slow answers from support. "
                    "That supports hiring the two support people first. "
                    "Let us make sure the training plan covers the new report as well."),
]

Scene = collections.namedtuple("Scene", "name mics geometry duration talkers options")
# Turns with pauses, a few 0.3 s gaps inside turns, one overlap (23.5-28 and 27.6-31), and lulls.
THREE_TALKERS = ["0.5-4,4.3-7.5,23.5-28,39-42.5,42.8-45,55.5-58",
                 "8.3-13,27.6-31,46-50",
                 "13.8-17.5,17.8-20.5,32-36,51-54.5"]
TWO_TALKERS = ["0.5-4,4.3-7,15-19,24-27.5,27.8-30,38-41.5",
               "7.8-12,18.7-23,33-37,42.5-44.5"]
LINE_ANGLES = ["-55", "5", "50"]
SCENES = [
    Scene("1 line, 3 talkers", 4, "linear", 60, list(zip(LINE_ANGLES, THREE_TALKERS)),
          ["--snr", "30", "--seed", "1"]),
    Scene("2 circle, 3 talkers", 4, "circular", 60, list(zip(["-10", "110", "230"], THREE_TALKERS)),
          ["--snr", "30", "--seed", "2"]),
    Scene("3 two mics, 2 talkers", 2, "linear", 45, list(zip(["-45", "35"], TWO_TALKERS)),
          ["--snr", "30", "--seed", "3"]),
    Scene("4 noisy line + fan", 4, "linear", 60, list(zip(LINE_ANGLES, THREE_TALKERS)),
          ["--snr", "10", *FAN, "--seed", "4"]),
    Scene("5 fan alone", 4, "linear", 30, [], ["--snr", "30", *FAN, "--seed", "5"]),
    Scene("6 line + loud fan", 4, "linear", 60, list(zip(LINE_ANGLES, THREE_TALKERS)),
          ["--snr", "10", *LOUD_FAN, "--seed", "4"]),
]


def run(command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def make_voices(work):
    paths = []
    for index, voice in enumerate(VOICES):
        spoken, path = os.path.join(work, f"voice{index}_22k.wav"), os.path.join(work, f"voice{index}.wav")
        run(["espeak-ng", "-v", voice.name, "-w", spoken, voice.text])
        # -R: sox's dither is random otherwise, and the meetings would differ from run to run.
        run(["sox", "-R", spoken, "-r", RATE, path,
             "silence", "-l", "1", "0.02", "-40d", "-1", LONGEST_PAUSE_S, "-40d", "gain", "-n", "-3"])
        paths.append(path)
    return paths


def array_options(scene):
    return ["--geometry", scene.geometry, "--spacing", SPACING_CM]


def render(scene, voices, simulate, recording, truth):
    talkers = []
    for voice, (angle, times) in zip(voices, scene.talkers):
        talkers += ["--talker", voice, angle, times]
    run([simulate, "-o", recording, "--truth", truth, "--mics", str(scene.mics), *array_options(scene), *ROOM,
         "--duration", str(scene.duration), *talkers, *scene.options])


def locate_command(locate, recording, scene, track=True):
    return [locate, recording, *(["--track"] if track else []), "--format", "jsonl", *array_options(scene)]


def child_cpu_seconds(command):
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    # Reaped here, with its own usage: Popen must not wait for it again.
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode:
        raise subprocess.CalledProcessError(child.returncode, command)
    return usage.ru_utime + usage.ru_stime


def tracking_cost(locate, recording, scene):
    """Median CPU seconds with --track and without; runs interleaved, as the machine is shared."""
    seconds = {True: [], False: []}
    for _ in range(COST_RUNS):
        for track in seconds:
            seconds[track].append(child_cpu_seconds(locate_command(locate, recording, scene, track)))
    return statistics.median(seconds[True]), statistics.median(seconds[False])


def pair(figures, name, digits=3):
    return "/".join(meeting_score.shown(figures[side][name], digits) for side in ("raw", "tracker"))


def latency(figures, side):
    return "/".join(meeting_score.shown(figures[side][name], 2) for name in ("latency_median", "latency_p90"))


def print_table(results):
    columns = ["scene", "coverage raw/trk", "purity", "ids distinct", "latency raw med/p90",
               "latency trk med/p90", "false raw/trk"]
    lines = [columns]
    for scene, figures in results:
        tracker = figures["tracker"]
        lines.append([scene.name, pair(figures, "coverage"), meeting_score.shown(tracker["purity"]),
                      meeting_score.shown(tracker["ids_distinct"]), latency(figures, "raw"),
                      latency(figures, "tracker"), pair(figures, "false")])
    widths = [max(len(line[i]) for line in lines) for i in range(len(columns))]
    for line in lines:
        print(" | ".join(cell.ljust(width) for cell, width in zip(line, widths)))


def bench(locate, simulate, work):
    voices = make_voices(work)
    results, recordings = [], []
    for index, scene in enumerate(SCENES, 1):
        recording, truth = os.path.join(work, f"scene{index}.wav"), os.path.join(work, f"scene{index}_truth.csv")
        rows = os.path.join(work, f"scene{index}_rows.jsonl")
        render(scene, voices, simulate, recording, truth)
        with open(rows, "w") as out:
            subprocess.run(locate_command(locate, recording, scene), check=True, stdout=out)
        figures = meeting_score.score(meeting_score.read_rows(rows), meeting_score.read_truth(truth),
                                      scene.mics, scene.geometry)
        results.append((scene, figures))
        recordings.append((scene, recording))
    print_table(results)
    longest, recording = max(recordings, key=lambda scene_recording: scene_recording[0].duration)
    repeated = os.path.join(work, "cost.wav")
    run(["sox", *[recording] * COST_REPEATS, repeated])
    with_track, without = tracking_cost(locate, repeated, longest)
    print(f"cost on scene {longest.name!r} {COST_REPEATS} times over, median of {COST_RUNS}: "
          f"{with_track:.3f} CPU s with --track, "
          f"{without:.3f} without, ratio {with_track / without:.3f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("locate")
    parser.add_argument("simulate")
    parser.add_argument("--keep", metavar="DIR", help="keep the voices, recordings, truths and rows here")
    args = parser.parse_args()
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)
        bench(args.locate, args.simulate, args.keep)
    else:
        with tempfile.TemporaryDirectory() as work:
            bench(args.locate, args.simulate, work)


if __name__ == "__main__":
    main()
