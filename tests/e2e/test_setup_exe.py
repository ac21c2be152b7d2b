"""SETUP.EXE as publishers ship it and administrators run it: the whole run
sequence under Wine, with the progress dialog on an Xvfb display, real wixl
packages and Wine's own msiexec where the Windows Installer matters, and a
stand-in msiexec where a test needs a chosen exit code.
"""
import os
import re
import shutil
import subprocess
import time
import uuid
from pathlib import Path

import pytest

from conftest import SOURCE_ROOT, Component, Feature, StandInMsiexec, temp_on_small_drive
from setup_helpers import (SHORTCUT, UNINSTALL, in_order, install_for_real, log_bodies, new_guid, run_setup,
                           remove_copies, temp_copies, wait_for_log, write_ini)
from test_setup_inputs import answer_raw, start_on_desktop

@pytest.fixture
def medium(gui_prefix):
    path = gui_prefix.drive_c / f"medium_{uuid.uuid4().hex[:8]}"
    path.mkdir()
    shutil.copyfile(gui_prefix.tools.setup, path / "SETUP.EXE")
    yield path
    shutil.rmtree(path, ignore_errors=True)


@pytest.fixture
def package(medium, build_msi):
    """A real package on the medium whose product is not installed."""
    return build_msi(medium / "Product.msi", new_guid())


def read_dialog(prefix, caption, locale, press="none"):
    """answer.exe reading the progress dialog on the boxes' desktop (and then
    pressing `press`): its fields as bytes, texts in the ANSI code page."""
    _, fields, proc = answer_raw(prefix, caption, press, locale, until=b"visible")
    return fields, proc


def screenshot(display, out: Path):
    """The dialog, cut out of the screen: it sits at the top left corner of
    the virtual desktop (as its template places it), which sits at the top
    left of the screen; the screen's and then the desktop's background are
    trimmed from the bottom right."""
    raw = out.with_suffix(".raw.png")
    subprocess.run(["import", "-display", display, "-window", "root", str(raw)], check=True, timeout=60)
    subprocess.run(["convert", str(raw), "-rotate", "180", "-fuzz", "3%", "-trim", "+repage", "-trim", "+repage",
                    "-rotate", "180", str(out)], check=True, timeout=60)


@pytest.fixture
def needs_final_restart(gui_prefix, medium, build_msi, stand_in):
    """A main installation that needs a reboot while a nested setup
    suppresses reboots, so that the setup restarts Windows at the very end.
    The product is really installed (the stand-in MSIEXEC installs nothing),
    and the nested setup's data names no package: it ends with an internal
    error (a box at the UI levels that show boxes), which the outer setup
    only logs, since the product it names (here the main one) is installed.
    Yields the command line."""
    code = new_guid()
    product = build_msi(medium / "Product.msi", code, name="KQ Restart")
    install_for_real(gui_prefix, stand_in, product)
    write_ini(medium, f"NestedInstall={code},Nested.ini,ONEREBOOT\r\n")
    (medium / "Nested.ini").write_bytes(b"[ProductInformation]\r\n")
    stand_in.configure(exit_code=3010)
    yield [gui_prefix.win_path(medium / "SETUP.EXE"), "/i", "Product.msi"]
    with stand_in.real():
        gui_prefix.wine(["msiexec", "/x", code, "/qn"], check=False)


