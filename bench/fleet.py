#!/usr/bin/env python3
"""A fleet in a test: N machines under a deployment tool's loop, with power
cuts after every step of a run, other products' setups, new cache folders,
simultaneous reruns and MSIEXEC answers that ask for restarts, all at
random from a seed (see tests/e2e/fleet.py).

    python3 bench/fleet.py --machines 24 --seed 1 --out build/fleet

prints one line for scripts and the cuts by step,

    fleet: N machines, C converged, R runs, F faults (K cuts landed), worst M runs

writes report.json, timeline.png and every machine's setup log into --out,
and keeps the prefix and the seed of every machine that did not converge
(rerun one with the command it prints). Exits 1 unless every machine converged (and,
with --cut-each, had a cut that landed).
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
from fleet import MAX_RUNS, Machine, Media, make_template, phase_table, summary  # noqa: E402

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"  # Debian's fonts-dejavu-core
LAYOUT_TAGS = {"plain": "", "small temporary drive": "T", "forgetting layer": "F"}
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
        tag = LAYOUT_TAGS.get(m["layout"], "64")
        label = f"{m['machine']:02d} {'ok' if m['converged'] else 'FAIL'} {tag}"
        draw += ["-fill", "black", "-draw", f"text 8,{y + 22} '{label}'"]
        for e in m["events"]:
            lower = e["kind"] in ("logon", "other")
            top, bottom = (y + 21, y + 35) if lower else (y + 4, y + 19)
            x0, x1 = left + e["start"] * scale, left + max(e["end"] * scale, e["start"] * scale + 3)
            colour = COLOURS[e["kind"]]
            if e["kind"] == "run" and e["code"] != 0:
                colour = "#fb8c00" if e["code"] is not None else "#ef9a9a"
            draw += ["-fill", colour, "-draw", f"rectangle {x0:.0f},{top} {x1:.0f},{bottom}"]
            if e["kind"] in ("run", "other", "logon") and x1 - x0 > 30:
                text = str(e["code"]) if e["code"] is not None else "cut" if e["kind"] == "run" else "-"
                draw += ["-fill", "white", "-draw", f"text {x0 + 3:.0f},{bottom - 3} '{text}'"]
    # ImageMagick's text primitive is quoted with ': no apostrophes.
    legend = ("upper: runs of the tool (green 0, orange another code, pink cut off), power cuts (red), restarts "
              f"(blue); lower: runs of the logon (grey) and of medium B (purple)   ({end:.0f} s)")
    layouts = "T: temporary folder on a small drive, F: on the layer that forgets, 64: a 64-bit machine"
    draw += ["-fill", "black", "-draw", f"text {left},{height - 30} '{legend}'",
             "-draw", f"text {left},{height - 12} '{layouts}'"]
    subprocess.run(["convert", "-size", f"{width}x{height}", "xc:white", "-font", FONT, "-pointsize", "12", *draw,
                    str(out)], check=True)


def unmount_below(folder: Path):
    """The drives an earlier fleet that was stopped halfway left mounted."""
    mounts = [line.split()[1] for line in Path("/proc/mounts").read_text().splitlines()]
    for mount in sorted((m for m in mounts if m.startswith(str(folder) + "/")), reverse=True):
        subprocess.run(["umount", "-l", mount], check=False)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--machines", type=int, default=4)
    parser.add_argument("--seed", type=int, default=1, help="machine i gets seed + i")
    parser.add_argument("--parallel", type=int, default=2, help="machines run at a time")
    parser.add_argument("--win64", type=int, default=None, metavar="INDEX",
                        help="the machine that is a 64-bit prefix (default: the last one of 8 or more)")
    parser.add_argument("--cut-each", action="store_true",
                        help="cut each machine's runs until a cut lands, and fail a machine where none did")
    parser.add_argument("--out", type=Path, default=ROOT / "build" / "fleet")
    args = parser.parse_args()
    if args.win64 is None and args.machines >= 8:
        args.win64 = args.machines - 1

    tools = Tools(WIN32_BUILD)
    args.out = args.out.resolve()  # Wine wants an absolute prefix path
    unmount_below(args.out)
    shutil.rmtree(args.out, ignore_errors=True)
    args.out.mkdir(parents=True)
    os.environ.pop("DISPLAY", None)  # /qn needs no window; nothing may wait on a screen
    media = Media(args.out / "media")
    media.build(tools)
    templates = {"win32": args.out / "template"}
    make_template(templates["win32"], tools, media)
    if args.win64 is not None and 0 <= args.win64 < args.machines:
        templates["win64"] = args.out / "template64"
        make_template(templates["win64"], tools, media, "win64")

    machines = [Machine(i, args.seed + i, templates, args.out, tools, media, win64=i == args.win64,
                        cut_each=args.cut_each) for i in range(args.machines)]

    def deploy(machine: Machine):
        try:
            machine.deploy()
        except Exception:  # a machine that hangs or breaks fails; the others go on
            machine.problems.append(traceback.format_exc())
        finally:
            machine.stop()
        if args.cut_each and not any(c.landed for c in machine.cuts):
            machine.problems.append("no cut landed")
            machine.converged = False

    with ThreadPoolExecutor(max_workers=args.parallel) as pool:
        list(pool.map(deploy, machines))

    report = []
    for m in machines:
        report.append({"machine": m.index, "seed": m.seed, "layout": m.layout, "notes": m.notes,
                       "converged": m.converged, "runs": m.runs, "faults": m.faults, "codes": m.codes(),
                       "cuts": [vars(c) for c in m.cuts], "problems": m.problems,
                       "events": [vars(e) for e in m.events]})
        log = m.prefix.drive_c / "SETUP.LOG"
        if log.exists():
            shutil.copyfile(log, args.out / f"machine{m.index:02d}.SETUP.LOG")
        if m.converged:
            m.remove()
        else:
            rerun = f"--machines 1 --seed {m.seed}" + (" --win64 0" if m.prefix.arch == "win64" else "") + \
                (" --cut-each" if args.cut_each else "")
            print(f"machine {m.index} ({m.layout}, rerun with {rerun}) did not converge after {m.runs} runs, "
                  f"codes {m.codes()}: {m.problems}; prefix kept in {m.path}", file=sys.stderr)
    for template in templates.values():
        shutil.rmtree(template, ignore_errors=True)
    phases = phase_table(machines)
    (args.out / "report.json").write_text(json.dumps({"machines": report, "phases": phases}, indent=1))
    draw_timeline(report, args.out / "timeline.png")
    print(summary(machines))
    for row in phases:
        print(f"  {row['phase']:<32} {row['cuts']:3} cuts, {row['converged']:3} converged")
    converged = all(m.converged for m in machines)
    return 0 if converged and max((m.runs for m in machines), default=0) <= MAX_RUNS else 1


if __name__ == "__main__":
    sys.exit(main())
