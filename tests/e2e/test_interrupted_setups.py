"""A setup cut off by a power loss, and what the next run makes of it; what a
deployment tool reads from the exit code when restarts are suppressed or
another setup runs. The power loss is `wineserver -k`: every process of the
prefix ends at once, nothing is told or flushed. These tests have a prefix
of their own, since the cut ends its helper processes too.
"""
import re
import shutil
import subprocess
import time
from pathlib import Path

import pytest

from conftest import Prefix, StandInMsiexec, collect, display_prefix, end_setups_of_a_failed_test, parse_runner
from setup_helpers import (EXIT_ALREADY_RUNNING, EXIT_FAILURE, EXIT_INTERMEDIATE_REBOOT, EXIT_REBOOT_INITIATED,
                           EXIT_REBOOT_REQUIRED, EXIT_SUCCESS, EXIT_USER_EXIT, SHORTCUT, UNINSTALL, in_order,
                           install_for_real, log_bodies, new_guid, remove_copies, run_setup, temp_copies,
                           wait_for_log, write_ini)
from test_setup_exe import medium, package  # noqa: F401 (fixtures)


@pytest.fixture(scope="module")
def _cut_prefix(tools, display):
    with display_prefix("cut", tools, display) as path:
        yield path


@pytest.fixture
def gui_prefix(_cut_prefix, tools, display, request):
    p = Prefix(_cut_prefix, tools, display)
    p.clear_setup_log()
    yield p
    end_setups_of_a_failed_test(request, p)
    p.set_version(None)


def power_cut(prefix: Prefix):
    """Ends every process of the prefix at once, then brings its persistent
    server and keep-alive back as a new boot would."""
    env = prefix.env()
    subprocess.run(["wineserver", "-k"], env=env, check=False)
    subprocess.run(["wineserver", "-w"], env=env, check=False, timeout=30)
    subprocess.run(["wineserver", "-p"], env=env, check=False)
    # The boot's first steps start the system's services and the desktop
    # here, detached from the output of the test's next program, which
    # would otherwise wait for them to end. (--init: a logon would also
    # start what the Startup folder holds, which the tests do themselves.)
    subprocess.run(["wine", "wineboot", "--init"], env=env, check=False, timeout=120, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.Popen(["wine", str(prefix.tools.keepalive)], env=env, stdin=subprocess.DEVNULL,
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def is_installed(prefix: Prefix, product_code: str) -> bool:
    return prefix.reg_query(UNINSTALL + "\\" + product_code, "DisplayName") is not None


def uninstall(prefix: Prefix, *product_codes: str):
    for code in product_codes:
        prefix.wine(["msiexec", "/x", code, "/qn"], check=False)


@pytest.fixture
def nested_medium(gui_prefix, medium, build_msi):
    """A medium whose main package is followed by a nested setup; yields the
    two product codes and removes whatever got installed."""
    main, nested = new_guid(), new_guid()
    build_msi(medium / "Product.msi", main, name="KQ Main")
    build_msi(medium / "Nested.msi", nested, name="KQ Nested")
    write_ini(medium, f"NestedInstall={nested},Nested.ini\r\n")
    write_ini(medium, name="Nested.ini", package="Nested.msi")
    yield main, nested
    uninstall(gui_prefix, main, nested)


class TestAMainInstallationCutOff:
    @pytest.mark.parametrize("rerun", ["resume shortcut", "medium"])
    def test_the_next_run_installs_the_main_product_then_the_nested_one(
            self, gui_prefix, medium, nested_medium, stand_in, startup_folder, rerun):
        main, nested = nested_medium
        stand_in.configure(exit_code=0, wait_ms=120000)
        gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "/qn"], env={"KQSETUP": "LOG"})
        wait_for_log(gui_prefix, "Running installer")
        power_cut(gui_prefix)
        shortcut = startup_folder / SHORTCUT
        assert shortcut.exists(), "the final shortcut of the cut-off run"

        gui_prefix.clear_setup_log()
        with stand_in.real():
            if rerun == "medium":
                result = run_setup(gui_prefix, medium, "/qn", timeout=300)
            else:
                result = gui_prefix.run(gui_prefix.win_path(shortcut), env={"KQSETUP": "LOG"}, shortcut=True,
                                        timeout=300)
        body = log_bodies(gui_prefix)
        in_order(body, "Starting the SETUP process at launching the nested installation",
                 "The main installation did not complete; starting the setup from the beginning",
                 "Running installer", "Launching the nested installer", "Exiting normally")
        assert is_installed(gui_prefix, main) and is_installed(gui_prefix, nested)
        assert not shortcut.exists()
        assert result.exit_code == EXIT_SUCCESS
        remove_copies(gui_prefix)


