"""The fleet's own logic, natively and without Wine: where a run is, what a
cut counts, the post-install rule, and what the forgetting layer leaves."""
import random
import sys
import tempfile
from pathlib import Path
from types import SimpleNamespace

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))

from fleet import Cut, CutPlan, Event, Machine, PhaseTracker, phase_table, post_install_problems, summary  # noqa: E402
from forgetful_fs import torn_content  # noqa: E402

RUN = [(1, 'Copying "Z:\\A\\" to "C:\\T\\KIES0001\\"'), (1, "Uninstalling incompatible applications"),
       (1, "Removing application"), (1, "Checking if the Windows Installer is the correct version"),
       (1, "Running installer"), (1, "Launching the nested installer"), (2, "Setup process 2 started"),
       (2, "Loading setup data file: Z:\\A\\Nested.ini"), (2, "Running installer"),
       (1, "Uninstalling incompatible applications"),  # another setup of the machine, beside it
       (2, "Launching any post-install applications"), (2, "Worker thread exiting with status code: 00000000"),
       (1, "Launching any post-install applications"), (1, "Worker thread exiting with status code: 00000000")]


def test_a_run_steps_through_its_phases_and_a_nested_setup_is_one_step():
    tracker = PhaseTracker()
    steps = [tracker.feed(f"12/08/26 09:41:01 [{process}] - {text}") for process, text in RUN]
    assert steps == ["copy", "removal of the earlier version", "removal of the earlier version", "engine check",
                     "main installation", "nested setup", None, None, None, "removal of the earlier version",
                     None, None, "post-install program", "deletion of the copy"]


def test_a_cut_falls_after_the_drawn_step_or_the_first_one_after_it():
    plan = CutPlan("main installation", 0.0)
    assert [plan.due(s) for s in ("copy", "engine check", "main installation", "nested setup")] == [
        False, False, True, True]


class FakeProc:
    """A runner that had printed `stdout` when the power went."""

    args, returncode = ["runner.exe"], 0

    def __init__(self, stdout: str, running: bool):
        self.running = running
        out, err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
        out.write(stdout.encode())
        self.output_files = (out, err)

    def poll(self):
        return None if self.running else 0

    def wait(self, timeout=None):
        return 0


def fake_machine(layer=None) -> Machine:
    machine = Machine.__new__(Machine)
    machine.runs, machine.cuts, machine.faults, machine.layer = 1, [], [], layer
    machine.power_cut = lambda start: {"Temp/KIES0001/Product.msi": "zeros"} if layer else {}
    machine.freeze = lambda procs: None
    return machine


def follower(lines):
    return SimpleNamespace(poll=lambda: [], lines=lines)


@pytest.mark.parametrize("stdout, running, beside, landed, code", [
    ("", True, [], True, None),                                        # the setup was running
    ("exit=0x00000000\n", False, [], False, 0),                        # it had ended: no cut
    ("exit=0x00000000\n", False, [FakeProc("", True)], True, 0),       # B beside it was running
])
def test_a_cut_counts_only_when_it_ended_a_running_setup(stdout, running, beside, landed, code):
    machine = fake_machine(layer=object())
    got = machine.cut(FakeProc(stdout, running), CutPlan("copy", 0), beside, follower(["a", "last"]),
                      PhaseTracker(), 0.0)
    assert got == code and machine.cuts[0].landed == landed and machine.cuts[0].last_line == "last"
    assert machine.faults == (["cut", "files torn by the cut"] if landed else [])


def test_the_line_and_the_table_count_landed_cuts_only():
    cut = Cut(1, "copy", "main installation", "x", True)
    missed = Cut(2, "copy", "copy", "y", False)
    machines = [SimpleNamespace(converged=True, runs=3, faults=["cut", "B at the same time"], cuts=[cut, missed]),
                SimpleNamespace(converged=False, runs=8, faults=["cut"], cuts=[cut])]
    assert summary(machines) == "fleet: 2 machines, 1 converged, 11 runs, 3 faults (2 cuts landed), worst 8 runs"
    table = {row["phase"]: (row["cuts"], row["converged"]) for row in phase_table(machines)}
    assert table["main installation"] == (2, 1) and table["copy"] == (0, 0)


def run(code, start, started, kind="run", installed=False):
    return Event(kind, code, start, start + 1, welcome="C:\\welcome\\1.txt", a_installed=installed, started=started)


@pytest.mark.parametrize("event, problem", [
    (run(0, 0, True), False),                     # installed, then started
    (run(0, 0, False), True),                     # installed, never started
    (run(1641, 0, True), True),                   # ended for a restart
    (run(3010, 0, True), True),                   # a restart in the middle of the setup
    (run(460393, 0, False), False),
    (run(0, 0, False, installed=True), False),    # a maintenance run
    (run(0, 0, True, kind="logon"), False),       # a resume that ran the nested setup
    (run(0, 0, True, kind="logon", installed=True), True),   # a resume after everything was done
    (run(None, 0, True), False),                  # cut: either
])
def test_the_post_install_program_runs_where_the_readme_says(event, problem):
    assert bool(post_install_problems([event])) == problem


def test_runs_side_by_side_are_not_judged():
    assert post_install_problems([run(0, 0, False), run(0, 0.5, False, kind="logon")]) == []


def test_a_file_not_flushed_keeps_its_old_content_a_prefix_or_zeros():
    rng = random.Random(1)
    assert torn_content(b"old", b"brand new", "old", rng) == b"old"
    assert torn_content(b"old", b"brand new", "zeros", rng) == bytes(9)
    assert all(b"brand new".startswith(p) and len(p) < 9
               for p in (torn_content(b"", b"brand new", "prefix", rng) for _ in range(20)))
