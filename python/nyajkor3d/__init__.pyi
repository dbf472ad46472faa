from os import PathLike
from typing import Any, Callable, Iterable, Mapping, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

Path = Union[str, PathLike[str]]
Table = dict[str, np.ndarray]
Triple = Tuple[int, int, int]

class Flock:
    def __init__(
        self,
        *,
        seed: Optional[int] = ...,
        n: Optional[int] = ...,
        speed: Optional[int] = ...,
        noise: Optional[int] = ...,
        radius: Optional[int] = ...,
        equilibrium: Optional[int] = ...,
        distance_mode: Optional[str] = ...,
        strength: Optional[int] = ...,
        cohesion: Optional[int] = ...,
        centre: Optional[str] = ...,
        centre_at: Optional[Triple] = ...,
        centre_strength: Optional[int] = ...,
        perceivers: Optional[int] = ...,
        predators: Optional[int] = ...,
        predator_range: Optional[int] = ...,
        reaction: Optional[int] = ...,
        box: Optional[Union[int, Triple]] = ...,
        boundary: Optional[str] = ...,
        noise_model: Optional[str] = ...,
        density: Optional[float] = ...,
    ) -> None: ...
    @classmethod
    def load(cls, path: Path, **controls: Any) -> "Flock": ...
    def tick(self) -> None: ...
    def run(
        self, ticks: int, every: Optional[int] = ..., callback: Optional[Callable[["Flock"], Any]] = ...
    ) -> Table: ...
    def snapshot(self) -> dict[str, Any]: ...
    def correlation(self, bin: float = ...) -> dict[str, Any]: ...
    def write_frame(
        self,
        path: Path,
        *,
        alpha: Optional[int] = ...,
        beta: Optional[int] = ...,
        zoom: Optional[int] = ...,
        anaglyph: Optional[bool] = ...,
        no_cube: Optional[bool] = ...,
        size: Tuple[int, int] = ...,
    ) -> None: ...
    def record(self, path: Path, every: int = ...) -> "Recording": ...
    def record_movie(self, path: Path, every: int = ..., size: Tuple[int, int] = ...) -> "Recording": ...
    @property
    def recording(self) -> bool: ...
    def save(self, path: Path) -> None: ...
    @property
    def controls(self) -> dict[str, Any]: ...
    @controls.setter
    def controls(self, moves: Mapping[str, Any]) -> None: ...
    @property
    def order(self) -> float: ...
    @property
    def neighbours(self) -> float: ...
    @property
    def nearest_distance(self) -> float: ...
    @property
    def tick_count(self) -> int: ...
    @property
    def n(self) -> int: ...
    @property
    def positions(self) -> npt.NDArray[np.float64]: ...
    @property
    def velocities(self) -> npt.NDArray[np.float64]: ...
    @property
    def predators(self) -> npt.NDArray[np.float64]: ...
    @property
    def centre(self) -> Tuple[float, float, float]: ...

class Recording:
    def close(self) -> None: ...
    def discard(self) -> None: ...
    def __enter__(self) -> "Recording": ...
    def __exit__(self, kind: Any, value: Any, traceback: Any) -> bool: ...

Grid = Mapping[Union[str, Tuple[str, ...]], Iterable[Any]]

def sweep(
    grid: Grid,
    *,
    repeats: int = ...,
    warmup: int = ...,
    ticks: int = ...,
    seed: Optional[int] = ...,
    jobs: Optional[int] = ...,
    shard: Optional[Union[str, Tuple[int, int]]] = ...,
    correlation: Optional[float] = ...,
    every: Optional[int] = ...,
    **controls: Any,
) -> dict[str, Table]: ...
def merge(
    paths: Sequence[Path],
    grid: Grid,
    *,
    repeats: int = ...,
    warmup: int = ...,
    ticks: int = ...,
    seed: Optional[int] = ...,
    **controls: Any,
) -> dict[str, Table]: ...
