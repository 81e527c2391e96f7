# Type hints of the compiled module tcsum (see the README, "Python module").
from typing import Any, Iterator, Optional, Sequence

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
    def to_numpy(self) -> Any: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[Line]: ...

class DecayScheme:
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
