"""Vibrolan from Python: the program's own core, not a re-implementation.

    import vibrolan
    rec = vibrolan.read_recording("run.bld")          # header + records, no copy
    cfg = vibrolan.load_config("run.lfm")             # plain, editable objects
    cfg.stages[0].pairs[0].checked = False
    vibrolan.save_config(cfg, "edited.lfm")
    res = vibrolan.analyze(cfg, progress=print)       # the same run as vibrolan-cli
    pair = res.stages[0].pairs["Pa1"]
    pair.deflection                                   # float32 [blade x revolution]
    res.resonances                                    # DataFrame: blade resonances (EO, f, damping, ...)
    res.asynchronous                                  # DataFrame: stall / flutter segments
    res.save_hdf5("run.h5")
    vibrolan.simulate("runup", "out/", scale=0.1)

Errors arrive as vibrolan.Error (FileError, FormatError, BadValueError) with
the program's messages. Long work releases the GIL.
"""
from __future__ import annotations

import dataclasses
import datetime as _dt
import os
from dataclasses import dataclass, field
from typing import Callable, Optional, Sequence

import numpy as np

from . import _core
from .errors import BadValueError, Error, FileError, FormatError

__all__ = [
    "Error", "FileError", "FormatError", "BadValueError",
    "Recording", "read_recording",
    "Sensor", "Pair", "Stage", "Config", "load_config", "save_config",
    "Result", "StageResult", "PairResult", "analyze",
    "simulate", "preset_names", "__version__",
]

__version__ = _core.__version__

SERIES_2D = ("deflection", "middle_line", "velocity", "stress", "resonance_curve", "stall_oscillation")

# ---------------------------------------------------------------- recordings

Recording = _core.Recording


def _record_date(days: float) -> Optional[_dt.datetime]:
    if not days:
        return None
    return _dt.datetime(1899, 12, 30) + _dt.timedelta(days=days)


def read_recording(path) -> Recording:
    """Header and pulse records of a .bld (mapped, not copied) or .bldx (unpacked) recording.

    `records` is a read-only NumPy structured array over the file's own bytes with the
    fields channel (uint8: bits 0-5 the channel, bit 7 a flag), marker (uint8) and
    ticks (uint32, the free-running counter); `channel_numbers()` gives channel & 63.
    """
    return _core.read_recording(path)


Recording.date = property(lambda self: _record_date(self.record_date_days),
                          doc="Date and time of the recording (None when not set)")
Recording.channel_numbers = lambda self: self.records["channel"] & 63
Recording.__len__ = lambda self: len(self.records)
Recording.__repr__ = lambda self: (f"<vibrolan.Recording {self.path!r}: {len(self.records)} records, "
                                   f"{len(self.channels)} channels, tick {self.tick_period:g} s>")

# ------------------------------------------------------------- configuration


@dataclass
class Sensor:
    name: str = ""
    channel: int = 1       # recorder channel, from 1
    type: int = 0          # 0 root, 1 tip, 2 inlet edge, 3 outlet edge, 4 tacho, 5/6 capacitive, 7 time code, 8 IRIG-B
    first_blade: int = 1


@dataclass
class Pair:
    name: str = ""
    root: int = 0          # index into Config.sensors
    tip: int = 0           # index into Config.sensors
    fi: float = 0.0        # angle between the sensors, degrees
    base: float = 0.0
    tacho_shift: float = 0.0
    skip_blade: int = 0
    checked: bool = True


@dataclass
class Stage:
    name: str = ""
    type: int = 0          # 0 free, 1 shrouded, 2 linked, 3 aero-engine
    diameter_mm: float = 0.0
    blade_count: int = 0
    calibration_blades: int = 0
    calibre_mm: float = 0.0
    reverse_numbering: bool = False
    resonance_bottom: float = 0.0
    resonance_delta_top: float = 0.0
    tacho_sensor: int = 0  # index into Config.sensors
    tacho_divisor: int = 0  # marks per revolution minus one (254: signature)
    KfSigma: float = 0.0
    Q: float = 0.0
    LimStressResonance: float = 0.0
    LimStressStill: float = 0.0
    CfResonance: float = 0.0
    CfStill: float = 0.0
    BIn: float = 0.0
    BOut: float = 0.0
    f1: float = 0.0
    pairs: list = field(default_factory=list)


