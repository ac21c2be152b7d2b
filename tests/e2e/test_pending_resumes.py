"""Resume shortcuts as a fleet leaves them: several setups whose data file is
SETUP.INI pending at one logon, and a shortcut a power cut left empty."""
import shutil

from conftest import collect, parse_runner
from setup_helpers import (EXIT_SUCCESS, SHORTCUT, UNINSTALL, log_bodies,
                           new_guid, remove_copies, run_setup, temp_copies, wait_for_log, write_ini)
from test_interrupted_setups import (_cut_prefix, gui_prefix, is_installed, other_medium,  # noqa: F401 (fixtures)
                                     leave_a_removal_pending as leave_pending, power_cut, uninstall)
from test_setup_exe import medium  # noqa: F401 (fixture)


def test_two_pending_resumes_both_finish_at_one_logon(gui_prefix, medium, stand_in, startup_folder, build_msi):
    """Products A and B (both SETUP.INI) wait for a restart; the logon starts
    both shortcuts at once: one waits for the other's mutex, both finish."""
    a = new_guid()
    build_msi(medium / "Product.msi", a, name="KQ A")
    leave_pending(gui_prefix, medium, stand_in)
    other, b = other_medium(medium, build_msi)
    try:
        leave_pending(gui_prefix, other, stand_in)
        shortcuts = list(startup_folder.glob("KORVANE*.lnk"))
        assert {s.name for s in shortcuts} == {SHORTCUT, "KORVANE Install Exec Setup (2).lnk"}
        gui_prefix.clear_setup_log()
        with stand_in.real():
            logon = [gui_prefix.start(gui_prefix.win_path(s), env={"KQSETUP": "LOG"}, shortcut=True)
                     for s in shortcuts]
            codes = [parse_runner(collect(run, 900)).exit_code for run in logon]
        body = log_bodies(gui_prefix)
        assert codes == [EXIT_SUCCESS, EXIT_SUCCESS], body
        assert "Waiting for the other setup of SETUP.INI to finish (at most 600 seconds)" in body
        assert "The other setup has finished; this one goes on" in body
        assert is_installed(gui_prefix, a) and is_installed(gui_prefix, b)
        assert list(startup_folder.glob("KORVANE*")) == []
    finally:
        uninstall(gui_prefix, a, b)
        shutil.rmtree(other, ignore_errors=True)
        remove_copies(gui_prefix)


def test_an_empty_resume_shortcut_does_not_keep_a_cut_off_upgrade_from_finishing(
        gui_prefix, medium, stand_in, startup_folder, build_msi):
    """A cut just as the old version's removal ends leaves an empty shortcut:
    it starts nothing, so the first rerun takes the upgrade over (and the
    shortcut's name)."""
    old, new = new_guid(), new_guid()
    gui_prefix.reg_add(UNINSTALL + "\\" + old, "DisplayName", "KQ Old")
    gui_prefix.reg_add(UNINSTALL + "\\" + old, "WindowsInstaller", 1, "REG_DWORD")
    gui_prefix.reg_add(UNINSTALL + "\\" + old, "DisplayVersion", "1.5")
    build_msi(medium / "Product.msi", new, name="KQ New", version="2.0.0")
    write_ini(medium, more=f"[UpgradeConditions]\r\n{old},1.0-1.9,REMOVE\r\n{new},,LEAVE\r\n")
    stand_in.configure(exit_code=0, wait_ms=120000)
    gui_prefix.start([gui_prefix.win_path(medium / "SETUP.EXE"), "/qn"], env={"KQSETUP": "LOG"})
    wait_for_log(gui_prefix, f"Command Line = C:\\windows\\system32\\MSIEXEC /x {old} /qn")
    gui_prefix.reg_delete(UNINSTALL + "\\" + old)
    power_cut(gui_prefix)
    empty = startup_folder / SHORTCUT
    empty.write_bytes(b"")
    try:
        gui_prefix.clear_setup_log()
        with stand_in.real():
            result = run_setup(gui_prefix, medium, "/qn", timeout=300)
        body = log_bodies(gui_prefix)
        assert any(line.startswith(f'Skipping the resume shortcut "{gui_prefix.win_path(empty)}": it cannot be read')
                   for line in body), body
        assert f"An earlier run of this setup found {old} and began to remove it; the upgrade goes on" in body
        assert result.exit_code == EXIT_SUCCESS, body
        assert is_installed(gui_prefix, new)
        assert not empty.exists(), "replaced by the run's own shortcut, which went at its end"
        assert temp_copies(gui_prefix) == []
    finally:
        empty.unlink(missing_ok=True)
        uninstall(gui_prefix, new)
        remove_copies(gui_prefix)
