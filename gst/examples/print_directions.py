#!/usr/bin/python3
"""Prints the direction of each window of a 4-microphone recording, from the pipeline's bus."""
import sys

import gi
gi.require_version("Gst", "1.0")
from gi.repository import Gst

Gst.init(None)
pipeline = Gst.parse_launch(f"filesrc location={sys.argv[1]} ! wavparse ! iaassllocate spacing=5 ! fakesink")
bus = pipeline.get_bus()
pipeline.set_state(Gst.State.PLAYING)
wanted = Gst.MessageType.ELEMENT | Gst.MessageType.EOS | Gst.MessageType.ERROR
while (message := bus.timed_pop_filtered(Gst.CLOCK_TIME_NONE, wanted)).type == Gst.MessageType.ELEMENT:
    s = message.get_structure()
    if s.get_name() == "iaassl-direction":
        angle = s.get_value("angle") if s.has_field("angle") else ""
        print(f"{s.get_value('timestamp') / Gst.SECOND:.3f} s", s.get_value("outcome"), angle)
pipeline.set_state(Gst.State.NULL)
