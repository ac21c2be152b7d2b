"""Software in the way, under Wine: incompatible products, upgrade conditions,
running programs and earlier versions, with real Uninstall entries, real
wixl products installed and removed by Wine's msiexec, real windows of
tools/appwindow.exe, and message boxes answered through answer.exe.

software_probe.exe is copied into a medium folder with a SETUP.INI, as
SETUP.EXE would be, runs the named steps and prints every box it shows
before showing it for real (see tools/probes).
"""
import os
import shutil
import subprocess
import threading
import time
import uuid
from pathlib import Path

import pytest

from conftest import WIN32_BUILD, Prefix, parse_runner
from setup_helpers import in_order, log_bodies, new_guid, run_setup

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
SYSTEM = r"C:\windows\system32"
ERROR_STYLE = "0x10010"    # MB_OK | MB_ICONERROR | MB_SETFOREGROUND
WARNING_STYLE = "0x10034"  # MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND


# --- helpers ---------------------------------------------------------------------

def write_ini(folder: Path, product_information: str = "", **lists):
    """SETUP.INI with the package Product.msi and the given list sections."""
    text = "[ProductInformation]\r\nPackageName=Product.msi\r\n" + product_information
    text += "[ProductFeatures]\r\nMain\r\n"
    for section, entries in lists.items():
        text += f"[{section}]\r\n" + "".join(entry + "\r\n" for entry in entries)
    (folder / "SETUP.INI").write_bytes(text.encode("latin-1"))


def probe_args(prefix, medium, steps, arguments):
    probe = medium / "software_probe.exe"
    if not probe.exists():
        shutil.copyfile(prefix.tools.probe("software_probe"), probe)
    return [probe, *steps, "--", *arguments.split()]


def parse(stdout: str):
    """The probe's "key=value" lines, in order."""
    return [tuple(line.strip().partition("=")[::2]) for line in stdout.splitlines() if "=" in line]


def run_probe(prefix, medium, *steps, arguments="", env=None):
    result = prefix.run(probe_args(prefix, medium, steps, arguments), env={"KQSETUP": "LOG", **(env or {})})
    return result, parse(result.stdout)


class Interactive:
    """The probe started in the background, its boxes answered one by one.

    A box is answered only once the probe has printed it and the answer to
    the box before (printed when MessageBoxA returned, so that box is gone):
    two boxes with the same caption are never mistaken for each other."""

    def __init__(self, prefix, medium, *steps, arguments=""):
        self.prefix = prefix
        self.proc = prefix.start(probe_args(prefix, medium, steps, arguments), env={"KQSETUP": "LOG"}, stream=True)
        self.out = []
        self.reader = threading.Thread(target=lambda: self.out.extend(iter(self.proc.stdout.readline, "")))
        self.reader.start()
        self.answered = 0

    def _wait_for_box(self, number, timeout=60):
        deadline = time.time() + timeout
        while sum(line.startswith("box=") for line in list(self.out)) < number:
            assert time.time() < deadline and self.proc.poll() is None, f"box {number} never came: {self.out}"
            time.sleep(0.1)

    def answer(self, caption, button, timeout_ms=60000):
        """Presses the button of the next box, which must have the caption;
        returns the first line of its text as the box itself shows it."""
        self._wait_for_box(self.answered + 1, timeout_ms / 1000)
        seen = self.prefix.answer(caption, button, timeout_ms)
        assert seen["found"], f"no {caption} box"
        if button != "none":
            self.answered += 1
        return seen["text"]

    def finish(self, timeout=120):
        self.proc.wait(timeout=timeout)
        self.reader.join()
        stdout = "".join(self.out)
        result = parse_runner(subprocess.CompletedProcess(self.proc.args, self.proc.returncode, stdout,
                                                          self.proc.stderr.read()))
        return result, parse(result.stdout)


