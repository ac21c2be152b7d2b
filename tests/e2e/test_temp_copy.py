"""The temporary copy of the setup under Wine: a run restarted from its copy
removes it (scheduling its own program and folder, which are in use, through
MoveFileEx, which Wine records in PendingFileRenameOperations), a symbolic
link inside the copy is removed without touching its target, a temp-copy
marker typed on the command line never deletes the folder the program was
started from, and a copy that fails part-way leaves nothing behind.

temp_copy_probe.exe stands in for SETUP.EXE (see tools/probes).
"""
import shutil
import uuid
from pathlib import Path

import pytest

SESSION_MANAGER = r"HKLM\System\CurrentControlSet\Control\Session Manager"


@pytest.fixture
def pending_renames(prefix):
    """Reads PendingFileRenameOperations; the value is removed at the end."""
    yield lambda: prefix.reg_query(SESSION_MANAGER, "PendingFileRenameOperations") or ""
    prefix.reg_delete(SESSION_MANAGER, "PendingFileRenameOperations")


def place_setup(prefix, folder: Path):
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(prefix.tools.probe("temp_copy_probe"), folder / "SETUP.EXE")
    (folder / "SETUP.INI").write_bytes(b"[ProductInformation]\r\nPackageName=Product.msi\r\n[ProductFeatures]\r\nMain\r\n")
    (folder / "Product.msi").write_bytes(b"package")


def run(prefix, folder: Path, *steps, arguments=""):
    result = prefix.run([folder / "SETUP.EXE", *steps, "--", *arguments.split()], env={"KQSETUP": "LOG"})
    assert result.exit_code == 0, result
    lines = {}
    for line in result.stdout.splitlines():
        step, _, rest = line.partition(" ")
        lines[step] = dict(field.split("=", 1) for field in rest.split(" ") if "=" in field)
    return lines


def kies_folders(temp: Path) -> set:
    return {p.name for p in temp.iterdir() if p.name.upper().startswith("KIES")}


def test_a_run_restarted_from_its_copy_removes_it_and_schedules_what_is_in_use(
        prefix, user_temp, pending_renames, tmp_path):
    copy = user_temp / "KIES0A1B"
    shutil.rmtree(copy, ignore_errors=True)
    place_setup(prefix, copy)
    (copy / "Lang").mkdir()
    (copy / "Lang" / "A.INI").write_bytes(b"[x]\r\n")
    # A folder outside the copy, reached through a symbolic link inside it.
    outside = prefix.drive_c / f"kq_link_target_{uuid.uuid4().hex[:6]}"
    outside.mkdir()
    (outside / "keep.txt").write_bytes(b"not the setup's")
    (copy / "linked").symlink_to(outside, target_is_directory=True)
    try:
        windows_copy = prefix.win_path(copy) + "\\"
        steps = run(prefix, copy, "remove", arguments="/~")
        assert steps["remove"]["marker"] == "1"
        assert steps["remove"]["folder"] == windows_copy

        # What the link points to is untouched; the link itself (which Wine
        # will not remove as a folder) is gone or scheduled like any folder.
        assert sorted(p.name for p in outside.iterdir()) == ["keep.txt"]
        assert (outside / "keep.txt").read_bytes() == b"not the setup's"
        assert sorted(p.name for p in copy.iterdir()) in (["SETUP.EXE"], ["SETUP.EXE", "linked"])
        pending = pending_renames()
        if (copy / "linked").is_symlink():
            assert "\\??\\" + windows_copy + "linked" in pending
        assert "\\??\\" + windows_copy + "SETUP.EXE" in pending
        assert "\\??\\" + windows_copy[:-1] in pending
        log = prefix.setup_log()
        assert f'Scheduled "{windows_copy}SETUP.EXE" for deletion using MoveFileEx()' in log
        assert f'Scheduled "{windows_copy[:-1]}" for deletion using MoveFileEx()' in log
    finally:
        shutil.rmtree(outside, ignore_errors=True)
        if (copy / "linked").is_symlink():
            (copy / "linked").unlink()
        shutil.rmtree(copy, ignore_errors=True)


def test_a_marker_typed_on_the_command_line_leaves_the_start_folder_alone(prefix, medium):
    place_setup(prefix, medium)
    (medium / "Documents").mkdir()
    (medium / "Documents" / "letter.txt").write_bytes(b"mine")
    steps = run(prefix, medium, "copy", "remove", arguments="/~")
    assert steps["copy"]["marker"] == "1"
    assert steps["remove"]["folder"] == prefix.win_path(medium) + "\\"
    assert (medium / "Documents" / "letter.txt").read_bytes() == b"mine"
    assert sorted(p.name for p in medium.iterdir()) == ["Documents", "Product.msi", "SETUP.EXE", "SETUP.INI"]
    assert f'Not removing "{prefix.win_path(medium)}\\": it is not a temporary copy made by setup' \
        in prefix.setup_log()


def test_a_name_clash_in_the_copy_gives_marker_2_and_leaves_no_folder(prefix, medium, user_temp):
    place_setup(prefix, medium)
    # Two names that Linux keeps apart and Windows does not: the second copy
    # meets the first and refuses to overwrite it.
    (medium / "readme.txt").write_bytes(b"one")
    (medium / "README.TXT").write_bytes(b"two")
    before = kies_folders(user_temp)
    steps = run(prefix, medium, "copy", "remove")
    folder = prefix.win_path(medium) + "\\"
    assert steps["copy"] == {"marker": "2", "folder": folder, "line": folder}
    assert kies_folders(user_temp) == before
    assert sorted(p.name for p in medium.iterdir()) == [
        "Product.msi", "README.TXT", "SETUP.EXE", "SETUP.INI", "readme.txt"]
    assert "Failed to copy file: " in prefix.setup_log()


def test_a_folder_link_loop_on_the_medium_is_not_followed(prefix, medium, user_temp):
    place_setup(prefix, medium)
    (medium / "data").mkdir()
    (medium / "data" / "file.txt").write_bytes(b"data")
    (medium / "data" / "loop").symlink_to(medium / "data", target_is_directory=True)
    # A file link is copied as the file it points to.
    (medium / "data" / "file link.txt").symlink_to(medium / "data" / "file.txt")
    steps = run(prefix, medium, "copy")
    copy = prefix.drive_c.joinpath(*steps["copy"]["folder"][3:].rstrip("\\").split("\\"))
    try:
        assert steps["copy"]["marker"] == "1", "the run goes on from its copy"
        assert sorted(p.name for p in (copy / "data").iterdir()) == ["file link.txt", "file.txt"]
        assert (copy / "data" / "file link.txt").read_bytes() == b"data"
        assert not (copy / "data" / "file link.txt").is_symlink()
        windows_medium = prefix.win_path(medium)
        assert f'Not copying "{windows_medium}\\data\\loop": the folder is a link or junction' in prefix.setup_log()
    finally:
        shutil.rmtree(copy, ignore_errors=True)