@dataclass
class Config:
    """An analysis configuration. `path` is the file it came from: the fields not shown
    here keep that file's values when the configuration is saved or analysed, and its
    folder holds the tacho signature files."""
    recording: str = ""
    mode: int = 0          # 0 run-through, 1 steady state
    settings: dict = field(default_factory=dict)
    sensors: list = field(default_factory=list)
    stages: list = field(default_factory=list)
    path: Optional[str] = None

    def to_dict(self) -> dict:
        d = dataclasses.asdict(self)
        d.pop("path")
        return d


def _config_from_dict(d: dict, path) -> Config:
    stages = []
    for s in d["stages"]:
        s = dict(s)
        s["pairs"] = [Pair(**p) for p in s["pairs"]]
        stages.append(Stage(**s))
    return Config(recording=d["recording"], mode=d["mode"], settings=dict(d["settings"]),
                  sensors=[Sensor(**s) for s in d["sensors"]], stages=stages,
                  path=None if path is None else os.fspath(path))


def load_config(path) -> Config:
    """Reads a configuration (.lfm) into plain Python objects."""
    return _config_from_dict(_core.load_config(path), path)


def save_config(config: Config, path) -> None:
    """Writes the configuration to `path` (replaced only when complete). Fields not
    carried by the objects come from config.path (defaults when None)."""
    _core.save_config(config.to_dict(), path, config.path)


# ------------------------------------------------------------------ results


class PairResult:
    """One checked pair of a run. 1-D series and the per-blade series (`blade_series`)
    are read-only views of the run's own storage; the 2-D [blade x revolution] arrays
    are assembled from them once, on first use."""

    def __init__(self, out, stage: int, pair: int, blades: int):
        self._out, self._s, self._p, self._blades = out, stage, pair, blades
        info = out.pair_info(stage, pair)
        self.name = info.pop("name")
        self.stats = {k: info.pop(k) for k in ("mean", "rms", "min", "max")}
        self.attrs = info
        self._cache = {}

    def __repr__(self):
        return f"<vibrolan.PairResult {self.name!r}: {self.blades} blades x {self.revolutions} revolutions>"

    @property
    def blades(self) -> int:
        return self._blades

    @property
    def revolutions(self) -> int:
        return self.attrs["revolutions_accepted"]

    @property
    def time_s(self):
        return self._out.pair_series(self._s, self._p, "time_s")

    @property
    def speed_rpm(self):
        return self._out.pair_series(self._s, self._p, "speed_rpm")

    @property
    def time_of_day_s(self):
        """Decoded time code per revolution; None without a time-code sensor."""
        return self._out.pair_series(self._s, self._p, "time_of_day_s")

    def blade_series(self, kind: str, blade: int):
        """View of one blade slot's series (0-based slot): "ampl" (dynamic part),
        "middle_line", "velocity", "stress", "resonance_curve", "stall_oscillation"."""
        return self._out.blade_series(self._s, self._p, kind, blade)

    def _matrix(self, kind: str):
        if kind not in self._cache:
            rows = []
            for b in range(self._blades):
                if kind == "deflection":
                    a = self.blade_series("ampl", b)
                    m = self.blade_series("middle_line", b)
                    v = None if a is None else (a if m is None else a + m)
                else:
                    v = self.blade_series(kind, b)
                rows.append(np.full(self.revolutions, np.nan, np.float32) if v is None else v)
            self._cache[kind] = np.array(rows, dtype=np.float32).reshape(self._blades, self.revolutions)
        return self._cache[kind]

    deflection = property(lambda self: self._matrix("deflection"),
                          doc="Raw deflection (dynamic part + middle line), mm, [blade x revolution]")
    middle_line = property(lambda self: self._matrix("middle_line"))
    velocity = property(lambda self: self._matrix("velocity"))
    stress = property(lambda self: self._matrix("stress"))
    resonance_curve = property(lambda self: self._matrix("resonance_curve"))
    stall_oscillation = property(lambda self: self._matrix("stall_oscillation"))

    def frame(self, kind: str = "deflection"):
        """A pandas DataFrame of one kind: rows revolutions (indexed by time_s), columns blades."""
        import pandas as pd
        return pd.DataFrame(getattr(self, kind).T, index=pd.Index(self.time_s, name="time_s"),
                            columns=[f"blade{b + 1}" for b in range(self._blades)])


