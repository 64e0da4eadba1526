"""The vibrolan module as a user imports it: from the build tree's package
folder (VIBROLAN_PYTHONPATH), with Debian's Python. vibrolan-cli
(VIBROLAN_CLI) gives the independent views of the same files."""
import os
import subprocess
import sys

import pytest

sys.path.insert(0, os.environ.get("VIBROLAN_PYTHONPATH", ""))


def run_cli(*args):
    cli = os.environ.get("VIBROLAN_CLI")
    if not cli:
        pytest.fail("VIBROLAN_CLI must name the vibrolan-cli program")
    r = subprocess.run([cli, *map(str, args)], capture_output=True, text=True)
    if r.returncode != 0:
        pytest.fail(f"vibrolan-cli {' '.join(map(str, args))} failed:\n{r.stderr}")
    return r.stdout


@pytest.fixture(scope="session")
def runup(tmp_path_factory):
    """A short simulated run-up with a time code, written by the module's simulator."""
    import vibrolan

    d = tmp_path_factory.mktemp("runup")
    written = vibrolan.simulate("runup", d, name="ru", seed=5, scale=0.03)
    return {"dir": d, **written}
