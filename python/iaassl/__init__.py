"""Sound source localisation for 2- and 4-microphone arrays: NumPy samples in, the rows of
iaassl_locate out.

    import iaassl
    loc = iaassl.Localiser(channels=4, rate=16000, geometry="linear", spacing_cm=5)
    for row in loc.feed(samples):      # int16 (n, 4), or float in -1..1; any n, call after call
        print(row.time_s, row.outcome, row.angle)
    rows = iaassl.locate("scene.wav", spacing_cm=5, track=True)
    print(rows[-1].talkers)            # (Talker(id=1, angle=-12.5, speaking=True), ...)
"""
from ._core import DelayRow, Localiser, Row, Talker, locate

__all__ = ["DelayRow", "Localiser", "Row", "Talker", "locate"]
