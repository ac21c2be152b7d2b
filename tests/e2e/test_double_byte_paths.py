"""Paths on double-byte systems: in code pages 932, 936 and 950 the byte 0x5C
is also the trail byte of characters such as ソ (83 5C), 誠 (D5 5C in 936)
and 許 (B3 5C). A setup program, its data file and its package whose names
hold such characters must still give MSIEXEC the package's real path.

engine_probe.exe stands in for SETUP.EXE under a double-byte name, in a
double-byte folder, and runs the engine's load and main-installation steps
under the locale's ANSI code page; a stand-in MSIEXEC records its command
line, which a real package path must be part of. The data file in the
subfolder is saved as UTF-8 with a byte order mark, as today's editors save
it, and its package name is converted to the code page on loading.
"""
import shutil

import pytest

from test_setup_engine import SYSTEM
from setup_helpers import new_guid

# locale, ANSI code page, folder, program, data file, package; every name
# holds a character whose trail byte is 0x5C.
CASES = [
    pytest.param("ja_JP.UTF-8", "cp932", "ソフト表", "ソフト.exe", "ソフト.INI", "表ソフト.msi", id="932"),
    pytest.param("zh_CN.UTF-8", "cp936", "誠運", "運行.exe", "誠.INI", "謀.msi", id="936"),
    pytest.param("zh_HK.UTF-8", "cp950", "功能", "許可.exe", "許可.INI", "功能.msi", id="950"),
]


def run_engine(prefix, program, arguments, locale, encoding, *steps):
    result = prefix.run([program, *steps, "--", *arguments], env={"KQSETUP": "LOG"}, locale=locale)
    answers = {}
    for line in result.stdout.splitlines():
        key, sep, value = line.strip().partition("=")
        if sep:
            answers[key] = value
    return result, answers


def write_data_file(path, package, encoding):
    path.parent.mkdir(parents=True, exist_ok=True)
    text = f"[ProductInformation]\r\nPackageName={package}\r\n[ProductFeatures]\r\nMain\r\n"
    path.write_bytes(b"\xEF\xBB\xBF" + text.encode("utf-8") if encoding == "utf-8" else text.encode(encoding))


def calls(stand_in, encoding):
    if not stand_in.record.exists():
        return []
    return stand_in.record.read_bytes().decode(encoding).split("\r\n")[:-1]


@pytest.mark.parametrize("locale, encoding, folder_name, program_name, data_name, package_name", CASES)
def test_package_path_reaches_msiexec_whole(prefix, medium, build_msi, stand_in_msiexec, locale, encoding,
                                            folder_name, program_name, data_name, package_name):
    for name in (folder_name, program_name, data_name, package_name):
        assert b"\x5c" in name.encode(encoding), f"{name} holds no 0x5C trail byte in {encoding}"
    folder = medium / folder_name
    folder.mkdir()
    program = folder / program_name
    shutil.copyfile(prefix.tools.probe("engine_probe"), program)
    # The data file beside the program, and one in a subfolder whose package
    # lies beside it there.
    build_msi(folder / package_name, new_guid())
    write_data_file(folder / data_name, package_name, encoding)
    sub = folder / folder_name
    build_msi(sub / package_name, new_guid())
    write_data_file(sub / data_name, package_name, "utf-8")

    _, answers = run_engine(prefix, program, [data_name, "/qn"], locale, encoding, "load", "main=0")
    assert answers.get("load") == "1", "the real package opens through MSI.DLL"
    assert answers.get("main") == "started exit=0 reboot=0"

    subfolder_data = f"{folder_name}\\{data_name}"
    _, answers = run_engine(prefix, program, [subfolder_data, "/qb"], locale, encoding, "load", "main=0")
    assert answers.get("load") == "1"

    windows_folder = prefix.win_path(medium) + "\\" + folder_name
    assert calls(stand_in_msiexec, encoding) == [
        rf'{SYSTEM}\MSIEXEC.EXE /i "{windows_folder}\{package_name}" /qn',
        rf'{SYSTEM}\MSIEXEC.EXE /i "{windows_folder}\{folder_name}\{package_name}" /qb',
    ]
    log = prefix.setup_log_path.read_bytes().decode(encoding)
    assert f"Loading product information for package '{windows_folder}\\{package_name}'" in log
    assert "Failed to open package" not in log
