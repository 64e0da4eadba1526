# %% [markdown]
# # Blade deflections of a simulated run-up, from Python
#
# Notebook-style script (cells marked `# %%`, runs as a plain script too):
# simulate a recording, run the analysis on the program's own core, plot
# the deflections of a few blades against the rotation speed.
#
#     PYTHONPATH=<build>/python /usr/bin/python3 docs/examples/blade_deflections.py [OUT_DIR]

# %%
import sys
from pathlib import Path

import matplotlib

matplotlib.use("Agg")  # files only; drop this line in a notebook
import matplotlib.pyplot as plt

import vibrolan

out = Path(sys.argv[1] if len(sys.argv) > 1 else "vibrolan-example")
out.mkdir(parents=True, exist_ok=True)

# %% Simulate a short run-up (a tenth of the preset's 30 s).
written = vibrolan.simulate("runup", out, name="runup", seed=1, scale=0.1)
print("recording:", written["recording"])

# %% Look at the recording itself: header and pulse records, without copying it.
rec = vibrolan.read_recording(written["recording"])
print(rec, rec.date, [c["name"] for c in rec.channels])

# %% Analyse it with the configuration the simulator wrote.
def progress(phase, done, total):
    if total:
        print(f"\r{phase}: {100 * done // total:3d}%", end="", flush=True)

result = vibrolan.analyze(written["config"], progress=progress)
print()
stage = result.stages[0]
pair = next(iter(stage.pairs.values()))
print(stage.name, pair.name, pair.deflection.shape, "[blade x revolution]")

# %% Deflections of the first four blades against the speed.
fig, ax = plt.subplots(figsize=(8, 4.5))
for b in range(min(4, pair.blades)):
    ax.plot(pair.speed_rpm, pair.deflection[b], label=f"blade {b + 1}")
ax.set_xlabel("rotation speed, rpm")
ax.set_ylabel("deflection, mm")
ax.set_title(f"{stage.name} / {pair.name}")
ax.legend()
fig.tight_layout()
png = out / "deflections.png"
fig.savefig(png, dpi=100)
print("plot:", png)

# %% The whole run for other tools, and the per-blade statistics as a table.
result.save_hdf5(out / "runup.h5")
print(pair.frame("deflection").describe().T.head())
