"""Shared pieces of the Python checks of vibrolan-cli's output files.

The checks know only the file formats and the CLI's command line; the
program under test is named by the VIBROLAN_CLI environment variable."""
import csv
import os
import subprocess

import numpy as np
import pytest


def cli_path():
    path = os.environ.get("VIBROLAN_CLI")
    if not path:
        pytest.fail("VIBROLAN_CLI must name the vibrolan-cli program")
    return path


def run_cli(*args, check=True, **kwargs):
    r = subprocess.run([cli_path(), *map(str, args)], capture_output=True, text=True, **kwargs)
    if check and r.returncode != 0:
        pytest.fail(f"vibrolan-cli {' '.join(map(str, args))} failed ({r.returncode}):\n{r.stderr}")
    return r


def read_csv_columns(path):
    """The CSV series the analysis writes: column name -> float array."""
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    head, body = rows[0], rows[1:]
    return {name: np.array([float(r[i]) for r in body]) for i, name in enumerate(head)}


@pytest.fixture(scope="session")
def runup(tmp_path_factory):
    """A short simulated run-up with a time code, analysed once into CSV."""
    d = tmp_path_factory.mktemp("runup")
    run_cli("simulate", "runup", "--out", d, "--name", "ru", "--seed", "5", "--scale", "0.03")
    run_cli("analyze", d / "ru.lfm", "--series", d / "csv")
    series = {p.stem: read_csv_columns(p) for p in sorted((d / "csv").glob("*.csv"))}
    assert series, "the analysis wrote no series"
    return {"dir": d, "config": d / "ru.lfm", "series": series}
