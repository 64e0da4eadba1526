"""The vibrolan module against independent views of the same data: the
simulator's ground truth and scenario, the file's own bytes, and
vibrolan-cli's output for the same configuration."""
import csv
import datetime as dt
import gc
import os
import threading
import time

import h5py
import numpy as np
import pandas as pd
import pytest
import vibrolan

from conftest import run_cli

SCENARIO = {
    "name": "hdr", "seed": 9, "recorder_code": 1280, "duration_s": 1.5,
    "date": "2025-06-07", "start_time": "10:11:12",
    "speed": {"points": [[0, 3000], [1.5, 3600]]},
    "tacho": {"divisor": 1, "channel": 1},
    "stages": [{"name": "A", "blades": 12, "diameter_mm": 700,
                "probes": [{"name": "K", "channel": 2, "kind": "root", "angle_deg": 0},
                           {"name": "P", "channel": 3, "kind": "tip", "angle_deg": 3}],
                "pairs": [{"name": "AP", "root": "K", "tip": "P"}]}],
}


def mappings_of(path):
    """Address ranges at which this process maps `path` (from /proc/self/maps)."""
    real = os.path.realpath(path)
    ranges = []
    with open("/proc/self/maps") as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 6 and parts[5] == real:
                lo, hi = (int(x, 16) for x in parts[0].split("-"))
                ranges.append((lo, hi))
    return ranges


def test_read_recording_gives_the_header_and_the_files_own_records(tmp_path):
    written = vibrolan.simulate(SCENARIO, tmp_path, bldx=True, truth=False)
    rec = vibrolan.read_recording(written["recording"])
    assert rec.recorder_code == 1280
    assert rec.tick_period == pytest.approx(1.25e-8)
    assert rec.date == dt.datetime(2025, 6, 7, 10, 11, 12)
    names = {c["name"] for c in rec.channels}
    assert {"K", "P"} <= names
    assert len(rec.records) == written["records"]
    assert rec.records.dtype.names == ("channel", "marker", "ticks")
    assert rec.records.dtype.itemsize == 6

    # The records are the file's bytes in place: no copy, read-only, inside the mapping.
    raw = np.fromfile(written["recording"], dtype=np.uint8)
    start = rec.first_record * 6
    expected = raw[start:start + 6 * len(rec.records)].view(rec.records.dtype)
    np.testing.assert_array_equal(rec.records, expected)
    a = rec.records
    assert not a.flags.owndata and not a.flags.writeable
    with pytest.raises(ValueError):
        a["ticks"][0] = 1
    address = a.__array_interface__["data"][0]
    assert any(lo <= address and address + a.nbytes <= hi for lo, hi in mappings_of(written["recording"]))
    np.testing.assert_array_equal(rec.channel_numbers(), rec.records["channel"] & 63)

    # The array keeps the recording alive on its own.
    del rec
    gc.collect()
    np.testing.assert_array_equal(a, expected)

    packed = vibrolan.read_recording(written["compressed"])
    assert packed.compressed and not packed.messages
    np.testing.assert_array_equal(packed.records, expected)
    assert packed.date == dt.datetime(2025, 6, 7, 10, 11, 12)


def test_bad_recordings_are_exceptions_with_the_programs_messages(tmp_path):
    with pytest.raises(vibrolan.FileError, match="gone.bld") as e:
        vibrolan.read_recording(tmp_path / "gone.bld")
    assert isinstance(e.value, OSError)
    written = vibrolan.simulate(SCENARIO, tmp_path, truth=False)
    cut = tmp_path / "cut.bld"
    cut.write_bytes(open(written["recording"], "rb").read()[:40])
    with pytest.raises(vibrolan.FormatError, match="cut.bld"):
        vibrolan.read_recording(cut)
    broken = tmp_path / "broken.bldx"
    broken.write_bytes(b"\x00" * 3)
    with pytest.raises(vibrolan.Error, match="broken.bldx"):
        vibrolan.read_recording(broken)