class TestInstallation:
    def test_first_installation_then_maintenance(self, gui_prefix, medium, build_msi, tools):
        code = new_guid()
        build_msi(medium / "Product.msi", code, name="KQ Setup Demo", version="1.2.3",
                  features=[Feature("Main", [Component("readme.txt", "installed by SETUP.EXE\n")])])
        write_ini(medium, "MsiVersion=1.10\r\nPlatforms=NT:4.0,9X:4.10\r\n")
        try:
            result = run_setup(gui_prefix, medium, "/qn")
            assert result.exit_code == 0
            body = log_bodies(gui_prefix)
            in_order(body, "Worker thread starting...", "Starting the SETUP process from the beginning",
                     "Install mode is the default", "Install mode is default or configure", "Exiting normally",
                     "Worker thread exiting with status code: 00000000", "Setting Finish Event...",
                     "Sending WM_ENDSETUPDIALOG message...", "UI Received WM_ENDSETUPDIALOG message")
            assert gui_prefix.reg_query(UNINSTALL + "\\" + code, "DisplayName") == "KQ Setup Demo"
            assert list(gui_prefix.drive_c.glob("Program Files*/KQDemo/readme.txt"))
            assert temp_copies(gui_prefix) == []

            # Wine's msiexec cannot repair from a package path (it answers
            # 1605); a stand-in records the maintenance command line instead.
            gui_prefix.clear_setup_log()
            stand_in = StandInMsiexec(gui_prefix, tools)
            try:
                result = run_setup(gui_prefix, medium, "/qn")
                calls = stand_in.calls()
            finally:
                stand_in.restore()
            assert result.exit_code == 0
            assert calls == [rf'C:\windows\system32\MSIEXEC /fvomus "{gui_prefix.win_path(medium)}\Product.msi" /qn']
            in_order(log_bodies(gui_prefix), "Found the product registry key",
                     "The current version of the product is already installed",
                     "Launching the maintenance installer", "Exiting after running the maintenance installer")
        finally:
            gui_prefix.wine(["msiexec", "/x", code, "/qn"], check=False)

    def test_a_medium_over_half_the_free_space_of_temp_is_not_copied(self, gui_prefix, medium, build_msi,
                                                                       tmp_path):
        code = new_guid()
        build_msi(medium / "Product.msi", code, name="KQ Big Medium",
                  features=[Feature("Main", [Component("readme.txt", "from the medium\n")])])
        write_ini(medium)
        (medium / "extras").mkdir()
        (medium / "extras" / "filler.bin").write_bytes(b"\0" * (10 * 1024 * 1024))
        try:
            with temp_on_small_drive(gui_prefix, 16, tmp_path / "small") as drive:
                result = run_setup(gui_prefix, medium, "/qn")
                assert list(drive.iterdir()) == []
            assert result.exit_code == 0
            body = log_bodies(gui_prefix)
            refused = [line for line in body if line.startswith("Not copying the setup: ")]
            assert len(refused) == 1 and re.fullmatch(
                r"Not copying the setup: 1[0-6] MB free on the drive of [T-Y]:\\, the copy needs \d+ MB; "
                r"running from the original location", refused[0]), refused
            assert not any(line.startswith("Copying ") for line in body)
            assert gui_prefix.reg_query(UNINSTALL + "\\" + code, "DisplayName") == "KQ Big Medium"
        finally:
            gui_prefix.wine(["msiexec", "/x", code, "/qn"], check=False)

    def test_missing_setup_ini_is_internal_error_1(self, gui_prefix, medium):
        result = run_setup(gui_prefix, medium, "/qn")
        assert result.exit_code == 2  # the file does not exist
        in_order(log_bodies(gui_prefix), "Internal Error", "Error Code: 0001.00000002",  # and no box
                 "Worker thread exiting with status code: 00000002")

        gui_prefix.clear_setup_log()
        proc = gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE")], env={"KQSETUP": "LOG"})
        box = gui_prefix.answer("Internal Error", "ok")
        assert box["found"] and box.get("text") == "Error Code: 0001.00000002"
        assert gui_prefix.finish(proc).exit_code == 2