def internal_error(pfx, disk, step):
    """Runs a step that ends with an internal error, with its box (which only
    a command line without /qn shows) answered; the exit code, the text, and
    the log line just before the error's own lines: why it happened."""
    run = Interactive(pfx, disk, step)
    shown = pfx.answer("Internal Error", "ok")
    assert shown["found"]
    code = run.finish()[0].exit_code
    body = log_bodies(pfx)
    return code, shown["text"], body[len(body) - 2 - body[::-1].index("Internal Error")]


def boxes(lines):
    """(caption, text, style) of every box the probe showed."""
    shown = []
    for key, value in lines:
        if key == "box":
            caption, text, style = value.split("|")
            shown.append((caption, text.replace("\\n", "\n"), style))
    return shown


def results(lines):
    """The step results, without the boxes and answers."""
    return [(key, value) for key, value in lines if key not in ("box", "answer")]


def is_registered(prefix, entry) -> bool:
    return prefix.reg_query(UNINSTALL + "\\" + entry, "DisplayName") is not None


def wait_for_line(path: Path, line: str, timeout=30):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if path.exists() and line in path.read_bytes().decode("latin-1").split("\r\n"):
            return
        time.sleep(0.1)
    raise AssertionError(f"{path.name} never recorded {line!r}")


# --- fixtures ----------------------------------------------------------------------

@pytest.fixture
def pfx(gui_prefix):
    """Every program of this file runs on the prefix with a display: boxes
    and the stand-in application windows need one."""
    return gui_prefix


@pytest.fixture
def disk(pfx):
    """A medium folder inside the prefix (C:\\medium_xxxx)."""
    path = pfx.drive_c / f"medium_{uuid.uuid4().hex[:8]}"
    path.mkdir()
    yield path
    shutil.rmtree(path, ignore_errors=True)


@pytest.fixture
def install(pfx):
    """install(package) with Wine's msiexec; whatever is left is removed at the end."""
    done = []

    def run(package: Path, *properties):
        pfx.wine(["msiexec", "/i", pfx.win_path(package), "/qn", *properties])
        done.append(package)

    yield run
    for package in reversed(done):
        pfx.wine(["msiexec", "/x", pfx.win_path(package), "/qn"], check=False)


@pytest.fixture
def entries(pfx):
    """entry(name, **values) makes an Uninstall entry by hand; removed at the end.
    Values: str (REG_SZ), int (REG_DWORD), or (kind, value)."""
    made = []

    def make(name, **values):
        for value_name, value in values.items():
            kind = "REG_DWORD" if isinstance(value, int) else "REG_SZ"
            if isinstance(value, tuple):
                kind, value = value
            pfx.reg_add(UNINSTALL + "\\" + name, value_name, value, kind)
        made.append(name)
        return name

    yield make
    for name in made:
        pfx.reg_delete(UNINSTALL + "\\" + name)


@pytest.fixture
def app_window(pfx):
    """app_window(class, mode, lifetime_ms) starts tools/appwindow.exe and
    waits for its window; returns the file it records its messages in (the
    program ends when "<that file>.quit" appears)."""
    started = []

    def start(window_class, mode, lifetime_ms=60000):
        record = pfx.drive_c / f"appwindow_{uuid.uuid4().hex[:6]}.txt"
        program = WIN32_BUILD / "tools" / "appwindow.exe"
        proc = pfx.start([program, window_class, mode, pfx.win_path(record), str(lifetime_ms)])
        started.append((proc, record))
        wait_for_line(record, "ready")
        return record

    yield start
    for proc, record in started:
        if "exit" not in recorded(record):
            pid = next(line[4:] for line in record_lines(record) if line.startswith("pid="))
            pfx.wine(["taskkill", "/f", "/pid", pid], check=False)
        try:
            proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            proc.kill()
        record.unlink(missing_ok=True)
        record.with_name(record.name + ".quit").unlink(missing_ok=True)


def logged_together(body: list[str], lines: list[str]) -> bool:
    """Whether `lines` stand one after the other in the log."""
    return any(body[i:i + len(lines)] == lines for i in range(len(body)))


def record_lines(record: Path):
    return record.read_bytes().decode("latin-1").split("\r\n")[:-1]