def test_config_edits_are_saved_and_everything_else_kept(runup, tmp_path):
    cfg = vibrolan.load_config(runup["config"])
    assert [s.name for s in cfg.stages] == ["St1", "St2"]
    assert isinstance(cfg.stages[0].pairs[0], vibrolan.Pair)

    # Saved unchanged, the program describes the same configuration.
    same = tmp_path / "same.lfm"
    vibrolan.save_config(cfg, same)
    def described(path):  # without the first line, which names the file
        return run_cli("config", "show", path).split("\n", 1)[1]

    assert described(same) == described(runup["config"])

    cfg.stages[0].pairs[1].checked = False
    cfg.stages[0].pairs[0].name = "Первая"
    cfg.stages[1].diameter_mm = 612.5
    cfg.sensors[2].channel = 9
    cfg.settings["dN"] = 37.25
    edited = tmp_path / "edited.lfm"
    vibrolan.save_config(cfg, edited)
    back = vibrolan.load_config(edited)
    assert back.stages[0].pairs[0].name == "Первая"
    assert back.stages[0].pairs[1].checked is False
    assert back.stages[1].diameter_mm == 612.5
    assert back.settings["dN"] == 37.25
    shown = run_cli("config", "show", edited)
    assert "channel 9" in shown and "Первая" in shown


def test_bad_configurations_are_refused_and_the_file_kept(runup, tmp_path):
    target = tmp_path / "keep.lfm"
    vibrolan.save_config(vibrolan.load_config(runup["config"]), target)
    before = target.read_bytes()

    def edited(change):
        c = vibrolan.load_config(runup["config"])
        change(c)
        return c

    cases = [
        (lambda c: setattr(c.stages[0].pairs[0], "tip", 99), "pair tip"),
        (lambda c: setattr(c.stages[0], "blade_count", 300), "blade_count"),
        (lambda c: c.stages.extend([vibrolan.Stage()] * 4), "at most 5 stages"),
        (lambda c: c.settings.update(nonsense=1), "unknown setting \"nonsense\""),
        (lambda c: setattr(c.sensors[0], "channel", 0), "sensor channel"),
        (lambda c: setattr(c.stages[0], "name", 5), "stage name"),
    ]
    for change, message in cases:
        with pytest.raises(vibrolan.BadValueError, match=message):
            vibrolan.save_config(edited(change), target)
        assert target.read_bytes() == before
    with pytest.raises(vibrolan.BadValueError, match="extension"):
        vibrolan.save_config(vibrolan.load_config(runup["config"]), tmp_path / "noext")
    with pytest.raises(vibrolan.FileError):
        vibrolan.load_config(tmp_path / "missing.lfm")


def read_truth(path):
    t = pd.read_csv(path, comment="/")
    return {(s, p): g for (s, p), g in t.groupby(["stage", "pair"])}


def test_analyze_gives_the_simulated_deflections_and_the_clis_results(runup, tmp_path):
    calls = []
    res = vibrolan.analyze(runup["config"], progress=lambda *a: calls.append(a))
    truth = read_truth(runup["truth"])
    run_cli("analyze", runup["config"], "--series", tmp_path / "csv")
    report = run_cli("analyze", runup["config"])
    assert res.report.strip() == report.strip()

    seen = 0
    for s, stage in enumerate(res.stages):
        for k, (name, pair) in enumerate(stage.pairs.items()):
            t = truth[(s + 1, k + 1)]
            n = pair.revolutions
            assert n > 20 and pair.deflection.shape == (stage.attrs["blade_count"], n)
            blades = t[[f"blade{b + 1}" for b in range(pair.blades)]].to_numpy()[:n].T
            np.testing.assert_allclose(pair.deflection, blades, rtol=1e-5, atol=0.02)
            np.testing.assert_allclose(pair.speed_rpm, t["speed_rpm"].to_numpy()[:n], rtol=1e-5)
            with open(tmp_path / "csv" / f"{stage.name}_{name}.csv", newline="") as f:
                rows = list(csv.DictReader(f))
            np.testing.assert_array_equal(pair.time_s, np.array([float(r["time_s"]) for r in rows], np.float32))
            np.testing.assert_allclose(pair.time_of_day_s, [float(r["uts_time_s"]) for r in rows], rtol=1e-14)
            ampl = pair.blade_series("ampl", 0)
            np.testing.assert_allclose(ampl, [float(r["blade1"]) for r in rows], rtol=2e-7, atol=1e-9)
            np.testing.assert_array_equal(pair.stats["max"], pair.deflection.max(axis=1))
            seen += 1
    assert seen == 3

    phases = [c[0] for c in calls]
    assert "pass" in phases
    passes = [c for c in calls if c[0] == "pass"]
    assert all(0 <= done <= total for _, done, total in passes)
    assert passes[-1][1] > 0.9 * passes[-1][2] > 0  # the pass ends just before the recording does


