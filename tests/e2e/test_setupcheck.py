"""SETUPCHK.EXE under Wine (MSI.DLL) finds what setupcheck (libmsi) finds, over
the checker's table of media; a data file from --init installs its package."""
import json
import os
import shutil
import subprocess
import sys
from pathlib import Path

from conftest import SOURCE_ROOT, WIN32_BUILD

sys.path.insert(0, str(SOURCE_ROOT / "tests" / "check"))
import check_media as media  # noqa: E402

SETUPCHECK = Path(os.environ.get("KQ_SETUPCHECK", SOURCE_ROOT / "build/host/src/check/setupcheck"))
SETUPCHK_EXE = WIN32_BUILD / "src" / "check" / "SETUPCHK.EXE"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"


def host(*args) -> subprocess.CompletedProcess:
    return subprocess.run([str(SETUPCHECK), *map(str, args)], capture_output=True, text=True, timeout=60)


def test_windows_checker_agrees_with_host_checker(prefix, tmp_path):
    packages = media.build_packages(tmp_path / "packages")
    media_root = prefix.drive_c / "checked"
    try:
        # The Wine prefix's system code page is 1252; --codepage names the targets'.
        runs = [(case, []) for case in media.CASES] + [(case, ["--codepage", "1251"]) for case in media.CASES
                                                       if case.name == "character outside the code page"]
        for number, (case, options) in enumerate(runs):
            folder = media.lay_out(case, media_root / str(number), packages)
            expected = host("--json", *options, folder)
            windows = prefix.wine([SETUPCHK_EXE, "--json", *options, prefix.win_path(folder)], check=False)
            assert json.loads(windows.stdout) == json.loads(expected.stdout), (case.name, options)
            assert windows.returncode == expected.returncode, (case.name, options)
            assert windows.stderr.endswith(expected.stderr), (case.name, options)
            sarif = prefix.wine([SETUPCHK_EXE, "--sarif", "--strict", *options, prefix.win_path(folder)], check=False)
            assert media.sarif_findings(json.loads(sarif.stdout)) == json.loads(expected.stdout), case.name
            assert sarif.returncode == (1 if json.loads(expected.stdout) else 0), case.name
    finally:
        shutil.rmtree(media_root, ignore_errors=True)
    usage = prefix.wine([SETUPCHK_EXE, "--help"])
    assert usage.stdout.startswith("usage: SETUPCHK.EXE [--json | --sarif]")


def test_init_writes_a_data_file_that_installs_its_package(gui_prefix, tools, tmp_path):
    packages = media.build_packages(tmp_path / "packages")
    medium = tmp_path / "medium"
    medium.mkdir()
    shutil.copy(packages["KorvaneDemo.msi"], medium)
    shutil.copy(tools.setup, medium / "SETUP.EXE")
    init = gui_prefix.wine([SETUPCHK_EXE, "--init", gui_prefix.win_path(medium / "KorvaneDemo.msi")])
    assert init.stdout == host("--init", medium / "KorvaneDemo.msi").stdout
    (medium / "SETUP.INI").write_bytes(init.stdout.replace("\n", "\r\n").encode())
    assert gui_prefix.wine([SETUPCHK_EXE, "--strict", gui_prefix.win_path(medium)], check=False).returncode == 0
    try:
        result = gui_prefix.run([medium / "SETUP.EXE", "/qn"], env={"KQSETUP": "LOG"})
        assert result.exit_code == 0, gui_prefix.setup_log()
        assert gui_prefix.reg_query(UNINSTALL + "\\" + media.PRODUCT, "DisplayName") == "Korvane Demo"
    finally:
        gui_prefix.wine(["msiexec", "/x", media.PRODUCT, "/qn"], check=False)
