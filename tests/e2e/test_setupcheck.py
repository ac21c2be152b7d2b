"""SETUPCHK.EXE under Wine (MSI.DLL) finds what setupcheck (libmsi) finds, over
the checker's table of media."""
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


def test_windows_checker_agrees_with_host_checker(prefix, tmp_path):
    packages = media.build_packages(tmp_path / "packages")
    media_root = prefix.drive_c / "checked"
    try:
        # The Wine prefix's system code page is 1252; --codepage names the targets'.
        runs = [(case, []) for case in media.CASES] + [(case, ["--codepage", "1251"]) for case in media.CASES
                                                       if case.name == "character outside the code page"]
        for number, (case, options) in enumerate(runs):
            folder = media.lay_out(case, media_root / str(number), packages)
            host = subprocess.run([str(SETUPCHECK), "--json", *options, str(folder)], capture_output=True,
                                  text=True, timeout=60)
            windows = prefix.wine([SETUPCHK_EXE, "--json", *options, prefix.win_path(folder)], check=False)
            assert json.loads(windows.stdout) == json.loads(host.stdout), (case.name, options)
            assert windows.returncode == host.returncode, (case.name, options)
    finally:
        shutil.rmtree(media_root, ignore_errors=True)