class TestHonestExitCodes:
    def test_another_setup_holding_the_mutex_is_told_to_try_again(self, gui_prefix, medium, package, stand_in):
        """The mutex is shared by every setup whose data file is SETUP.INI,
        whatever its product: the second run has installed nothing."""
        write_ini(medium)
        stand_in.configure(exit_code=1603, wait_ms=8000)
        first = gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "/qn"], env={"KQSETUP": "LOG"})
        wait_for_log(gui_prefix, "Running installer")
        args = f'"{gui_prefix.win_path(medium / "SETUP.EXE")}" /qn'
        second = gui_prefix.run(args, env={"KQSETUP": "LOG"}, watch=True)
        assert second.exit_code == EXIT_ALREADY_RUNNING
        assert "watch dialogs=1 visible=0" in second.stdout, "nothing shown"
        assert "Another instance of the same install is currently running" in log_bodies(gui_prefix)
        assert gui_prefix.finish(first).exit_code == EXIT_FAILURE

    def test_norestart_runs_the_nested_setup_and_asks_for_a_restart_by_3010(
            self, gui_prefix, medium, nested_medium, stand_in, startup_folder):
        """Both installations answer 3010 (the stand-in, for the outer setup's
        and the nested setup's MSIEXEC): nothing restarts Windows and nothing
        waits for a logon that an unattended machine may never have. The
        main product is really there (/i: not its maintenance), and so is
        the nested one, so that the nested setup's answer is its maintenance's."""
        install_for_real(gui_prefix, stand_in, medium / "Product.msi")
        install_for_real(gui_prefix, stand_in, medium / "Nested.msi")
        stand_in.configure(exit_code=3010)
        result = run_setup(gui_prefix, medium, "/i Product.msi /qn /norestart")
        body = log_bodies(gui_prefix)
        in_order(body, "Reboots were suppressed, so a reboot will be required later",
                 "Launching the nested installer", "Nested installer was launched",
                 "Restarts are suppressed, so Windows is not restarted")
        assert "Initiating Reboot..." not in body
        assert not (startup_folder / SHORTCUT).exists()
        assert len(stand_in.calls()) == 2, "the main package, then the nested setup's"
        assert result.exit_code == EXIT_REBOOT_REQUIRED
        remove_copies(gui_prefix)


class TestAHalfInstalledMedium:
    def test_a_nested_product_never_installed_is_installed_after_maintenance(
            self, gui_prefix, medium, nested_medium):
        """The main product is there and the nested one is not (the power
        went while the nested setup ran, and no shortcut is left): running
        the setup from the medium runs the nested setup again. Here the
        stand-in MSIEXEC installs nothing, so the run cannot end with 0."""
        main, nested = nested_medium
        gui_prefix.wine(["msiexec", "/i", gui_prefix.win_path(medium / "Product.msi"), "/qn"])
        stand_in = StandInMsiexec(gui_prefix, gui_prefix.tools)
        try:
            result = run_setup(gui_prefix, medium, "/qn", timeout=300)
            calls = stand_in.calls()
        finally:
            stand_in.restore()
        in_order(log_bodies(gui_prefix), "Launching the maintenance installer", "The nested product is not installed",
                 "Launching the nested installer", "Nested installer was launched",
                 f"The nested product {nested} is not installed after its setup ended with 1602; exiting with 1602")
        # The maintenance installation, then the nested setup's installation.
        assert len(calls) == 2 and " /fvomus " in calls[0] and "Nested.msi" in calls[1], calls
        assert result.exit_code == EXIT_USER_EXIT