def recorded(record: Path):
    """What the stand-in application recorded, without its process id."""
    return [line for line in record_lines(record) if not line.startswith("pid=")]


# --- incompatible products -----------------------------------------------------------

class TestIncompatibleProducts:
    def test_an_installed_incompatible_product_stops_the_setup(self, pfx, disk, build_msi, install):
        blocker = new_guid()
        install(build_msi(disk / "blocker.msi", blocker, name="KQ Blocker"))
        write_ini(disk, IncompatibleAppExit=[new_guid(), blocker])

        run = Interactive(pfx, disk, "incompatible", arguments="/qb")
        shown = run.answer("Error", "ok")
        result, lines = run.finish()
        assert result.exit_code == 1603
        text = ("Setup has detected the following incompatible software: \n\nKQ Blocker.\n\n"
                "Installation cannot continue.  Please see the README for more information.")
        assert boxes(lines) == [("Error", text, ERROR_STYLE)]
        assert shown == text.split("\n")[0]
        # The log says why at every UI level: the box, shown or not, with its own text.
        told = [f"The incompatible product {blocker} is installed", "Error",
                "Setup has detected the following incompatible software: ", "KQ Blocker.",
                "Installation cannot continue.  Please see the README for more information."]
        assert logged_together(log_bodies(pfx), told)
        for ui in ("/qn+", "/qn"):
            pfx.clear_setup_log()
            result, lines = run_probe(pfx, disk, "incompatible", arguments=ui)
            assert result.exit_code == 1603 and boxes(lines) == [], "silent: no box, the same ending"
            assert logged_together(log_bodies(pfx), told), ui

        write_ini(disk, IncompatibleAppExit=[new_guid()])
        assert run_probe(pfx, disk, "incompatible")[1] == [("incompatible", "1")]

    def test_removal_accepted_then_declined(self, pfx, disk, build_msi, install):
        old, other = new_guid(), new_guid()
        install(build_msi(disk / "old.msi", old, name="KQ Old Tool"))
        install(build_msi(disk / "other.msi", other, name="KQ Other Tool"))
        write_ini(disk, IncompatibleAppUninstall=[old, other])

        run = Interactive(pfx, disk, "uninstallincompatible", arguments="/qb")
        run.answer("Warning", "yes")
        run.answer("Warning", "no")
        result, lines = run.finish()
        assert result.exit_code == 1602
        (_, first, style), (_, second, _) = boxes(lines)
        assert first.startswith("Setup has detected the following incompatible software: \n\nKQ Old Tool.\n")
        assert first.endswith("Would you like to uninstall this now?")
        assert "\n\nKQ Other Tool.\n" in second
        assert style == WARNING_STYLE
        assert not is_registered(pfx, old), "removed by MSIEXEC /x"
        assert is_registered(pfx, other)
        body = log_bodies(pfx)
        assert body.index("Uninstalling incompatible applications") < body.index("Removing application")
        assert body[body.index("Removing application") + 1] == f"Command Line = {SYSTEM}\\MSIEXEC /x {old} /qb"

        # Nothing is removed silently.
        result, lines = run_probe(pfx, disk, "uninstallincompatible", arguments="/qn")
        assert result.exit_code == 1603 and boxes(lines) == []
        assert is_registered(pfx, other)

        # Nor for a run that ends at its MsiVersion anyway: nothing is asked.
        write_ini(disk, "MsiVersion=2,0\r\n", IncompatibleAppUninstall=[other])
        code, text, reason = internal_error(pfx, disk, "uninstallincompatible")
        assert (code, text) == (0x8004006B, "Error Code: 0009.8004006B") and is_registered(pfx, other)
        assert reason.endswith("; no incompatible product is removed")

    def test_a_product_that_may_not_be_removed(self, pfx, disk, build_msi, install):
        locked = new_guid()
        install(build_msi(disk / "locked.msi", locked, name="KQ Locked", properties={"ARPNOREMOVE": "1"}))
        # Windows Installer files ARPNOREMOVE as the entry's NoRemove.
        assert pfx.reg_query(UNINSTALL + "\\" + locked, "NoRemove") == "0x1"
        build_msi(disk / "Product.msi", new_guid(), name="KQ Demo", version="2.0.0")
        write_ini(disk, IncompatibleAppUninstall=[locked])

        run = Interactive(pfx, disk, "uninstallincompatible", arguments="/qb")
        run.answer("Error", "ok")
        result, lines = run.finish()
        assert result.exit_code == 1603
        assert [(c, "\n\nKQ Locked.\n\nInstallation cannot continue." in t) for c, t, _ in boxes(lines)] == [
            ("Error", True)]

        # The same product listed as an earlier version.
        write_ini(disk, PreviousVersionUninstall=[locked])
        run = Interactive(pfx, disk, "previous", arguments="/qb")
        run.answer("Error", "ok")
        result, lines = run.finish()
        assert result.exit_code == 1603
        assert [(c, "\n\nKQ Locked.\n\nInstallation cannot continue." in t) for c, t, _ in boxes(lines)] == [
            ("Error", True)]
        result, lines = run_probe(pfx, disk, "previous", arguments="/qn")
        assert result.exit_code == 1603 and boxes(lines) == []
        assert is_registered(pfx, locked)