def test_results_are_views_that_outlive_the_result(runup):
    res = vibrolan.analyze(runup["config"])
    pair = res.stages[0].pairs["Pa1"]
    time_s, ampl = pair.time_s, pair.blade_series("ampl", 2)
    for v in (time_s, ampl):
        assert not v.flags.owndata and not v.flags.writeable
    # The same storage on every access, not a fresh copy.
    assert np.shares_memory(time_s, pair.time_s)
    expected = time_s.copy(), ampl.copy()
    del res, pair
    gc.collect()
    np.testing.assert_array_equal(time_s, expected[0])
    np.testing.assert_array_equal(ampl, expected[1])


def test_an_edited_config_object_is_analysed_as_edited(runup, tmp_path):
    cfg = vibrolan.load_config(runup["config"])
    cfg.stages[0].pairs[0].checked = False
    res = vibrolan.analyze(cfg)
    assert list(res.stage("St1").pairs) == ["Pa2"]
    res.save_hdf5(tmp_path / "run.h5")
    with h5py.File(tmp_path / "run.h5", "r") as f:
        assert [k for k, v in f["St1"].items() if isinstance(v, h5py.Group)] == ["Pa2"]
        np.testing.assert_array_equal(f["St1/Pa2/deflection"][:], res.stage("St1").pairs["Pa2"].deflection)
        assert f.attrs["program_version"] == vibrolan.__version__


def test_errors_arrive_as_exceptions(runup, tmp_path):
    with pytest.raises(vibrolan.FileError, match="does not exist"):
        vibrolan.analyze(runup["config"], recording=tmp_path / "none.bld")

    class Stop(Exception):
        pass

    def stop(phase, done, total):
        if phase == "pass" and done > 0:
            raise Stop("enough")

    with pytest.raises(Stop, match="enough"):
        vibrolan.analyze(runup["config"], progress=stop)
    with pytest.raises(vibrolan.BadValueError, match="runup"):
        vibrolan.simulate("no such preset", tmp_path)
    bad = dict(SCENARIO, duration_s=-1)
    with pytest.raises(vibrolan.BadValueError, match="duration_s"):
        vibrolan.simulate(bad, tmp_path)
    with pytest.raises(vibrolan.BadValueError, match="two kinds of input"):
        vibrolan.analyze(runup["config"], recording=runup["recording"], data=[tmp_path / "x.zami"])


def longest_stall_of_this_thread(work):
    """Runs work() in another thread; returns (its duration, the longest time this
    thread could not run meanwhile)."""
    state = {"done": False}

    def run():
        started = time.perf_counter()
        work()
        state["took"] = time.perf_counter() - started
        state["done"] = True

    worker = threading.Thread(target=run)
    longest, last = 0.0, time.perf_counter()
    worker.start()
    while not state["done"]:
        now = time.perf_counter()
        longest = max(longest, now - last)
        last = now
    worker.join()
    return state["took"], longest


def test_the_gil_is_released_while_the_run_works(tmp_path):
    written = vibrolan.simulate("rundown", tmp_path, name="long", seed=2, truth=False, scale=8)
    # Holding the GIL, the run would stop this thread for all of its duration,
    # every time; a busy machine may stall it once in a while for other reasons.
    tries = [longest_stall_of_this_thread(lambda: vibrolan.analyze(written["config"])) for _ in range(3)]
    assert all(took > 0.03 for took, _ in tries), "the run is too short to show anything"
    assert any(stall < 0.5 * took for took, stall in tries), tries