def leave_a_removal_pending(prefix, medium, stand_in):
    """A previous version that the stand-in MSIEXEC removes with 3010, a
    restart asked for and not started: the run ends with 3010 and keeps its
    resume shortcut and copy; the restart then finishes the removal (its
    Uninstall entry goes)."""
    old = new_guid()
    prefix.reg_add(UNINSTALL + "\\" + old, "DisplayName", "KQ Old")
    prefix.reg_add(UNINSTALL + "\\" + old, "WindowsInstaller", 1, "REG_DWORD")
    write_ini(medium, more=f"[PreviousVersionUninstall]\r\n{old}\r\n")
    stand_in.configure(exit_code=3010)
    assert run_setup(prefix, medium, "/qn").exit_code == EXIT_REBOOT_REQUIRED
    prefix.reg_delete(UNINSTALL + "\\" + old)


def a_removal_that_asks_for_a_restart(prefix, medium, stand_in):
    """leave_a_removal_pending on a machine without other copies; returns the copy."""
    leave_a_removal_pending(prefix, medium, stand_in)
    [copy] = temp_copies(prefix)
    stand_in.configure(exit_code=0)
    prefix.clear_setup_log()
    return copy


class TestAResumedRunKnowsItsMedium:
    @pytest.mark.parametrize("medium_there", [True, False])
    def test_the_package_is_installed_from_the_medium_while_it_is_there(
            self, gui_prefix, medium, package, stand_in, startup_folder, medium_there):
        copy = a_removal_that_asks_for_a_restart(gui_prefix, medium, stand_in)
        away = medium.with_name(medium.name + "_away")
        if not medium_there:
            medium.rename(away)
        try:
            gui_prefix.run(gui_prefix.win_path(startup_folder / SHORTCUT), env={"KQSETUP": "LOG"}, shortcut=True)
            main = [call for call in stand_in.calls() if " /i " in call]
            assert len(main) == 1, stand_in.calls()
            body = log_bodies(gui_prefix)
            if medium_there:
                assert f'/i "{gui_prefix.win_path(medium)}\\Product.msi"' in main[0]
                assert f'The medium "{gui_prefix.win_path(medium)}\\" holds the package: it is installed from there' \
                    in body
            else:
                assert f'/i "{gui_prefix.win_path(copy)}\\Product.msi"' in main[0]
                assert any("no longer holds the package" in line and "later repairs will ask for the medium" in line
                           for line in body), body
        finally:
            if away.exists():
                away.rename(medium)
            remove_copies(gui_prefix)


    @pytest.mark.parametrize("change", ["forged record", "changed nested data file"])
    def test_the_nested_setup_starts_from_the_medium_only_as_the_copy_holds_it(
            self, gui_prefix, medium, nested_medium, stand_in, startup_folder, change):
        """The main installation restarts Windows with the nested setup left.
        The folder the record names runs the nested setup only while it
        holds the copy's SETUP.EXE, nested data file and nested package: a
        forged Medium= naming a folder with another program, or a medium
        whose nested data file changed, leaves the nested setup to the copy."""
        _, nested = nested_medium
        install_for_real(gui_prefix, stand_in, medium / "Product.msi")
        stand_in.configure(exit_code=1641)
        assert run_setup(gui_prefix, medium, "/i Product.msi /qn").exit_code == EXIT_INTERMEDIATE_REBOOT
        [copy] = temp_copies(gui_prefix)
        foreign = medium.with_name(medium.name + "_foreign")
        trace = gui_prefix.drive_c / "foreign_runs.txt"
        if change == "forged record":
            shutil.copytree(medium, foreign)
            shutil.copyfile(gui_prefix.tools.child, foreign / "SETUP.EXE")
            (foreign / "SETUP.cfg").write_text(f"record={gui_prefix.win_path(trace)}\nexit=0\n")
            record = (copy / "KQSETUP.RUN").read_bytes().decode("latin-1")
            forged = re.sub(r"^Medium=.*$", lambda _: f"Medium={gui_prefix.win_path(foreign)}\\\r", record,
                            flags=re.M)
            (copy / "KQSETUP.RUN").write_bytes(forged.encode("latin-1"))
        else:
            write_ini(medium, name="Nested.ini", package="Nested.msi", more="; another build\r\n")
        try:
            with stand_in.real():
                result = gui_prefix.run(gui_prefix.win_path(startup_folder / SHORTCUT), env={"KQSETUP": "LOG"},
                                        shortcut=True, timeout=300)
            assert not trace.exists(), "the program the record named ran"
            assert any("no longer holds the nested setup: it starts from the temporary copy" in line
                       for line in log_bodies(gui_prefix))
            assert is_installed(gui_prefix, nested)
            assert result.exit_code == EXIT_SUCCESS
        finally:
            shutil.rmtree(foreign, ignore_errors=True)
            trace.unlink(missing_ok=True)
            remove_copies(gui_prefix)


