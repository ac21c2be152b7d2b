"""A setup cut off by a power loss, and what the next run makes of it; what a
deployment tool reads from the exit code when restarts are suppressed or
another setup runs. The power loss is `wineserver -k`: every process of the
prefix ends at once, nothing is told or flushed. These tests have a prefix
of their own, since the cut ends its helper processes too.
"""
import os
import shutil
import subprocess
import time
from pathlib import Path

import pytest

from conftest import TOOLS_SH, WIN32_BUILD, Prefix
from test_msi_library import log_bodies, new_guid
from test_setup_exe import (SHORTCUT, UNINSTALL, in_order, install_for_real, medium, package,  # noqa: F401
                            run_setup, stand_in, startup_folder, temp_copies, wait_for_log, write_ini)


@pytest.fixture(scope="module")
def _cut_prefix(tools, display):
    base = os.environ.get("KQ_WINEPREFIX")
    path = Path(f"{base}-cut-{os.getpid()}") if base else WIN32_BUILD.parent / "e2e-cut-prefix"
    env = dict(os.environ, KQ_DISPLAY=display)
    subprocess.run([TOOLS_SH / "wine-session.sh", "start", path, tools.keepalive], env=env, check=True,
                   capture_output=True)
    yield path
    subprocess.run([TOOLS_SH / "wine-session.sh", "stop", path], check=False)
    shutil.rmtree(path, ignore_errors=True)


@pytest.fixture
def gui_prefix(_cut_prefix, tools, display):
    p = Prefix(_cut_prefix, tools, display)
    p.clear_setup_log()
    yield p
    p.set_version(None)


def power_cut(prefix: Prefix):
    """Ends every process of the prefix at once, then brings its persistent
    server and keep-alive back as a new boot would."""
    env = prefix.env()
    subprocess.run(["wineserver", "-k"], env=env, check=False)
    subprocess.run(["wineserver", "-w"], env=env, check=False, timeout=30)
    subprocess.run(["wineserver", "-p"], env=env, check=False)
    # The first program after the server starts the system's services: here,
    # detached from the output of the test's next program, which would
    # otherwise wait for them to end.
    subprocess.run(["wine", "cmd", "/c", "exit"], env=env, check=False, timeout=120, stdin=subprocess.DEVNULL,
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
                result = gui_prefix.run(["start", "/wait", gui_prefix.win_path(shortcut)], env={"KQSETUP": "LOG"},
                                        timeout=300)
        body = log_bodies(gui_prefix)
        in_order(body, "Starting the SETUP process at launching the nested installation",
                 "The main installation did not complete; starting the setup from the beginning",
                 "Running installer", "Launching the nested installer", "Exiting normally")
        assert is_installed(gui_prefix, main) and is_installed(gui_prefix, nested)
        assert not shortcut.exists()
        if rerun == "medium":
            assert result.exit_code == 0
        for copy in temp_copies(gui_prefix):
            shutil.rmtree(copy, ignore_errors=True)


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
        assert second.exit_code == 1618
        assert "watch dialogs=1 visible=0" in second.stdout, "nothing shown"
        assert "Another instance of the same install is currently running" in log_bodies(gui_prefix)
        assert gui_prefix.finish(first).exit_code == 1603

    def test_norestart_runs_the_nested_setup_and_asks_for_a_restart_by_3010(
            self, gui_prefix, medium, nested_medium, stand_in, startup_folder):
        """Both installations answer 3010 (the stand-in, for the outer setup's
        and the nested setup's MSIEXEC): nothing restarts Windows and nothing
        waits for a logon that an unattended machine may never have. The
        main product is really there (/i: not its maintenance)."""
        install_for_real(gui_prefix, stand_in, medium / "Product.msi")
        stand_in.configure(exit_code=3010)
        result = run_setup(gui_prefix, medium, "/i Product.msi /qn /norestart")
        body = log_bodies(gui_prefix)
        in_order(body, "Reboots were suppressed, so a reboot will be required later",
                 "Launching the nested installer", "Nested installer was launched",
                 "Restarts are suppressed, so Windows is not restarted")
        assert "Initiating Reboot..." not in body
        assert not (startup_folder / SHORTCUT).exists()
        assert len(stand_in.calls()) == 2, "the main package, then the nested setup's"
        assert result.exit_code == 3010
        for copy in temp_copies(gui_prefix):
            shutil.rmtree(copy, ignore_errors=True)
