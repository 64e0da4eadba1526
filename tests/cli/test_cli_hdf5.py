"""The whole run as one HDF5 file, read with h5py and pandas only: its layout
and its values against the CSV series of the same run."""
import os
import stat
import subprocess

import h5py
import numpy as np
import pandas as pd
import pytest

from conftest import cli_path, run_cli

SERIES_2D = ["deflection", "middle_line", "velocity", "stress", "resonance_curve", "stall_oscillation"]
PER_BLADE = ["mean", "rms", "min", "max"]


@pytest.fixture(scope="module")
def h5file(runup):
    out = runup["dir"] / "run.h5"
    r = run_cli("export", runup["config"], "--hdf5", out)
    assert "saved in" in r.stdout
    with h5py.File(out, "r") as f:
        yield f


def pair_groups(f):
    return [(s, p) for s in f.values() if isinstance(s, h5py.Group) for p in s.values()
            if isinstance(p, h5py.Group)]


def test_layout_names_every_stage_and_checked_pair_with_their_attributes(h5file, runup):
    f = h5file
    version = run_cli("--version").stdout.split()[-1]
    assert f.attrs["program_version"] == version
    assert f.attrs["mode"] == "Проход"
    assert f.attrs["tick_period_s"] == pytest.approx(2.5e-8)
    for key in ["dN", "LoTaho", "HiTaho", "LoAmpl", "HiAmpl", "Method", "config_file", "recording_file"]:
        assert key in f.attrs, key
    assert os.path.samefile(f.attrs["config_file"], runup["config"])

    groups = {f"{s.name[1:]}_{p.name.rsplit('/', 1)[1]}": (s, p) for s, p in pair_groups(f)}
    assert sorted(groups) == sorted(runup["series"])
    for key, (stage, pair) in groups.items():
        csv = runup["series"][key]
        blades = sum(1 for c in csv if c.startswith("blade"))
        assert stage.attrs["blade_count"] == blades
        assert stage.attrs["type"] in ("Свободная", "Бандажированная", "Связанная", "Авиадвигатель")
        assert stage.attrs["diameter_mm"] > 0
        revs = len(csv["time_s"])
        assert pair.attrs["revolutions_accepted"] == revs
        assert pair.attrs["revolutions_rejected"] >= 0
        for end in ("root", "tip"):
            assert isinstance(pair.attrs[f"{end}_sensor"], str) and pair.attrs[f"{end}_sensor"]
            assert pair.attrs[f"{end}_channel"] >= 1
        assert isinstance(pair.attrs["fi"], float)
        for name in SERIES_2D:
            d = pair[name]
            assert d.shape == (blades, revs) and d.dtype == np.float32, name
            assert d.chunks is not None and d.compression == "gzip", name
        for name in PER_BLADE:
            assert pair[name].shape == (blades,), name
        assert pair["time_of_day_s"].dtype == np.float64

    def has_units(name, obj):
        if isinstance(obj, h5py.Dataset):
            assert isinstance(obj.attrs.get("units"), str), name

    f.visititems(has_units)


def test_values_are_the_runs_series(h5file, runup):
    for stage, pair in pair_groups(h5file):
        csv = runup["series"][f"{stage.name[1:]}_{pair.name.rsplit('/', 1)[1]}"]
        np.testing.assert_array_equal(pair["time_s"][:], csv["time_s"].astype(np.float32))
        np.testing.assert_allclose(pair["speed_rpm"][:], csv["freq_rpm"], rtol=1e-7)
        np.testing.assert_allclose(pair["time_of_day_s"][:], csv["uts_time_s"], rtol=1e-14)
        # The CSV holds the dynamic part; the file adds the middle line.
        deflection = pair["deflection"][:].astype(np.float64)
        dynamic = deflection - pair["middle_line"][:]
        for b in range(pair["deflection"].shape[0]):
            column = csv[f"blade{b + 1}"]
            np.testing.assert_allclose(dynamic[b], column, rtol=0, atol=1e-6 + 1e-7 * np.abs(column).max())
        assert not np.isnan(deflection).any()
        # The blade statistics of the run: ranges of the deflection and, for
        # free blades, its mean and standard deviation.
        np.testing.assert_array_equal(pair["min"][:], deflection.min(axis=1).astype(np.float32))
        np.testing.assert_array_equal(pair["max"][:], deflection.max(axis=1).astype(np.float32))
        if stage.attrs["type_code"] == 0:
            np.testing.assert_allclose(pair["mean"][:], deflection.mean(axis=1), rtol=1e-6)
            np.testing.assert_allclose(pair["rms"][:], deflection.std(axis=1, ddof=1), rtol=1e-5)


def test_pandas_takes_a_pair_as_frames(h5file):
    stage, pair = pair_groups(h5file)[0]
    d = pair["deflection"]
    frame = pd.DataFrame(d[:].T, index=pd.Index(pair["time_s"][:], name="time_s"),
                         columns=[f"blade{b + 1}" for b in range(d.shape[0])])
    assert frame.shape == (d.shape[1], d.shape[0])
    assert frame["blade1"].iloc[-1] == d[0, -1]
    stats = pd.DataFrame({k: pair[k][:] for k in PER_BLADE})
    assert (stats["min"] <= stats["max"]).all()


def test_a_failed_save_leaves_the_old_file_untouched(runup, tmp_path):
    target = tmp_path / "old.h5"
    target.write_bytes(b"the previous file")
    # A file-size limit makes the writes fail part way (the signal it raises is ignored).
    script = f'trap "" XFSZ; ulimit -f 16; exec "$0" export "$1" --hdf5 "$2"'
    r = subprocess.run(["sh", "-c", script, cli_path(), str(runup["config"]), str(target)],
                       capture_output=True, text=True)
    assert r.returncode == 1, r.stderr
    assert "old.h5" in r.stderr
    assert target.read_bytes() == b"the previous file"
    assert sorted(p.name for p in tmp_path.iterdir()) == ["old.h5"]

    target.chmod(stat.S_IRUSR)
    r = run_cli("export", runup["config"], "--hdf5", target, check=False)
    assert r.returncode == 1 and "read-only" in r.stderr
    assert target.read_bytes() == b"the previous file"

    target.chmod(stat.S_IRUSR | stat.S_IWUSR | stat.S_IRGRP)
    run_cli("export", runup["config"], "--hdf5", target)
    with h5py.File(target, "r") as f:
        assert len(pair_groups(f)) == len(runup["series"])
    assert stat.S_IMODE(target.stat().st_mode) == stat.S_IRUSR | stat.S_IWUSR | stat.S_IRGRP
    assert sorted(p.name for p in tmp_path.iterdir()) == ["old.h5"]


def test_bad_requests_are_clear_errors(runup, tmp_path):
    cases = [
        (["--hdf5", tmp_path / "a.h5", "--pair", "Pa1"], "--hdf5 saves the whole run"),
        (["--hdf5", tmp_path / "missing" / "a.h5"], "a.h5"),
        (["--hdf5", tmp_path / "a.h5", "--recording", tmp_path / "gone.bld"], "does not exist"),
    ]
    for args, message in cases:
        r = run_cli("export", runup["config"], *args, check=False)
        assert r.returncode == 1, args
        assert message in r.stderr, r.stderr
    assert not (tmp_path / "a.h5").exists()