class TestLeftoverCopies:
    def test_a_killed_runs_copy_goes_and_a_running_setups_copy_stays(
            self, gui_prefix, medium, package, stand_in, startup_folder, build_msi):
        write_ini(medium)
        stand_in.configure(exit_code=0, wait_ms=120000)
        gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "/qn"], env={"KQSETUP": "LOG"})
        wait_for_log(gui_prefix, "Running installer")
        power_cut(gui_prefix)
        [killed] = temp_copies(gui_prefix)

        # Another product's setup (its own data file name, so no shared
        # mutex) waits in its installation while a third one runs.
        other = medium.with_name(medium.name + "_other")
        other.mkdir()
        try:
            shutil.copyfile(gui_prefix.tools.setup, other / "SETUP.EXE")
            build_msi(other / "Other.msi", new_guid())
            write_ini(other, name="OTHER.INI", package="Other.msi")
            gui_prefix.clear_setup_log()
            stand_in.configure(exit_code=0, wait_ms=300000)
            calls = len(stand_in.calls())
            waiting = gui_prefix.start([gui_prefix.win_path(other / "SETUP.EXE"), "OTHER.INI", "/qn"],
                                       env={"KQSETUP": "LOG"})
            stand_in.wait_for_calls(calls + 1)
            [running] = [copy for copy in temp_copies(gui_prefix) if copy != killed]

            stand_in.configure(exit_code=1603)
            run_setup(gui_prefix, medium, "/qn")
            assert not killed.exists()
            assert running.exists() and (running / "Other.msi").exists(), log_bodies(gui_prefix)
            assert f'Removing "{gui_prefix.win_path(killed)}\\": the run that made this temporary copy is over' \
                in log_bodies(gui_prefix)
        finally:
            power_cut(gui_prefix)  # the waiting setup
            waiting.communicate(timeout=60)
            shutil.rmtree(other, ignore_errors=True)
            remove_copies(gui_prefix)