class StageResult:
    def __init__(self, out, stage: int, pairs: Sequence[int]):
        info = out.stage_info(stage)
        self.name = info.pop("name")
        self.index = stage
        self.attrs = info
        self.pairs = {}
        for p in pairs:
            r = PairResult(out, stage, p, info["blade_count"])
            self.pairs[r.name] = r

    def __repr__(self):
        return f"<vibrolan.StageResult {self.name!r}: pairs {list(self.pairs)}>"


class Result:
    """The results of analyze(): stages (with their checked pairs), the report text
    and the messages the run would have shown."""

    def __init__(self, out):
        self._out = out
        self.stages = [StageResult(out, s, [p for st, p in out.checked_pairs if st == s])
                       for s in range(out.stage_count)]
        self.report = "\n".join(out.report_lines)
        self.messages = list(out.messages)
        self.tick_period = out.tick_period
        self._tables = None

    def identify(self, progress: Optional[Callable[[str, int, int], object]] = None) -> dict:
        """Every table of the identification, by name: "resonances" (a row per blade
        and resonance), "resonance_events", "resonances_not_identified" (run-through
        runs only), "asynchronous" (a row per segment), "asynchronous_track",
        "asynchronous_blades". Each is a pandas DataFrame (units in .attrs["units"])
        when pandas is installed, otherwise a dict of NumPy arrays. Made once, on
        first use (progress(phase, done, total) as in analyze()); the columns are
        those of the HDF5 file's tables (docs/hdf5_layout.md)."""
        if self._tables is None:
            tables = {}
            try:
                import pandas as pd
            except ImportError:
                pd = None
            for name, columns, units in self._out.identification_tables(progress):
                if pd is not None:
                    frame = pd.DataFrame(columns, columns=list(columns))
                    frame.attrs["units"] = units
                    tables[name] = frame
                else:
                    tables[name] = columns
            self._tables = tables
        return self._tables

    @property
    def resonances(self):
        """The identified blade resonances (see identify()); None for a steady run."""
        return self.identify().get("resonances")

    @property
    def asynchronous(self):
        """The asynchronous vibration segments (see identify())."""
        return self.identify().get("asynchronous")

    @property
    def identification_notes(self) -> list:
        """What the identification had to say about the input (steps left out and why)."""
        return list(self._out.identification_notes())

    def stage(self, name: str) -> StageResult:
        for s in self.stages:
            if s.name == name:
                return s
        raise KeyError(name)

    def save_hdf5(self, path, identify: bool = True,
                  progress: Optional[Callable[[str, int, int], object]] = None) -> None:
        """The whole run as one HDF5 file (the layout of `vibrolan-cli export --hdf5`),
        with the identification's tables unless identify is False."""
        self._out.save_hdf5(path, __version__, identify, progress)

    def __repr__(self):
        return f"<vibrolan.Result: {len(self.stages)} stages>"


def analyze(config, recording=None, data: Optional[Sequence] = None,
            progress: Optional[Callable[[str, int, int], object]] = None) -> Result:
    """Runs the analysis as `vibrolan-cli analyze` does.

    config: a Config or the path of a .lfm file. recording: replaces the configured
    recording. data: up to five .zami/.prx data files as the input of stage 0's pairs.
    progress(phase, done, total) is called as the run advances (at most once per
    percent); an exception raised there stops the run.
    """
    if isinstance(config, Config):
        d, source = config.to_dict(), config.path
    else:
        d, source = None, config
    out = _core.analyze(d, source, recording, list(data or []), progress)
    return Result(out)


# ---------------------------------------------------------------- simulator


def preset_names():
    return _core.preset_names()


def simulate(scenario, out_dir, name: Optional[str] = None, seed: Optional[int] = None,
             scale: float = 1.0, bldx: bool = False, truth: bool = True) -> dict:
    """Writes a simulated recording, its configuration and ground truth into out_dir.

    scenario: a preset name (see preset_names()) or a dict of the JSON scenario format.
    scale shortens (or lengthens) the duration. Returns the paths written and per-pair
    counts of the assembly."""
    os.makedirs(out_dir, exist_ok=True)
    return _core.simulate(scenario, out_dir, name, seed, scale, bldx, truth)