# --- upgrade conditions ----------------------------------------------------------------

class TestUpgradeConditions:
    def test_a_missing_upgrade_base_is_told(self, pfx, disk, build_msi, install):
        base = new_guid()
        install(build_msi(disk / "base.msi", base, name="KQ Base", version="2.0.0"))
        write_ini(disk, UpgradeConditions=[f"{new_guid()},,LEAVE", f"{base},1.0-1.9;3.0-,LEAVE"])
        run = Interactive(pfx, disk, "upgrade", arguments="/qb")
        run.answer("Error", "ok")
        result, lines = run.finish()
        assert result.exit_code == 1603
        [(caption, text, style)] = boxes(lines)
        assert text.startswith("Setup cannot find a valid version of this software to upgrade.\n")
        assert style == ERROR_STYLE
        assert "Checking upgrade conditions" in log_bodies(pfx)

        write_ini(disk, UpgradeConditions=[f"{base},1.0-1.9;2.0,LEAVE"])
        assert run_probe(pfx, disk, "upgrade", arguments="/qn")[1] == [("upgrade", "1")]
        write_ini(disk, UpgradeConditions=[f"{base},2.0-,UPDATE"])
        assert internal_error(pfx, disk, "upgrade") == (
            0x8004006C, "Error Code: 0019.8004006C", f'The [UpgradeConditions] entry "{base},2.0-,UPDATE" cannot be '
            "used: its action is neither LEAVE nor REMOVE: UPDATE; an entry is <uninstall key>,<version ranges>,"
            "<LEAVE or REMOVE>")

    def test_remove_queues_the_product_and_msiexec_removes_it(self, pfx, disk, build_msi, install):
        old = new_guid()
        install(build_msi(disk / "old.msi", old, name="KQ Demo 1.5", version="1.5.0"))
        build_msi(disk / "Product.msi", new_guid(), name="KQ Demo", version="2.0.0")
        write_ini(disk, UpgradeConditions=[f"{new_guid()},,REMOVE", f"{old},1.0-1.9;3.0-,remove"])

        run = Interactive(pfx, disk, "version=" + old, "upgrade", "queued", "previous", arguments="/qb")
        run.answer("Warning", "yes")
        result, lines = run.finish()
        assert result.exit_code == 0
        assert results(lines) == [("version", "1 1.5.0.0"), ("upgrade", "1"), ("queued", old), ("previous", "1")]
        [(_, text, style)] = boxes(lines)
        assert style == WARNING_STYLE
        assert text.startswith("Setup has detected a previous installation of KQ Demo 1.5.\n\n"
                               "To install KQ Demo 2.0.0, you must first uninstall\n"
                               "the existing version of KQ Demo 1.5.")
        assert not is_registered(pfx, old)
        body = log_bodies(pfx)
        assert body.index("Checking upgrade conditions") < body.index("Uninstalling previous versions")
        assert f"Command Line = {SYSTEM}\\MSIEXEC /x {old} /qb" in body


    def test_a_medium_never_removes_its_own_product(self, pfx, disk, build_msi, install):
        """Listed for removal, by REMOVE or in [PreviousVersionUninstall] (in
        another letter case), the package's own product stays installed and
        takes the maintenance path."""
        own = new_guid()
        install(build_msi(disk / "Product.msi", own, name="KQ Own"))
        write_ini(disk, UpgradeConditions=[f"{own},,REMOVE"], PreviousVersionUninstall=[own.lower()])
        result, lines = run_probe(pfx, disk, "upgrade", "queued", "previous", arguments="/qn")
        assert result.exit_code == 0
        assert results(lines) == [("upgrade", "1"), ("queued", own.lower()), ("previous", "1")]
        assert is_registered(pfx, own)
        not_removed = "Not removing {}: it is this package's own product, which a setup never removes"
        body = log_bodies(pfx)
        assert not_removed.format(own) in body and not_removed.format(own.lower()) in body
        assert not any(line.startswith("Command Line =") for line in body)