class TestAnUpgradeCutOff:
    def test_the_upgrade_is_finished_from_any_path_to_its_medium_and_only_for_its_medium(
            self, gui_prefix, medium, stand_in, startup_folder, build_msi):
        """[UpgradeConditions] {OLD},1.0-1.9,REMOVE and the own product with
        LEAVE: the power goes just as the old version's removal ends. The
        staging folder is then reused: another product's medium, then
        another build of this one; the deployment tool finally runs the
        medium from a new cache folder."""
        old, new = new_guid(), new_guid()
        gui_prefix.reg_add(UNINSTALL + "\\" + old, "DisplayName", "KQ Old")
        gui_prefix.reg_add(UNINSTALL + "\\" + old, "WindowsInstaller", 1, "REG_DWORD")
        gui_prefix.reg_add(UNINSTALL + "\\" + old, "DisplayVersion", "1.5")
        build_msi(medium / "Product.msi", new, name="KQ New", version="2.0.0")
        conditions = f"[UpgradeConditions]\r\n{old},1.0-1.9,REMOVE\r\n{new},,LEAVE\r\n"
        write_ini(medium, more=conditions)
        stand_in.configure(exit_code=0, wait_ms=120000)
        gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "/qn"], env={"KQSETUP": "LOG"})
        wait_for_log(gui_prefix, f"Command Line = C:\\windows\\system32\\MSIEXEC /x {old} /qn")
        gui_prefix.reg_delete(UNINSTALL + "\\" + old)
        power_cut(gui_prefix)
        [copy] = temp_copies(gui_prefix)
        shortcut = startup_folder / SHORTCUT
        cache = medium.with_name(medium.name + "_cache")
        shutil.move(medium, cache)
        b = None
        try:
            # Another product's medium in the same folder: its own setup,
            # which leaves this one's copy and shortcut alone.
            medium.mkdir()
            shutil.copyfile(cache / "SETUP.EXE", medium / "SETUP.EXE")
            b = new_guid()
            build_msi(medium / "Product.msi", b, name="KQ B")
            write_ini(medium)
            gui_prefix.clear_setup_log()
            with stand_in.real():
                assert run_setup(gui_prefix, medium, "/qn", timeout=300).exit_code == EXIT_SUCCESS
            assert is_installed(gui_prefix, b)
            assert copy.exists() and shortcut.exists(), log_bodies(gui_prefix)

            # Another build of this product there never had the base.
            shutil.copyfile(cache / "Product.msi", medium / "Product.msi")
            write_ini(medium, more=conditions + "; another build\r\n")
            gui_prefix.clear_setup_log()
            assert run_setup(gui_prefix, medium, "/qn").exit_code == EXIT_FAILURE
            assert "Setup cannot find a valid version of this software to upgrade." in "\n".join(
                gui_prefix.setup_log_lines())
            assert copy.exists() and shortcut.exists()

            gui_prefix.clear_setup_log()
            with stand_in.real():
                result = run_setup(gui_prefix, cache, "/qn", timeout=300)
            in_order(log_bodies(gui_prefix), "Checking upgrade conditions",
                     f"An earlier run of this setup found {old} and began to remove it; the upgrade goes on",
                     "Running installer", "Exiting normally")
            assert is_installed(gui_prefix, new)
            assert result.exit_code == EXIT_SUCCESS
            assert temp_copies(gui_prefix) == [] and not shortcut.exists()
        finally:
            uninstall(gui_prefix, new, *([b] if b else []))
            shutil.rmtree(cache, ignore_errors=True)
            remove_copies(gui_prefix)


def other_medium(medium: Path, build_msi, name="KQ Other") -> tuple[Path, str]:
    """A second medium beside `medium` whose data file is also SETUP.INI; the
    caller removes the folder. Returns it and its product code."""
    other = medium.with_name(medium.name + "_b")
    other.mkdir()
    shutil.copyfile(medium / "SETUP.EXE", other / "SETUP.EXE")
    code = new_guid()
    build_msi(other / "Product.msi", code, name=name)
    write_ini(other)
    return other, code


def record_field(copy: Path, key: str) -> str:
    text = (copy / "KQSETUP.RUN").read_bytes().decode("latin-1")
    return re.search(rf"^{key}=(.*)$", text, re.M).group(1).strip()


