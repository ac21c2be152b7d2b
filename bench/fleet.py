#!/usr/bin/env python3
"""A fleet in a test: N machines under a deployment tool's loop, with power
cuts, other products' setups, simultaneous reruns and MSIEXEC answers that
ask for restarts, all at random from a seed (see tests/e2e/fleet.py).

    python3 bench/fleet.py --machines 24 --seed 1 --out build/fleet

prints one line for scripts,

    fleet: N machines, C converged, R runs, F faults, worst M runs

writes report.json and timeline.png into --out, and keeps the prefix, the
setup log and the seed of every machine that did not converge (rerun one
with --machines 1 --seed <its seed>). Exits 1 unless every machine
converged.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import traceback
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from conftest import WIN32_BUILD, Tools  # noqa: E402
from fleet import MAX_RUNS, Machine, Media, make_template  # noqa: E402

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"  # Debian's fonts-dejavu-core
COLOURS = {"run": "#4caf50", "cut": "#e53935", "restart": "#1e88e5", "logon": "#9e9e9e", "other": "#8e24aa"}


def draw_timeline(report, out: Path):
    """One row per machine of the report: the tool's runs, power cuts and
    restarts on the upper band, the logon's and medium B's runs (which may go
    on at the same time) on the lower one, each labelled with its exit code."""
    width, row, left = 1400, 40, 110
    end = max((e["end"] for m in report for e in m["events"]), default=1.0) or 1.0
    scale = (width - left - 20) / end
    height = row * (len(report) + 2)
    draw = []
    for i, m in enumerate(report):
        y = row * (i + 1)
        label = f"{m['machine']:02d} {'ok' if m['converged'] else 'FAIL'}"
        draw += ["-fill", "black", "-draw", f"text 8,{y + 22} '{label}'"]
        for e in m["events"]:
            lower = e["kind"] in ("logon", "other")
            top, bottom = (y + 21, y + 35) if lower else (y + 4, y + 19)
            x0, x1 = left + e["start"] * scale, left + max(e["end"] * scale, e["start"] * scale + 3)
            colour = COLOURS[e["kind"]]
            if e["kind"] == "run" and e["code"] not in (0, None):
                colour = "#fb8c00"
            draw += ["-fill", colour, "-draw", f"rectangle {x0:.0f},{top} {x1:.0f},{bottom}"]
            if e["kind"] in ("run", "other", "logon") and x1 - x0 > 30:
                text = "cut" if e["code"] is None else str(e["code"])
                draw += ["-fill", "white", "-draw", f"text {x0 + 3:.0f},{bottom - 3} '{text}'"]
    # ImageMagick's text primitive is quoted with ': no apostrophes.
    legend = ("upper: runs of the tool (green 0, orange another code), power cuts (red), restarts (blue); "
              "lower: runs of the logon (grey) and of medium B (purple)")
    draw += ["-fill", "black", "-draw", f"text {left},{height - 12} '{legend}   ({end:.0f} s)'"]
    subprocess.run(["convert", "-size", f"{width}x{height}", "xc:white", "-font", FONT, "-pointsize", "12", *draw,
                    str(out)], check=True)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--machines", type=int, default=4)
    parser.add_argument("--seed", type=int, default=1, help="machine i gets seed + i")
    parser.add_argument("--parallel", type=int, default=2, help="machines run at a time")
    parser.add_argument("--out", type=Path, default=ROOT / "build" / "fleet")
    args = parser.parse_args()

    tools = Tools(WIN32_BUILD)
    args.out = args.out.resolve()  # Wine wants an absolute prefix path
    shutil.rmtree(args.out, ignore_errors=True)
    args.out.mkdir(parents=True)
    os.environ.pop("DISPLAY", None)  # /qn needs no window; nothing may wait on a screen
    media = Media(args.out / "media")
    media.build(tools)
    template = args.out / "template"
    make_template(template, tools, media)

    machines = [Machine(i, args.seed + i, template, args.out, tools, media) for i in range(args.machines)]

    def deploy(machine: Machine):
        try:
            machine.deploy()
        except Exception:  # a machine that hangs or breaks fails; the others go on
            machine.problems.append(traceback.format_exc())
        finally:
            machine.stop()

    with ThreadPoolExecutor(max_workers=args.parallel) as pool:
        list(pool.map(deploy, machines))

    converged = [m for m in machines if m.converged]
    report = []
    for m in machines:
        report.append({"machine": m.index, "seed": m.seed, "converged": m.converged, "runs": m.runs,
                       "small_temp": m.small_temp,
                       "faults": m.faults, "codes": m.codes(), "problems": m.problems,
                       "events": [vars(e) for e in m.events]})
        if m.converged:
            shutil.rmtree(m.path, ignore_errors=True)
            if m.small_temp:
                shutil.rmtree(m.mount, ignore_errors=True)
        else:
            log = m.prefix.drive_c / "SETUP.LOG"
            print(f"machine {m.index} (seed {m.seed}) did not converge after {m.runs} runs, codes {m.codes()}: "
                  f"{m.problems}; prefix and log kept in {m.path}", file=sys.stderr)
            if log.exists():
                shutil.copyfile(log, args.out / f"machine{m.index:02d}.SETUP.LOG")
    shutil.rmtree(template, ignore_errors=True)
    (args.out / "report.json").write_text(json.dumps(report, indent=1))
    draw_timeline(report, args.out / "timeline.png")
    worst = max((m.runs for m in machines), default=0)
    print(f"fleet: {len(machines)} machines, {len(converged)} converged, {sum(m.runs for m in machines)} runs, "
          f"{sum(m.faults for m in machines)} faults, worst {worst} runs")
    return 0 if len(converged) == len(machines) and worst <= MAX_RUNS else 1


if __name__ == "__main__":
    sys.exit(main())