class TestMainInstallationOutcome:
    @pytest.mark.parametrize("child, expected, line", [
        (1603, 1603, "Exiting due to failure after running the main installation"),
        (3010, 3010, "The installer did not restart Windows, so a restart is required"),
        (0, 1602, None),  # the stand-in installs nothing: the product is not there afterwards
    ])
    def test_exit_code_of_the_main_installation(self, gui_prefix, medium, package, stand_in, startup_folder,
                                                child, expected, line):
        write_ini(medium)
        stand_in.configure(exit_code=child)
        result = run_setup(gui_prefix, medium, "/qb-")
        assert result.exit_code == expected
        if line:
            assert line in log_bodies(gui_prefix)
        assert not (startup_folder / SHORTCUT).exists()
        assert temp_copies(gui_prefix) == []

    def test_reboot_before_a_nested_setup_resumes_at_the_nested_setup(self, gui_prefix, medium, package, stand_in,
                                                                        startup_folder, build_msi):
        nested = new_guid()
        write_ini(medium, f"NestedInstall={nested},Nested.ini\r\n")
        write_ini(medium, name="Nested.ini", package="Nested.msi")
        build_msi(medium / "Nested.msi", new_guid())
        stand_in.configure(exit_code=1641)
        result = run_setup(gui_prefix, medium, "/qb-")
        assert result.exit_code == 460393
        in_order(log_bodies(gui_prefix), "Hooking reboot before running the main installation",
                 "Exiting due to intermediate reboot after running the main installation")
        shortcut = startup_folder / SHORTCUT
        assert shortcut.exists()
        copies = temp_copies(gui_prefix)
        assert len(copies) == 1, "the copy stays for the restart"

        # The logon after the reboot opens the shortcut: the main product
        # is there, so only the nested setup is left. It runs from the
        # medium, which still holds it, so that the medium stays its
        # product's source. Its own main installation ends with 1602 (the
        # stand-in installs nothing), and so does the run: the nested
        # product is missing.
        install_for_real(gui_prefix, stand_in, package)
        gui_prefix.clear_setup_log()
        stand_in.configure(exit_code=0)
        result = gui_prefix.run(gui_prefix.win_path(shortcut), env={"KQSETUP": "LOG"}, shortcut=True)
        body = log_bodies(gui_prefix)
        in_order(body, "Starting the SETUP process at launching the nested installation",
                 "Launching the nested installer",
                 f'The medium "{gui_prefix.win_path(medium)}\\" holds the nested setup: it starts from there',
                 "Nested installer was launched",
                 f"The nested product {nested} is not installed after its setup ended with 1602; exiting with 1602")
        assert "Running installer" not in body[:body.index("Launching the nested installer")]
        assert stand_in.calls()[-1] == \
            rf'C:\windows\system32\MSIEXEC.EXE /i "{gui_prefix.win_path(medium)}\Nested.msi" /qb-'
        assert not shortcut.exists()
        # The copy is emptied; the running program, its record and its folder
        # wait for the next restart (or the next run, which removes the copy
        # once its record's run is over).
        assert sorted(p.name for p in copies[0].iterdir()) == ["KQSETUP.RUN", "SETUP.EXE"]
        pending = gui_prefix.reg_query(r"HKLM\System\CurrentControlSet\Control\Session Manager",
                                       "PendingFileRenameOperations") or ""
        assert copies[0].name in pending
        assert result.exit_code == 1602