# --- earlier versions ------------------------------------------------------------------------

class TestPreviousVersions:
    def test_another_build_of_this_product_is_asked_for_and_removed(self, pfx, disk, build_msi, install):
        code = new_guid()
        first = build_msi(disk / "first" / "Product.msi", code, name="KQ Demo", version="1.0.0")
        install(first)
        # The same package on the medium: nothing to do.
        shutil.copyfile(first, disk / "Product.msi")
        write_ini(disk)
        assert run_probe(pfx, disk, "previous", arguments="/qb")[1] == [("previous", "1")]
        assert is_registered(pfx, code)

        build_msi(disk / "Product.msi", code, name="KQ Demo", version="1.0.1")
        run = Interactive(pfx, disk, "previous", arguments="/qb")
        run.answer("Warning", "yes")
        result, lines = run.finish()
        assert result.exit_code == 0 and results(lines) == [("previous", "1")]
        [(_, text, _)] = boxes(lines)
        assert text.startswith("Setup has detected a previous installation of KQ Demo.\n\n"
                               "To install KQ Demo 1.0.1, you must first uninstall")
        assert not is_registered(pfx, code)
        assert f"Command Line = {SYSTEM}\\MSIEXEC /x {code} /qb" in log_bodies(pfx)

    def test_a_product_still_registered_after_its_uninstaller(self, pfx, disk, build_msi, entries, tools):
        # A non-Windows Installer product whose uninstaller leaves its entry:
        # the stand-in child, named by a REG_EXPAND_SZ command over 260 bytes.
        folder = pfx.drive_c / f"kqtool_{uuid.uuid4().hex[:6]}"
        folder.mkdir()
        shutil.copyfile(tools.child, folder / "remover.exe")
        record = folder / "calls.txt"
        (folder / "remover.cfg").write_text(f"record={pfx.win_path(record)}\nexit=0\n")
        arguments = "/remove " + "x" * 300
        name = entries(f"KqStubborn{uuid.uuid4().hex[:6]}", DisplayName="Stubborn Tool 3.0",
                       UninstallString=("REG_EXPAND_SZ", f"%SystemDrive%\\{folder.name}\\remover.exe {arguments}"))
        build_msi(disk / "Product.msi", new_guid(), name="KQ Demo", version="4.0.0")
        write_ini(disk, PreviousVersionUninstall=[new_guid(), name])

        run = Interactive(pfx, disk, "previous", arguments="/qb")
        run.answer("Warning", "yes")
        run.answer("Warning", "no")
        result, lines = run.finish()
        assert result.exit_code == 1602
        (_, first, _), (_, second, _) = boxes(lines)
        assert first == second and first.startswith("Setup has detected a previous installation of Stubborn Tool 3.0.")
        calls = record.read_bytes().decode("latin-1").split("\r\n")[:-1]
        assert calls == [f"C:\\{folder.name}\\remover.exe {arguments}"]
        assert "Waiting five seconds for reboot!" in log_bodies(pfx)

        result, lines = run_probe(pfx, disk, "previous", arguments="/qn")
        assert result.exit_code == 1603 and boxes(lines) == []
        assert len(record.read_bytes().decode("latin-1").split("\r\n")[:-1]) == 2, "ran once more, silently"
        shutil.rmtree(folder, ignore_errors=True)

    NOT_YET = ("The Windows Installer this package needs is not there yet; earlier versions are removed only "
               "after the Windows Installer check")
    UNREADABLE = ("MsiVersion=2,0 in SETUP.INI cannot be read: a version is numbers separated by dots, such as 3.1 "
                  "or 4.5.6362; no earlier version is removed")

    @pytest.mark.parametrize("way, msi_version, code, reason", [
        ("listed", "6.0", 1603, NOT_YET),
        ("another build", "6.0", 1603, NOT_YET),
        ("another build", "2,0", 0x8004006B, UNREADABLE),
    ])
    def test_a_requirement_the_machine_cannot_meet_removes_nothing(self, pfx, disk, build_msi, install, way,
                                                                   msi_version, code, reason):
        """SETUP.EXE itself, with 1.0 installed and a MsiVersion that no
        redistributable reaches (none on the medium, the download refused)
        or that cannot be read: the run fails, and 1.0 is still there."""
        old = new_guid()
        install(build_msi(disk / "first" / "Product.msi", old, name="KQ Demo", version="1.0.0"))
        build_msi(disk / "Product.msi", old if way == "another build" else new_guid(), name="KQ Demo",
                  version="1.1.0")
        write_ini(disk, f"MsiVersion={msi_version}\r\nNTMsiInstaller=http://127.0.0.1:1/instmsiw.exe\r\n",
                  **({"PreviousVersionUninstall": [old]} if way == "listed" else {}))
        shutil.copyfile(pfx.tools.setup, disk / "SETUP.EXE")
        assert run_setup(pfx, disk, "/qn").exit_code == code
        assert is_registered(pfx, old)
        body = log_bodies(pfx)
        in_order(body, "Uninstalling previous versions", reason,
                 "Checking if the Windows Installer is the correct version")
        assert not any(line.startswith("Command Line =") and "/x" in line for line in body), "no uninstaller ran"
        assert "Attempting to uninstall previous versions again" not in body

    def test_without_the_windows_installer_a_listed_product_waits(self, pfx, disk, build_msi, entries):
        name = entries(f"KqWaiting{uuid.uuid4().hex[:6]}", DisplayName="Waiting Tool", UninstallString="x.exe")
        build_msi(disk / "Product.msi", new_guid(), name="KQ Demo", version="4.0.0")
        write_ini(disk, PreviousVersionUninstall=[name])
        no_msi = {"WINEDLLOVERRIDES": "msi="}
        result, lines = run_probe(pfx, disk, "previous", arguments="/qn", env=no_msi)
        assert lines == [("previous", "0")], "asked again after the Windows Installer is there"
        write_ini(disk, PreviousVersionUninstall=[new_guid()])
        assert run_probe(pfx, disk, "previous", arguments="/qn", env=no_msi)[1] == [("previous", "1")]


