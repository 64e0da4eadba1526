"""Saved ZAMI data sets read the way other tools read them, knowing only the
format: a key file in code page 1251 with a section per channel, raw samples
in "<channel>.dat", and value = raw * k1 + k0."""
import numpy as np
import pytest

from conftest import run_cli

DTYPES = {"byte": np.uint8, "int": np.int16, "single": np.float32, "double": np.float64}


def read_key_file(path):
    sections, current = {}, None
    for line in path.read_bytes().decode("cp1251").splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], {})
        elif "=" in line and current is not None:
            key, value = line.split("=", 1)
            current[key.strip()] = value.strip()
    return sections


def number(text):
    return float(text.replace(",", "."))


def channel_values(folder, keys, name):
    section = keys[name]
    raw = np.fromfile(folder / f"{name}.dat", dtype=DTYPES[section.get("YFormat", "int")])
    return raw.astype(np.float64) * number(section.get("k1", "1")) + number(section.get("k0", "0"))


@pytest.mark.parametrize("decimal", [".", ","])
def test_values_by_the_formats_rule_are_the_runs_series(runup, tmp_path, decimal):
    csv = runup["series"]["St1_Pa1"]
    out = tmp_path / "set"
    run_cli("export", runup["config"], "--pair", "Pa1", "--kind", "1", "--hz", "--out", out,
            "--decimal", decimal)
    keys = read_key_file(out / "set.zami")
    # With a time code the first 10 revolutions are left out of every channel.
    skip = 10
    assert keys["Tacho"]["YUnits"] == "Hz"
    np.testing.assert_allclose(channel_values(out, keys, "Tacho"), csv["freq_rpm"][skip:] / 60, rtol=2e-7)
    np.testing.assert_allclose(channel_values(out, keys, "UTS_Time"), csv["uts_time_s"][skip:], rtol=1e-14)
    blades = [c for c in csv if c.startswith("blade")]
    for blade in blades:
        column = csv[blade][skip:]
        np.testing.assert_allclose(channel_values(out, keys, blade), column, rtol=0,
                                   atol=1e-7 * max(1.0, np.abs(column).max()))


def test_distance_kind_is_the_dynamic_part_plus_the_middle_line(runup, tmp_path):
    import h5py

    out = tmp_path / "dist"
    run_cli("export", runup["config"], "--pair", "Pa3", "--kind", "0", "--out", out)
    run_cli("export", runup["config"], "--hdf5", tmp_path / "run.h5")
    keys = read_key_file(out / "dist.zami")
    csv = runup["series"]["St2_Pa3"]
    with h5py.File(tmp_path / "run.h5", "r") as f:
        middle = f["St2/Pa3/middle_line"][:]
    assert keys["Tacho"]["YUnits"] == "rpm"
    np.testing.assert_allclose(channel_values(out, keys, "Tacho"), csv["freq_rpm"][10:], rtol=1e-7)
    for b in range(middle.shape[0]):
        expected = csv[f"blade{b + 1}"][10:] + middle[b, 10:]
        np.testing.assert_allclose(channel_values(out, keys, f"blade{b + 1}"), expected, rtol=0,
                                   atol=1e-6 * max(1.0, np.abs(expected).max()))