class TestEndOfSession:
    def test_end_of_session_during_the_main_installation(self, gui_prefix, medium, package, stand_in,
                                                        startup_folder):
        write_ini(medium)
        # Enough files that deleting the temporary copy at the end takes a
        # while: WM_ENDSESSION then arrives while the worker does its
        # bookkeeping, as on a real logoff, instead of after the dialog ended.
        for i in range(600):
            (medium / f"data{i:03d}.bin").write_bytes(b"x" * 4096)
        stand_in.configure(exit_code=0, wait_ms=60000)
        proc = gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "/qb-"], env={"KQSETUP": "LOG"})
        wait_for_log(gui_prefix, "Running installer")
        gui_prefix.wine(["wineboot", "--end-session"], check=False)
        result = gui_prefix.finish(proc)
        body = log_bodies(gui_prefix)
        in_order(body, "UI Received WM_QUERYENDSESSION message", "Reboot signaled after running the main installation",
                 "Exiting due to final reboot after running the main installation",
                 "Worker thread exiting with status code: 00000669")
        in_order(body, "UI Received WM_ENDSESSION message", "UI Finish event was signalled",
                 "UI Dequeued WM_ENDSETUPDIALOG message")
        assert result.exit_code == 1641

    def end_session_within_30_s(self, gui_prefix, proc):
        """Ends the session as a logoff does; returns the run's result once
        both the setup and the end of the session have completed."""
        started = time.time()
        # --shutdown: no "next logon" afterwards, which would start what the
        # Startup folder holds.
        gui_prefix.wine(["wineboot", "--end-session", "--shutdown"], check=False, timeout=60)
        result = gui_prefix.finish(proc, timeout=60)
        assert time.time() - started < 30
        return result

    def test_end_of_session_during_the_temporary_copy(self, gui_prefix, medium, package, stand_in, startup_folder):
        write_ini(medium)
        for i in range(20_000):
            (medium / f"f{i:05d}.txt").write_bytes(b"x")
        proc = gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "/qb-"], env={"KQSETUP": "LOG"})
        wait_for_log(gui_prefix, 'Copying "')
        result = self.end_session_within_30_s(gui_prefix, proc)
        assert result.exit_code == 1641
        in_order(log_bodies(gui_prefix), "The copy stops: the session is ending",
                 "Exiting due to the end of the Windows session", "Worker thread exiting with status code: 00000669",
                 "UI Finish event was signalled")
        assert stand_in.calls() == [] and temp_copies(gui_prefix) == []

    def test_end_of_session_during_a_steps_message_box(self, gui_prefix, medium, package, startup_folder):
        """No usable Windows Installer and none on the medium: message 13
        waits for an answer, with the resume shortcut in place."""
        write_ini(medium, "NTMsiInstaller=http://127.0.0.1:1/f\r\n")
        proc = gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "/qb"],
                                env={"KQSETUP": "LOG", "WINEDLLOVERRIDES": "msi="})
        assert gui_prefix.answer("Warning", "none")["found"]
        result = self.end_session_within_30_s(gui_prefix, proc)
        assert result.exit_code == 460393
        in_order(log_bodies(gui_prefix), "UI Closing a message box of the worker: the session is ending",
                 "Exiting due to the end of the Windows session", "Worker thread exiting with status code: 00070669")
        assert (startup_folder / SHORTCUT).exists(), "the setup resumes at the next logon"
        remove_copies(gui_prefix)


class TestProgressDialog:
    @pytest.mark.parametrize("locale, status, shot", [
        ("en_US.UTF-8", "Please wait while setup loads....", "setup_dialog_en.png"),
        ("de_AT.UTF-8", "Bitte warten Sie, w\u00e4hrend Setup geladen wird...", "setup_dialog_de.png"),
    ])
    def test_dialog_stays_while_the_windows_installer_is_installed(self, gui_prefix, medium, package, tools,
                                                                   tmp_path, locale, status, shot):
        """No usable Windows Installer (MSI.DLL disabled): the setup runs the
        redistributable from its medium with the dialog on the screen, and
        ends with 1602 when the engine is still missing afterwards."""
        write_ini(medium)
        record = gui_prefix.drive_c / f"insnt_{uuid.uuid4().hex[:6]}.txt"
        shutil.copyfile(tools.child, medium / "INSNTMSI.EXE")
        (medium / "INSNTMSI.cfg").write_text(f"record={gui_prefix.win_path(record)}\nwait=10000\n")
        proc = start_on_desktop(gui_prefix, [medium / "SETUP.EXE", "/qb"],
                                {"KQSETUP": "LOG", "WINEDLLOVERRIDES": "msi="}, locale)
        try:
            fields, reader = read_dialog(gui_prefix, "Setup - SETUP.INI", locale)
            assert "visible" in fields, f"the progress dialog never appeared: {fields}"
            assert fields["status"].decode("cp1252") == status
            assert (fields["visible"], fields["progress-visible"]) == (b"1", b"0")
            screenshot(gui_prefix.display, tmp_path / shot)
            if os.environ.get("KQ_UPDATE_DOCS"):
                shutil.copyfile(tmp_path / shot, SOURCE_ROOT / "docs" / shot)
            # Esc, Enter and Close would end the dialog under the running
            # worker: the dialog ignores them and stays.
            pressed = [read_dialog(gui_prefix, "Setup - SETUP.INI", locale, press)[1] for press in
                       ("cancel", "ok", "close")]
            time.sleep(0.5)
            still, checker = read_dialog(gui_prefix, "Setup - SETUP.INI", locale)
            assert still.get("visible") == b"1"
        finally:
            result = gui_prefix.finish(proc)
        for helper in (reader, checker, *pressed):
            helper.wait(timeout=60)
        assert result.exit_code == 1602
        # Started from the temporary copy, quietly for /qb.
        started = record.read_bytes().decode("latin-1").split("\r\n")[0]
        assert started.endswith('\\INSNTMSI.EXE" /Q') and "\\KIES" in started
        in_order(log_bodies(gui_prefix), "Unhooking reboot after running the Windows installer",
                 "The Windows Installer installation did not complete successfully")