# --- running applications --------------------------------------------------------------------

class TestRunningApplications:
    def test_programs_that_close_when_asked(self, pfx, disk, app_window):
        closes = app_window("KqCloses", "close")
        main = app_window("KqAppMain", "close")
        write_ini(disk, ShutdownApplication=["KqNotRunning", "KqCloses", "KqAppMain,5000,273,57665,0"])
        result, lines = run_probe(pfx, disk, "shutdown", arguments="/qn")
        assert result.exit_code == 0 and lines == [("shutdown", "1")]
        # The default is WM_CLOSE, then WM_QUIT; the entry's own message otherwise.
        # WM_CLOSE, and WM_QUIT only to a window that is still there.
        assert recorded(closes) == ["ready", "msg=16 wparam=0 lparam=0", "exit"]
        assert recorded(main) == ["ready", "msg=273 wparam=57665 lparam=0", "exit"]
        body = log_bodies(pfx)
        assert body[body.index("Shutting down applications"):] == ["Shutting down applications"]

    def test_a_program_that_refuses_is_asked_about_until_it_is_gone(self, pfx, disk, app_window):
        write_ini(disk, ShutdownApplication=["KqRefuses"])
        record = app_window("KqRefuses", "refuse")
        result, lines = run_probe(pfx, disk, "shutdown", arguments="/qn")
        assert result.exit_code == 1603 and boxes(lines) == []

        run = Interactive(pfx, disk, "shutdown", arguments="/qb")
        shown = run.answer("Warning", "yes")
        assert shown == "Setup has detected that the application being installed is running."
        run.answer("Warning", "none")  # asked again while it still runs
        record.with_name(record.name + ".quit").touch()
        wait_for_line(record, "exit")
        run.answer("Warning", "yes")
        result, lines = run.finish()
        assert result.exit_code == 0 and lines[-1] == ("shutdown", "1")
        assert [style for _, _, style in boxes(lines)] == [WARNING_STYLE] * 2
        # Three attempts (the silent run and two answers of Yes), each WM_CLOSE
        # then WM_QUIT; the last Yes found the program gone.
        assert recorded(record) == ["ready"] + ["msg=16 wparam=0 lparam=0", "msg=18 wparam=0 lparam=0"] * 3 + ["exit"]

        record = app_window("KqRefuses", "refuse")
        run = Interactive(pfx, disk, "shutdown", arguments="/qb")
        run.answer("Warning", "no")
        assert run.finish()[0].exit_code == 1602

    def test_a_hung_program_does_not_hold_the_setup(self, pfx, disk, app_window):
        # The window takes no messages for a minute: a send that waited for
        # it would return only when it is gone, and the step would pass.
        write_ini(disk, ShutdownApplication=["KqHangs"])
        record = app_window("KqHangs", "hang", lifetime_ms=60000)
        result, lines = run_probe(pfx, disk, "shutdown", arguments="/qn")
        assert result.exit_code == 1603 and boxes(lines) == []
        run = Interactive(pfx, disk, "shutdown", arguments="/qb")
        run.answer("Warning", "no")
        assert run.finish()[0].exit_code == 1602
        assert "exit" not in recorded(record), "decided while the program still hung"

    def test_an_entry_without_a_class_counts_as_running(self, pfx, disk):
        write_ini(disk, ShutdownApplication=['"",5000'])
        assert run_probe(pfx, disk, "shutdown", arguments="/qn")[0].exit_code == 1603
        run = Interactive(pfx, disk, "shutdown", arguments="/qb")
        run.answer("Warning", "no")
        assert run.finish()[0].exit_code == 1602


