# Type hints of the compiled module tcsum (see the README, "Python module").
import os
from typing import Any, Iterator, Optional, Sequence, Union

import numpy as np
import numpy.typing as npt

__version__: str

class Error(ValueError, RuntimeError): ...
class TcsumWarning(UserWarning): ...

class Line:
    kind: str
    label: str
    upper: Optional[int]
    lower: Optional[int]
    energy_keV: float
    emission_percent: float
    rate0_percent: float
    rate_percent: float
    factor: float
    uncertainty: Optional[dict[str, Any]]
    def to_dict(self) -> dict[str, Any]: ...

class Result:
    model: str
    name: str
    parent: str
    dsid: str
    lines: list[Line]
    warnings: list[str]
    settings: dict[str, str]
    def line(self, energy_keV: float, tolerance: float = 0.5, kind: str = "") -> Line: ...
    def to_dicts(self) -> list[dict[str, Any]]: ...
    def to_numpy(self) -> np.ndarray: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[Line]: ...

_Path = Union[str, os.PathLike[str]]
_Numbers = Union[float, Sequence[float], npt.ArrayLike]

class Efficiency:
    @staticmethod
    def from_points(energies_keV: _Numbers, total: _Numbers, peak: _Numbers, *,
                    name: str = "points") -> Efficiency: ...
    @staticmethod
    def from_csv(path: str) -> Efficiency: ...
    @staticmethod
    def from_curve(total: Sequence[float], peak: Sequence[float], *, energy_unit: str = "keV",
                   energy_range: Optional[tuple[float, float]] = None,
                   name: str = "coefficients") -> Efficiency: ...
    @staticmethod
    def from_toml(path: str) -> Efficiency: ...
    @staticmethod
    def from_geometry(detector: str, source: str, *, calibration: str = "",
                      calibration_geometry: str = "", peak_to_total: str = "") -> Efficiency: ...
    def __call__(self, energies_keV: _Numbers) -> tuple[np.ndarray, np.ndarray]: ...
    description: str
    points: int

class DecayScheme:
    @staticmethod
    def from_ensdf(paths: Union[_Path, Sequence[_Path]], nuclide: str, *,
                   isomer_threshold: Union[float, str] = 1e-6) -> list[DecayScheme]: ...
    @staticmethod
    def from_data_file(path: str) -> list[DecayScheme]: ...
    def __init__(self, levels: Sequence[dict[str, Any]], transitions: Sequence[dict[str, Any]], *,
                 name: str = "", parent: str = "", decay_mode: str = "", daughter_z: int = 0,
                 xrays: Optional[dict[str, Any]] = None) -> None: ...
    name: str
    parent: str
    dsid: str
    decay_mode: str
    daughter_z: int
    source: str
    levels: list[dict[str, Any]]
    transitions: list[dict[str, Any]]
    xrays: dict[str, Any]

def compute_data_file(path: str, *, u_total: Optional[float] = None, u_peak: Optional[float] = None,
                      correlation: str = "full", samples: int = 10000, seed: int = 20231117,
                      jobs: int = 1) -> list[Result]: ...

def compute(scheme: DecayScheme, efficiency: Efficiency, *, model: str = "complete",
            annihilation: str = "back-to-back", peak_window_keV: Optional[float] = None,
            isomer_threshold: Union[float, str] = 1e-6, u_total: Optional[float] = None,
            u_peak: Optional[float] = None, samples: int = 10000,
            seed: int = 20231117) -> Result: ...