# Each ends at a box that Parts of the run show at any UI level: the upgrade
# base is missing (message 7), the platform is not listed (message 5), the
# Windows Installer can be neither run from the medium nor downloaded
# (message 13). (SETUP.INI lines, environment, caption, first text line, code)
BOX_ENDINGS = {
    "upgrade": (f"[UpgradeConditions]\r\n{{00000000-0000-0000-0000-000000000001}},,LEAVE\r\n", {}, "Error",
                "Setup cannot find a valid version of this software to upgrade.", 1603),
    "platform": ("", {}, "Error", "This program does not support the operating system detected.", 1633),
    "download": ("", {"WINEDLLOVERRIDES": "msi="}, "Warning",
                 "Setup requires at least version 1.10 of the Windows Installer to run.", 1603),
}


def box_ending_medium(medium, scenario):
    more, env, caption, text, code = BOX_ENDINGS[scenario]
    information = {"platform": "Platforms=NT:99.0\r\n",
                   "download": "NTMsiInstaller=http://127.0.0.1:1/f\r\n"}.get(scenario, "")
    write_ini(medium, information, more)
    return env, caption, text, code


def watched(result):
    """(dialogs, visible) from runner.exe --watch."""
    found = re.search(r"watch dialogs=(\d+) visible=(\d+)", result.stdout)
    return int(found[1]), int(found[2])