def test_data_files_are_an_input_as_on_the_command_line(runup, tmp_path):
    # A run-down data set saved by the program: its revolution times become the pair's speed.
    run_cli("export", runup["config"], "--pair", "Pa1", "--kind", "1", "--out", tmp_path / "set")
    res = vibrolan.analyze(runup["config"], data=[tmp_path / "set" / "set.zami"])
    times = np.fromfile(tmp_path / "set" / "blade1.x", dtype="<f4")
    pair = res.stages[0].pairs["Pa1"]
    assert pair.revolutions + 1 == len(times)  # the run drops the last sample, as after every pass
    np.testing.assert_array_equal(pair.speed_rpm, times[:-1])
    with pytest.raises(vibrolan.BadValueError, match="none of the data files"):
        vibrolan.analyze(runup["config"], data=[tmp_path / "missing.zami"])


def test_ctrl_c_ends_a_run_without_a_progress_function(tmp_path):
    import signal

    written = vibrolan.simulate("rundown", tmp_path, name="long", seed=2, truth=False, scale=8)
    took = time.perf_counter()
    vibrolan.analyze(written["config"])
    took = time.perf_counter() - took
    assert took > 0.03, "the run is too short to interrupt"
    # Ctrl+C a tenth into the run: the run ends at its next progress step.
    timer = threading.Timer(0.1 * took, lambda: os.kill(os.getpid(), signal.SIGINT))
    timer.start()
    # Without the check the interrupt would surface only after the run, outside this block.
    with pytest.raises(KeyboardInterrupt):
        vibrolan.analyze(written["config"])
    timer.join()


def test_identification_tables_as_frames_match_the_truth_and_the_cli(tmp_path, monkeypatch):
    import json
    import sys

    data = os.path.join(os.path.dirname(__file__), "..", "data", "sim_runup_fast.json")
    with open(data) as f:
        scenario = json.load(f)
    written = vibrolan.simulate(scenario, tmp_path, name="fast")
    modes = pd.read_csv(tmp_path / "fast.modes.csv")
    res = vibrolan.analyze(written["config"])
    calls = []
    tables = res.identify(progress=lambda *a: calls.append(a))
    assert {"resonances", "resonance_events", "resonances_not_identified", "asynchronous",
            "asynchronous_track", "asynchronous_blades"} <= set(tables)
    assert {c[0] for c in calls} >= {"resonances"}
    frame = res.resonances
    assert isinstance(frame, pd.DataFrame) and frame is tables["resonances"]
    assert frame.attrs["units"]["frequency_hz"] == "Hz"
    assert frame["eo_given"].dtype == bool
    for _, t in modes[modes["kind"] == "resonance"].iterrows():
        row = frame[(frame["blade"] == t["blade"]) & (frame["engine_order"] == t["engine_order"])]
        assert len(row) == 1
        assert row.iloc[0]["frequency_hz"] == pytest.approx(t["natural_hz"], rel=0.01)
    run_cli("resonances", written["config"], "--csv", tmp_path / "res.csv")
    csv_table = pd.read_csv(tmp_path / "res.csv")
    np.testing.assert_array_equal(frame["blade"], csv_table["blade"])
    np.testing.assert_array_equal(frame["engine_order"], csv_table["engine_order"])
    np.testing.assert_allclose(frame["frequency_hz"], csv_table["frequency_hz"], atol=5e-5)
    assert res.asynchronous is not None and res.asynchronous.empty  # no stall in this run

    # The same tables in the file the result saves.
    res.save_hdf5(tmp_path / "run.h5")
    with h5py.File(tmp_path / "run.h5", "r") as f:
        saved = f["St1/resonances"][:]
    np.testing.assert_array_equal(saved["frequency_hz"], frame["frequency_hz"].to_numpy())

    # Without pandas: plain dicts of arrays.
    monkeypatch.setitem(sys.modules, "pandas", None)
    plain = vibrolan.analyze(written["config"]).identify()
    assert isinstance(plain["resonances"], dict)
    np.testing.assert_array_equal(plain["resonances"]["frequency_hz"], frame["frequency_hz"].to_numpy())