# --- the product's registry key ------------------------------------------------------------------

class TestProductRegistryKey:
    def test_key_value_and_root_names(self, pfx, disk):
        pfx.reg_add(r"HKLM\Software\KqProduct", "Path", r"C:\KQ")
        try:
            checks = {r"HKLM,Software\KqProduct,Path": "1", r"HKLM,Software\KqProduct,Missing": "0",
                      r"HKEY_LOCAL_MACHINE,Software\KqProduct": "1", r"HKLM,Software\KqAbsent,": "0"}
            for value, expected in checks.items():
                write_ini(disk, f"CheckRegKey={value}\r\n")
                assert run_probe(pfx, disk, "regkey")[1] == [("regkey", expected)], value
            write_ini(disk, "CheckRegKey=hklm,Software\\KqProduct,Path\r\n")
            assert internal_error(pfx, disk, "regkey") == (
                0x8004006C, "Error Code: 0002.8004006C", r'CheckRegKey=hklm,Software\KqProduct,Path in SETUP.INI '
                'names the root "hklm": it is one of HKLM, HKCU, HKCR, HKCC, HKU or their long names such as '
                "HKEY_LOCAL_MACHINE, in capitals")
            write_ini(disk, 'CheckRegKey=HKLM,"Software\\KqProduct,Path\r\n')
            assert internal_error(pfx, disk, "regkey") == (
                0x8004006B, "Error Code: 0002.8004006B", r'CheckRegKey=HKLM,"Software\KqProduct,Path in SETUP.INI '
                "cannot be read: a field is quoted whole or not at all, and its quotes are closed; it is <root>,"
                "<subkey>[,<value name>]")
        finally:
            pfx.reg_delete(r"HKLM\Software\KqProduct")