class TestQuietRuns:
    @pytest.mark.parametrize("scenario", sorted(BOX_ENDINGS))
    @pytest.mark.parametrize("ui", ["/qn", "/passive"])
    def test_no_box_at_levels_5_and_7_the_message_goes_to_the_log(self, gui_prefix, medium, scenario, ui):
        env, caption, text, code = box_ending_medium(medium, scenario)
        result = run_setup(gui_prefix, medium, ui, env=env, timeout=90)  # a box would wait: a time-out
        assert result.exit_code == code
        in_order(log_bodies(gui_prefix), caption, text, f"Worker thread exiting with status code: {code:08X}")

    @pytest.mark.parametrize("scenario", sorted(BOX_ENDINGS))
    def test_qb_still_shows_the_box(self, gui_prefix, medium, scenario):
        env, caption, text, code = box_ending_medium(medium, scenario)
        proc = gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "/qb"], env={"KQSETUP": "LOG", **env})
        box = gui_prefix.answer(caption, "ok")
        assert box["found"] and box["text"].startswith(text)
        assert gui_prefix.finish(proc).exit_code == code

    def test_a_refused_argument_ends_with_1639_and_says_which(self, gui_prefix, medium):
        write_ini(medium)
        result = run_setup(gui_prefix, medium, "/qn /i", timeout=60)
        assert result.exit_code == 1639
        body = log_bodies(gui_prefix)
        in_order(body, "Invalid command line argument: /i", "Internal Error", "Error Code: 0018.80070667",
                 "Worker thread exiting with status code: 00000667")
        assert "Another instance of the same install is currently running" not in body

        gui_prefix.clear_setup_log()
        proc = gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "REBOOT=Maybe"], env={"KQSETUP": "LOG"})
        box = gui_prefix.answer("Internal Error", "ok")
        assert box["found"] and box["text"] == "Error Code: 0018.80070667"
        assert gui_prefix.finish(proc).exit_code == 1639
        assert "Invalid command line argument: REBOOT=Maybe" in log_bodies(gui_prefix)

    def test_an_argument_the_code_page_cannot_hold_ends_with_1639_unseen(self, gui_prefix, medium, stand_in):
        """Cyrillic on a 1252 system: never a default installation without
        the /qn that was asked for, and nothing on the screen."""
        write_ini(medium)
        result = gui_prefix.run(f'"{gui_prefix.win_path(medium / "SETUP.EXE")}" /qn TARGETDIR=C:\\Программы',
                                env={"KQSETUP": "LOG"}, watch=True, wide=True, timeout=60)
        assert result.exit_code == 1639
        assert watched(result) == (1, 0)
        assert stand_in.calls() == []
        in_order(log_bodies(gui_prefix), "Failed to convert Unicode command line to MBCS",
                 "Failed extracting the program name from the command line",
                 "Worker thread exiting with status code: 00000667")

    def test_a_package_name_typo_leaves_its_internal_error_in_the_log(self, gui_prefix, medium):
        (medium / "SETUP.INI").write_bytes(b"[ProductInformation]\r\nPackgeName=Product.msi\r\n"
                                           b"[ProductFeatures]\r\nMain\r\n")
        result = run_setup(gui_prefix, medium, "/qn", timeout=60)
        assert result.exit_code & 0xFFFF0000 == 0x80040000
        in_order(log_bodies(gui_prefix), "Internal Error", f"Error Code: 0001.{result.exit_code:08X}")

    @pytest.mark.parametrize("mistake, location, code, reason", [
        ("big-endian", "0001", 0x80040065, 'The setup data file "{medium}\\SETUP.INI" is big-endian UTF-16 text, '
                                           "which this setup does not read: save it as ANSI, UTF-8 or UTF-16 "
                                           "little-endian text"),
        ("MsiVersion", "0009", 0x8004006B, "MsiVersion=2,0 in SETUP.INI cannot be read: a version is numbers "
                                           "separated by dots, such as 3.1 or 4.5.6362"),
        ("empty package", "000F", 0x8004006C, "The package '{medium}\\Product.msi' cannot be read: it is empty; "
                                              "PackageName in the setup data names it"),
    ])
    def test_an_internal_error_says_why_just_before_it(self, gui_prefix, medium, build_msi, mistake, location,
                                                       code, reason):
        if mistake == "big-endian":
            text = "[ProductInformation]\r\nPackageName=Product.msi\r\n[ProductFeatures]\r\nMain\r\n"
            (medium / "SETUP.INI").write_bytes(b"\xfe\xff" + text.encode("utf-16-be"))
        elif mistake == "MsiVersion":
            build_msi(medium / "Product.msi", new_guid())
            write_ini(medium, "MsiVersion=2,0\r\n")
        else:
            (medium / "Product.msi").write_bytes(b"")
            write_ini(medium)
        assert run_setup(gui_prefix, medium, "/qn", timeout=60).exit_code == code
        body = log_bodies(gui_prefix)
        at = body.index("Internal Error")
        assert body[at - 1] == reason.format(medium=gui_prefix.win_path(medium))
        assert body[at + 1] == f"Error Code: {location}.{code:08X}"

    def test_the_dialog_is_never_visible_at_level_7(self, gui_prefix, medium, package, stand_in):
        """Watched from the setup's start, every millisecond, with a main
        installation that takes a second; /qb, watched alike, shows it."""
        write_ini(medium)
        stand_in.configure(exit_code=1603, wait_ms=1000)
        for ui, visible in (("/qn", 0), ("-QUIET", 0), ("/qb", 1)):
            result = gui_prefix.run([medium / "SETUP.EXE", ui], env={"KQSETUP": "LOG"}, watch=True)
            assert result.exit_code == 1603
            assert watched(result) == (1, visible), ui


class TestOptionSpellings:
    # Every spelling is a row of the command line's unit tests; this run
    # shows one reaching MSIEXEC.
    def test_msiexec_gets_the_older_spelling(self, gui_prefix, medium, package, stand_in):
        arguments, options, level = "/passive /norestart", "/qb- REBOOT=ReallySuppress", 5
        write_ini(medium)
        result = run_setup(gui_prefix, medium, arguments)
        assert result.exit_code == 1602  # the stand-in installs nothing
        assert stand_in.calls() == [
            rf'C:\windows\system32\MSIEXEC.EXE /i "{gui_prefix.win_path(medium)}\Product.msi" {options}']
        assert f"UI level = {level}" in log_bodies(gui_prefix)


