"""The documentation's notebook-style example runs as a user runs it and
draws its plot."""
import os
import subprocess
import sys
from pathlib import Path

import h5py
import matplotlib.image
import numpy as np


def test_the_example_simulates_analyses_and_plots(tmp_path):
    script = Path(os.environ["VIBROLAN_DOCS"]) / "examples" / "blade_deflections.py"
    env = dict(os.environ, PYTHONPATH=os.environ["VIBROLAN_PYTHONPATH"])
    r = subprocess.run([sys.executable, str(script), str(tmp_path / "out")], capture_output=True, text=True,
                       env=env, cwd=tmp_path)
    assert r.returncode == 0, r.stderr
    png = tmp_path / "out" / "deflections.png"
    image = matplotlib.image.imread(png)
    assert image.shape[:2] == (450, 800)
    # Curves were drawn: many distinct colours, not an empty frame.
    assert len(np.unique(image.reshape(-1, image.shape[2]), axis=0)) > 20
    with h5py.File(tmp_path / "out" / "runup.h5", "r") as f:
        assert "St1" in f
