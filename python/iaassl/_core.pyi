import os
from typing import Literal, Optional, Union, overload

import numpy as np
import numpy.typing as npt

Outcome = Literal["angle", "below_gate", "no_direction", "delay_too_large"]
Samples = npt.NDArray[Union[np.int16, np.float32, np.float64]]

class Talker:
    @property
    def id(self) -> int: ...
    @property
    def angle(self) -> float: ...
    @property
    def speaking(self) -> bool: ...

class Row:
    @property
    def time_s(self) -> float: ...
    @property
    def outcome(self) -> Outcome: ...
    @property
    def angle(self) -> Optional[int]: ...
    @property
    def talkers(self) -> tuple[Talker, ...]: ...

class DelayRow:
    @property
    def time_s(self) -> float: ...
    @property
    def delays(self) -> tuple[Optional[int], ...]: ...

class Localiser:
    def __init__(
        self,
        channels: Literal[2, 4] = 4,
        rate: int = 16000,
        *,
        geometry: Literal["linear", "circular"] = "linear",
        spacing_cm: float = 5.0,
        temperature: int = 25,
        gate_db: int = -80,
        frames: int = 32,
        track: bool = False,
        forget_s: float = 30.0,
        max_talkers: int = 4,
    ) -> None: ...
    def feed(self, samples: Samples) -> list[Row]: ...
    def delays(self, samples: Samples) -> np.ma.MaskedArray[tuple[int, int], np.dtype[np.int32]]: ...
    def reset(self) -> None: ...
    @property
    def channels(self) -> int: ...
    @property
    def rate(self) -> int: ...
    @property
    def geometry(self) -> str: ...
    @property
    def spacing_cm(self) -> float: ...
    @property
    def temperature(self) -> int: ...
    @property
    def gate_db(self) -> int: ...
    @property
    def frames(self) -> int: ...
    @property
    def track(self) -> bool: ...
    @property
    def forget_s(self) -> float: ...
    @property
    def max_talkers(self) -> int: ...

@overload
def locate(
    path: Union[str, os.PathLike[str]],
    *,
    geometry: Literal["linear", "circular"] = "linear",
    spacing_cm: float = 5.0,
    temperature: int = 25,
    gate_db: int = -80,
    frames: int = 32,
    mode: Literal["direction"] = "direction",
    track: bool = False,
    forget_s: float = 30.0,
    max_talkers: int = 4,
) -> list[Row]: ...
@overload
def locate(
    path: Union[str, os.PathLike[str]],
    *,
    geometry: Literal["linear", "circular"] = "linear",
    spacing_cm: float = 5.0,
    temperature: int = 25,
    gate_db: int = -80,
    frames: int = 32,
    mode: Literal["delays"],
    track: Literal[False] = False,
) -> list[DelayRow]: ...
