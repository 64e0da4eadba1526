"""The identification's tables in the whole-run HDF5 file, read with h5py and
pandas only: against the simulator's truth (the modes file) and against the
CSV tables of the `resonances` and `asynchronous` commands on the same run."""
import os
from pathlib import Path

import h5py
import numpy as np
import pandas as pd
import pytest

from conftest import run_cli

DATA = Path(os.environ.get("VIBROLAN_TEST_DATA", Path(__file__).parent.parent / "data"))


def table(group, name):
    d = group[name]
    frame = pd.DataFrame(d[:])
    for c in frame.columns:
        if frame[c].dtype == object:
            frame[c] = frame[c].map(lambda v: v.decode() if isinstance(v, bytes) else v)
    return frame, d.attrs["units"]


def simulated(tmp, scenario):
    run_cli("simulate", "--scenario", DATA / scenario, "--out", tmp, "--name", "sim")
    return tmp / "sim.lfm", pd.read_csv(tmp / "sim.modes.csv")


@pytest.fixture(scope="module")
def runup(tmp_path_factory):
    d = tmp_path_factory.mktemp("runup_fast")
    lfm, modes = simulated(d, "sim_runup_fast.json")
    run_cli("resonances", lfm, "--csv", d / "res.csv")
    r = run_cli("export", lfm, "--hdf5", d / "run.h5")
    assert "blade resonances" in r.stdout
    return {"h5": d / "run.h5", "csv": pd.read_csv(d / "res.csv"), "modes": modes, "lfm": lfm, "dir": d}


@pytest.fixture(scope="module")
def stall(tmp_path_factory):
    d = tmp_path_factory.mktemp("async")
    lfm, modes = simulated(d, "sim_async.json")
    run_cli("asynchronous", lfm, "--csv", d / "async.csv")
    run_cli("export", lfm, "--hdf5", d / "run.h5")
    return {"h5": d / "run.h5", "csv": pd.read_csv(d / "async.csv"), "modes": modes}


def test_resonance_table_holds_the_true_orders_and_frequencies(runup):
    truth = runup["modes"][runup["modes"]["kind"] == "resonance"]
    with h5py.File(runup["h5"], "r") as f:
        assert "resonances" in f.attrs["identification"]
        res, units = table(f["St1"], "resonances")
        events, _ = table(f["St1"], "resonance_events")
        assert f["St1"]["resonances"].dtype["eo_given"] == np.bool_
    assert "frequency_hz: Hz" in units and "amplitude: mm" in units and "speed_rpm: rpm" in units
    assert not res.empty
    for _, t in truth.iterrows():
        row = res[(res["blade"] == t["blade"]) & (res["engine_order"] == t["engine_order"])]
        assert len(row) == 1, (t["blade"], t["engine_order"])
        row = row.iloc[0]
        assert row["frequency_hz"] == pytest.approx(t["natural_hz"], rel=0.01)
        assert row["damping_ratio"] == pytest.approx(t["damping_ratio"], rel=0.5)
        assert row["speed_rpm"] == pytest.approx(60 * row["frequency_hz"] / row["engine_order"])
        assert row["rpm_from"] <= row["peak_rpm"] <= row["rpm_to"]
        assert row["time_from_s"] < row["time_to_s"]
        assert not row["eo_given"]
        # Its event is a row of the event table and holds its speed.
        ev = events[events["event"] == row["event"]]
        assert len(ev) == 1
        assert ev.iloc[0]["rpm_from"] - 50 <= row["peak_rpm"] <= ev.iloc[0]["rpm_to"] + 50
    assert (res["stage"] == 1).all()


def test_resonance_table_is_the_commands_csv(runup):
    with h5py.File(runup["h5"], "r") as f:
        res, _ = table(f["St1"], "resonances")
    csv = runup["csv"]
    assert len(res) == len(csv)
    for col in ["stage", "blade", "engine_order", "pairs"]:
        np.testing.assert_array_equal(res[col].to_numpy(), csv[col].to_numpy(), err_msg=col)
    for col, atol in [("speed_rpm", 5e-4), ("frequency_hz", 5e-5), ("phase_deg", 5e-3), ("quality", 5e-5)]:
        np.testing.assert_allclose(res[col], csv[col], rtol=0, atol=atol, err_msg=col)
    for col in ["damping_ratio", "amplitude"]:
        np.testing.assert_allclose(res[col], csv[col], rtol=1e-5, err_msg=col)