class TestFinishingASetup:
    def test_a_pending_resume_survives_another_mediums_setup_and_then_finishes(
            self, gui_prefix, medium, stand_in, startup_folder, build_msi):
        """A's removal of its earlier version asks for a restart (3010); B,
        another product whose data file is also SETUP.INI, is installed
        before that restart; the logon then finishes A."""
        a = new_guid()
        build_msi(medium / "Product.msi", a, name="KQ A")
        a_removal_that_asks_for_a_restart(gui_prefix, medium, stand_in)
        shortcut = startup_folder / SHORTCUT
        [copy] = temp_copies(gui_prefix)
        other, b = other_medium(medium, build_msi)
        try:
            with stand_in.real():
                assert run_setup(gui_prefix, other, "/qn").exit_code == EXIT_SUCCESS
                assert is_installed(gui_prefix, b)
                assert shortcut.exists() and copy.exists(), log_bodies(gui_prefix)
                assert list(startup_folder.glob("KORVANE*")) == [shortcut], "B's own shortcut is gone again"
                result = gui_prefix.run(gui_prefix.win_path(shortcut), env={"KQSETUP": "LOG"}, shortcut=True,
                                        timeout=300)
            assert result.exit_code == EXIT_SUCCESS
            assert is_installed(gui_prefix, a) and not shortcut.exists()
            # The resumed program's own copy goes with the next run, as a
            # deployment tool's rerun after the restart (its maintenance
            # installation through the stand-in: Wine's answers 1605 to /f).
            stand_in.configure(exit_code=0)
            assert run_setup(gui_prefix, medium, "/qn").exit_code == EXIT_SUCCESS
            assert temp_copies(gui_prefix) == []
        finally:
            uninstall(gui_prefix, a, b)
            shutil.rmtree(other, ignore_errors=True)
            remove_copies(gui_prefix)

    def test_a_copy_cut_off_while_it_is_made_or_left_empty_goes_with_the_next_run(self, gui_prefix, medium, package, stand_in):
        write_ini(medium)
        files = medium / "Files"
        files.mkdir()
        for i in range(5000):
            (files / f"f{i:04d}.txt").write_bytes(b"x")
        gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "/qn"], env={"KQSETUP": "LOG"})
        wait_for_log(gui_prefix, "Copying")
        power_cut(gui_prefix)
        [cut] = temp_copies(gui_prefix)
        assert (cut / "KQSETUP.RUN").exists(), "the record comes before the first file"
        # A folder cut off before its record (or after its deletion) holds nothing.
        empty = cut.with_name("KIES0E00")
        empty.mkdir()
        try:
            gui_prefix.clear_setup_log()
            stand_in.configure(exit_code=1603)
            assert run_setup(gui_prefix, medium, "/qn").exit_code == EXIT_FAILURE
            assert temp_copies(gui_prefix) == [], log_bodies(gui_prefix)
        finally:
            remove_copies(gui_prefix)

    def test_a_huge_record_is_left_alone_and_the_setup_goes_on(self, gui_prefix, medium, package, stand_in):
        write_ini(medium)
        temp = gui_prefix.wine(["cmd", "/c", "echo", "%TEMP%"]).stdout.strip()
        planted = gui_prefix.drive_c.joinpath(*temp[3:].split("\\")) / "KIES0BAD"
        planted.parent.mkdir(parents=True, exist_ok=True)
        planted.mkdir()
        try:
            with open(planted / "KQSETUP.RUN", "wb") as record:
                record.truncate(150 * 1024 * 1024)
            stand_in.configure(exit_code=0)
            assert run_setup(gui_prefix, medium, "/qn").exit_code == EXIT_USER_EXIT, "the stand-in installs nothing"
            assert f'Leaving "{gui_prefix.win_path(planted)}\\" alone: its record is larger than 64 KB' \
                in log_bodies(gui_prefix)
            assert planted.exists()
        finally:
            shutil.rmtree(planted, ignore_errors=True)
            remove_copies(gui_prefix)

    @pytest.mark.parametrize("apart", [0, 0.3, 0.8])
    def test_a_logon_resume_and_a_rerun_together(
            self, gui_prefix, medium, nested_medium, stand_in, startup_folder, apart):
        """A deployment tool reruns the medium after the restart while the
        Startup shortcut also starts: one of them finishes the setup, the
        other is told to try again."""
        main, nested = nested_medium
        stand_in.configure(exit_code=0, wait_ms=120000)
        gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "/qn"], env={"KQSETUP": "LOG"})
        wait_for_log(gui_prefix, "Running installer")
        power_cut(gui_prefix)
        # What the logon read from the shortcut, before the rerun may remove it.
        logon = medium.with_name(medium.name + "_logon.lnk")
        shutil.copyfile(startup_folder / SHORTCUT, logon)
        try:
            with stand_in.real():
                resumed = gui_prefix.start(gui_prefix.win_path(logon), env={"KQSETUP": "LOG"}, shortcut=True)
                time.sleep(apart)
                rerun = run_setup(gui_prefix, medium, "/qn", timeout=300)
                logon_run = collect(resumed, 300)
            # A logon that comes after the rerun removed the copy starts nothing.
            gone = "start-failed=2" in logon_run.stdout
            codes = {rerun.exit_code} | (set() if gone else {parse_runner(logon_run).exit_code})
            assert codes <= {EXIT_SUCCESS, EXIT_ALREADY_RUNNING} and EXIT_SUCCESS in codes, \
                (codes, gui_prefix.setup_log_lines())
            assert is_installed(gui_prefix, main) and is_installed(gui_prefix, nested)
        finally:
            logon.unlink()
            remove_copies(gui_prefix)

    def test_a_child_that_restarts_windows_under_norestart_gives_1641(self, gui_prefix, medium, package, stand_in):
        write_ini(medium)
        stand_in.configure(exit_code=1641)
        assert run_setup(gui_prefix, medium, "/qn /norestart").exit_code == EXIT_REBOOT_INITIATED
        remove_copies(gui_prefix)

    def test_a_resume_at_the_nested_setup_claims_its_copy(
            self, gui_prefix, medium, nested_medium, stand_in, startup_folder, build_msi):
        """The main installation restarts Windows with the nested setup left;
        the logon's run claims the copy before it removes its shortcut, so
        another product's setup meanwhile leaves the copy alone."""
        main, _ = nested_medium
        install_for_real(gui_prefix, stand_in, medium / "Product.msi")
        stand_in.configure(exit_code=1641)
        assert run_setup(gui_prefix, medium, "/i Product.msi /qn").exit_code == EXIT_INTERMEDIATE_REBOOT
        [copy] = temp_copies(gui_prefix)
        cut_run = record_field(copy, "Process")
        other, b = other_medium(medium, build_msi)
        (other / "SETUP.INI").rename(other / "OTHER.INI")
        try:
            stand_in.configure(exit_code=0, wait_ms=120000)
            calls = len(stand_in.calls())
            resumed = gui_prefix.start(gui_prefix.win_path(startup_folder / SHORTCUT), env={"KQSETUP": "LOG"},
                                       shortcut=True)
            stand_in.wait_for_calls(calls + 1)  # the nested setup's installation
            assert record_field(copy, "Process") != cut_run, "claimed"
            stand_in.configure(exit_code=1603)
            run_setup(gui_prefix, other, "OTHER.INI /qn")
            assert copy.exists() and (copy / "Nested.ini").exists()
        finally:
            power_cut(gui_prefix)
            resumed.communicate(timeout=60)
            shutil.rmtree(other, ignore_errors=True)
            remove_copies(gui_prefix)

    def test_a_resume_of_a_data_file_in_a_folder_installs_from_that_folder_of_the_medium(
            self, gui_prefix, medium, build_msi, stand_in):
        build_msi(medium / "Lang" / "Product.msi", new_guid())
        write_ini(medium, name="Lang\\SETUP.INI".replace("\\", "/"))
        stand_in.configure(exit_code=0, wait_ms=120000)
        gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "Lang\\SETUP.INI", "/qn"],
                         env={"KQSETUP": "LOG"})
        wait_for_log(gui_prefix, "Running installer")
        power_cut(gui_prefix)
        [copy] = temp_copies(gui_prefix)
        try:
            stand_in.configure(exit_code=1603)
            calls = len(stand_in.calls())
            gui_prefix.run([gui_prefix.win_path(copy / "SETUP.EXE"), "Lang\\SETUP.INI", "/qn", "/~"],
                           env={"KQSETUP": "LOG"})
            main = stand_in.calls()[calls:]
            assert any(f'/i "{gui_prefix.win_path(medium)}\\Lang\\Product.msi"' in call for call in main), main
        finally:
            remove_copies(gui_prefix)