# --- 64-bit Windows ----------------------------------------------------------------------------------

class Win64Prefix(Prefix):
    def env(self, extra=None, locale=None):
        env = super().env(extra, locale)
        env["WINEARCH"] = "win64"
        return env


@pytest.fixture(scope="module")
def win64_prefix(tools):
    """A 64-bit prefix, where this 32-bit program runs under WOW64 and sees
    the registry as on 64-bit Windows. About 15 s to make."""
    base = os.environ.get("KQ_WINEPREFIX")
    path = Path(f"{base}-win64-{os.getpid()}") if base else WIN32_BUILD.parent / "e2e-win64-prefix"
    shutil.rmtree(path, ignore_errors=True)
    path.mkdir(parents=True)
    env = dict(os.environ, WINEPREFIX=str(path), WINEARCH="win64", WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    # The persistent server keeps its output streams: never capture them.
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-p"], env=env, check=True, **quiet)
    try:
        subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300, **quiet)
        yield Win64Prefix(path, tools)
    finally:
        subprocess.run(["wineserver", "-k"], env=env, check=False, **quiet)
        shutil.rmtree(path, ignore_errors=True)


class TestSixtyFourBitWindows:
    def test_an_entry_in_the_64_bit_view_is_found_after_the_programs_own(self, win64_prefix):
        pfx = win64_prefix
        disk = pfx.drive_c / "medium64"
        disk.mkdir(exist_ok=True)
        key = UNINSTALL + r"\KqSixtyFour"
        for name, value in (("DisplayName", "Tool 64"), ("DisplayVersion", "6.4"),
                            ("UninstallString", r"C:\Program Files\Tool\uninst.exe")):
            pfx.wine(["reg", "add", key, "/v", name, "/d", value, "/f", "/reg:64"])
        assert pfx.wine(["reg", "query", key, "/reg:32"], check=False).returncode != 0, \
            "the entry exists only in the 64-bit view"
        write_ini(disk, IncompatibleAppExit=["KqSixtyFour"])
        result, lines = run_probe(pfx, disk, "command=KqSixtyFour", "version=KqSixtyFour", "incompatible",
                                  arguments="/qn")
        assert result.exit_code == 1603
        assert lines[:2] == [("command", r"1|Tool 64|C:\Program Files\Tool\uninst.exe"),
                             ("version", "1 6.4.0.0")]

        # The program's own view comes first.
        pfx.wine(["reg", "add", key, "/v", "DisplayName", "/d", "Tool 32", "/f", "/reg:32"])
        _, lines = run_probe(pfx, disk, "command=KqSixtyFour")
        assert lines == [("command", "0|Tool 32|")], "the 32-bit entry has no command"

    def test_a_product_registry_key_in_either_view_is_found(self, win64_prefix):
        pfx = win64_prefix
        disk = pfx.drive_c / "medium64"
        disk.mkdir(exist_ok=True)
        key = r"HKLM\Software\KqProduct64"
        pfx.wine(["reg", "add", key, "/v", "Path", "/d", r"C:\KQ64", "/f", "/reg:64"])
        pfx.wine(["reg", "add", key, "/v", "Own", "/d", r"C:\KQ32", "/f", "/reg:32"])
        # Path only in the 64-bit view, Own only in the program's own view.
        for value, expected in {"Path": "1", "Own": "1", "Missing": "0"}.items():
            write_ini(disk, f"CheckRegKey=HKLM,Software\\KqProduct64,{value}\r\n")
            assert run_probe(pfx, disk, "regkey")[1] == [("regkey", expected)], value