def test_asynchronous_tables_hold_the_true_components(stall):
    truth = stall["modes"][stall["modes"]["kind"].isin(["stall", "flutter"])]
    with h5py.File(stall["h5"], "r") as f:
        segments = {s: table(f[s], "asynchronous")[0] for s in ("St1", "St2")}
        track = {s: table(f[s], "asynchronous_track")[0] for s in ("St1", "St2")}
        blades = {s: table(f[s], "asynchronous_blades")[0] for s in ("St1", "St2")}
        assert f["St1"]["asynchronous"].dtype["ambiguous"] == np.bool_
        # A run at nearly constant speed crosses no resonance: its tables are there, and empty.
        assert f["St1"]["resonances"].shape == (0,) and "резонанс не пройден" in f.attrs["identification_notes"]
    for stage, name in [(1, "St1"), (2, "St2")]:
        t = truth[truth["stage"] == stage].iloc[0]
        seg = segments[name]
        assert len(seg) == 1, seg
        s = seg.iloc[0]
        lo, hi = sorted([t["frequency_hz"], t["frequency_end_hz"]])
        assert lo * 0.995 <= s["frequency_hz"] <= hi * 1.005
        assert s["nodal_diameter"] == t["nodal_diameter"] and s["nodal_diameter_known"]
        assert s["time_from_s"] == pytest.approx(t["time_from_s"], abs=1)
        assert s["time_to_s"] == pytest.approx(t["time_to_s"], abs=1)
        assert s["amplitude_mean"] == pytest.approx(t["mean_amplitude_mm"], rel=0.1)
        # The track lies inside its segment; the blades' means average to the segment's.
        tr = track[name]
        assert (tr["segment"] == 1).all() and len(tr) >= 2
        assert (tr["time_s"] >= s["time_from_s"] - 1).all() and (tr["time_s"] <= s["time_to_s"] + 1).all()
        bl = blades[name]
        assert sorted(bl["blade"]) == list(range(1, len(bl) + 1))
        assert bl["amplitude_mean"].mean() == pytest.approx(s["amplitude_mean"], rel=1e-9)


def test_asynchronous_table_is_the_commands_csv(stall):
    with h5py.File(stall["h5"], "r") as f:
        seg = pd.concat([table(f[s], "asynchronous")[0] for s in ("St1", "St2")], ignore_index=True)
    csv = stall["csv"]
    assert len(seg) == len(csv)
    for col in ["stage", "nodal_diameter", "blades"]:
        np.testing.assert_array_equal(seg[col].to_numpy(), csv[col].to_numpy(), err_msg=col)
    for col, atol in [("time_from_s", 5e-4), ("time_to_s", 5e-4), ("speed_rpm", 0.05), ("frequency_hz", 5e-4),
                      ("quality", 5e-5)]:
        np.testing.assert_allclose(seg[col], csv[col], rtol=0, atol=atol, err_msg=col)
    for col in ["amplitude_mean", "amplitude_max"]:
        np.testing.assert_allclose(seg[col], csv[col], rtol=1e-5, err_msg=col)


def test_without_identification_the_file_has_no_tables(runup):
    out = runup["dir"] / "plain.h5"
    run_cli("export", runup["lfm"], "--hdf5", out, "--no-identify")
    with h5py.File(out, "r") as f:
        assert "identification" not in f.attrs
        assert not [k for k in f["St1"] if k.startswith(("resonance", "asynchronous"))]
    r = run_cli("export", runup["lfm"], "--pair", "Pa1", "--out", runup["dir"] / "x", "--no-identify",
                check=False)
    assert r.returncode == 1 and "--no-identify belongs to --hdf5" in r.stderr