# Last in the file: the restart really runs Wine's end of session in the
# prefix, which may end the prefix's helper processes.
class TestFinalRestart:
    def test_restart_question_answered_no(self, gui_prefix, needs_final_restart):
        proc = gui_prefix.start(needs_final_restart + ["/qb"], env={"KQSETUP": "LOG"})
        assert gui_prefix.answer("Internal Error", "ok")["found"]  # the nested setup's, at /qb
        box = gui_prefix.answer("Warning", "no")
        result = gui_prefix.finish(proc)
        assert box["found"]
        assert box["text"].startswith("You must restart your system for the configuration changes made to KQ Restart")
        assert result.exit_code == 3010, "installed; the restart is left to the user"
        body = log_bodies(gui_prefix)
        in_order(body, "Reboots were suppressed, so a reboot will be required later",
                 "Launching the nested installer", "Initiating reboot so the product will be functional",
                 "The restart was declined, so Windows is not restarted")
        assert "Initiating Reboot..." not in body

    @pytest.mark.parametrize("ui, answer", [("/qb", "yes"), ("/qn", None)])
    def test_restart_answered_yes_or_not_asked_under_qn(self, gui_prefix, needs_final_restart, ui, answer):
        """/qb (lower case, so no "/Q") asks; /qn never asks: a question
        would block an unattended installation."""
        proc = gui_prefix.start(needs_final_restart + [ui], env={"KQSETUP": "LOG"})
        if answer:
            assert gui_prefix.answer("Internal Error", "ok")["found"]  # the nested setup's, at /qb
            assert gui_prefix.answer("Warning", answer)["found"]
        result = gui_prefix.finish(proc, timeout=90)
        assert result.exit_code == 1641
        in_order(log_bodies(gui_prefix), "Initiating reboot so the product will be functional",
                 "Worker thread exiting with status code: 00000669")
        assert {"Initiating Reboot...", "Reboot initiated."} <= set(log_bodies(gui_prefix))

    def test_a_locked_shortcut_is_moved_aside_and_a_newer_one_survives_the_restart(
            self, gui_prefix, medium, package, stand_in, startup_folder, build_msi):
        """A resume shortcut that cannot be deleted is moved aside, and only
        that name waits for the restart: a newer shortcut at the shared path,
        placed by the next run, survives it."""
        write_ini(medium, f"NestedInstall={new_guid()},Nested.ini\r\n")
        write_ini(medium, name="Nested.ini", package="Nested.msi")
        build_msi(medium / "Nested.msi", new_guid())
        session_manager = r"HKLM\System\CurrentControlSet\Control\Session Manager"
        gui_prefix.reg_delete(session_manager, "PendingFileRenameOperations")
        stand_in.configure(exit_code=1641)
        assert run_setup(gui_prefix, medium, "/qb-").exit_code == 460393
        shortcut = startup_folder / SHORTCUT
        shortcut.chmod(0o444)  # read-only: Windows refuses to delete it, not to rename it

        # The next start resumes at the nested setup and removes the shortcut it resumed from.
        gui_prefix.clear_setup_log()
        stand_in.configure(exit_code=0)
        run_setup(gui_prefix, medium, "/qb-")
        moved = [line for line in log_bodies(gui_prefix) if line.startswith('Moved "')]
        assert len(moved) == 1 and moved[0].endswith('.old"'), log_bodies(gui_prefix)
        aside = moved[0].split('" to "')[1][:-1].rsplit("\\", 1)[1]
        assert not (startup_folder / aside).exists() and not shortcut.exists()
        pending = (gui_prefix.reg_query(session_manager, "PendingFileRenameOperations") or "").split("\\0")
        assert not any(entry.endswith(SHORTCUT) for entry in pending), pending

        # A new run places a new shortcut at the shared path; the restart keeps it.
        stand_in.configure(exit_code=1641)
        assert run_setup(gui_prefix, medium, "/qb-").exit_code == 460393
        assert shortcut.exists()
        gui_prefix.wine(["wineboot", "--restart"], check=False)
        assert shortcut.exists()
