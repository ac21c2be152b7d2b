"""Names outside ASCII on every path: the setup's narrow text is text in the
ANSI code page, so a medium in C:\\Café (1252), C:\\Установка (1251) or a
Japanese folder (932), a package named Lösung.msi or ソフト.msi, a UTF-16
SETUP.INI and a temporary-files folder with an accent all work. The real
SETUP.EXE installs a real package and its nested setup from the temporary
copy with Wine's msiexec; the log is read in the locale's ANSI code page.
"""
import shutil
import uuid

import pytest
from setup_helpers import SHORTCUT, UNINSTALL, install_for_real, new_guid, run_setup


ENVIRONMENT = r"HKCU\Environment"


def write_ini(path, text, encoding):
    body = text.replace("\n", "\r\n")
    path.write_bytes(b"\xFF\xFE" + body.encode("utf-16-le") if encoding == "utf-16" else body.encode(encoding))


def log_text(prefix, encoding):
    return prefix.setup_log_path.read_bytes().decode(encoding)


@pytest.fixture
def user_temp_folder(gui_prefix, tmp_path):
    """Points the user's TEMP and TMP (HKCU\\Environment) at C:\\users\\<name>\\Temp
    for the test; the values are written by regedit from a REGEDIT4 file in
    code page 1252, as an administrator would."""
    saved = {name: gui_prefix.reg_query(ENVIRONMENT, name) for name in ("TEMP", "TMP")}

    def set_to(name):
        folder = gui_prefix.drive_c / "users" / name / "Temp"
        folder.mkdir(parents=True, exist_ok=True)
        windows = f"C:\\\\users\\\\{name}\\\\Temp"
        reg = tmp_path / "temp.reg"
        reg.write_bytes(f'REGEDIT4\r\n\r\n[{ENVIRONMENT.replace("HKCU", "HKEY_CURRENT_USER")}]\r\n'
                        f'"TEMP"="{windows}"\r\n"TMP"="{windows}"\r\n'.encode("cp1252"))
        gui_prefix.wine(["regedit", "/S", gui_prefix.win_path(reg)])
        return folder

    yield set_to
    for name, value in saved.items():
        if value is None:
            gui_prefix.reg_delete(ENVIRONMENT, name)
        else:
            gui_prefix.reg_add(ENVIRONMENT, name, value, "REG_EXPAND_SZ")


# locale, ANSI code page, medium folder, package, SETUP.INI encoding, user
# whose temp folder is used (None: the prefix's own).
CASES = [
    pytest.param("en_US.UTF-8", "cp1252", "Café", "Lösung.msi", "cp1252", None, id="1252"),
    pytest.param("ru_RU.UTF-8", "cp1251", "Установка", "Продукт.msi", "cp1251", None, id="1251"),
    pytest.param("ja_JP.UTF-8", "cp932", "ソフト", "ソフト.msi", "utf-16", None, id="932-utf16"),
    pytest.param("en_US.UTF-8", "cp1252", "Kit", "Product.msi", "cp1252", "José", id="temp-1252"),
]


@pytest.mark.parametrize("locale, encoding, folder_name, package_name, ini_encoding, temp_user", CASES)
def test_medium_named_in_the_code_page_installs_with_its_nested_setup(
        gui_prefix, build_msi, user_temp_folder, locale, encoding, folder_name, package_name, ini_encoding,
        temp_user):
    medium = gui_prefix.drive_c / folder_name
    shutil.rmtree(medium, ignore_errors=True)
    medium.mkdir()
    temp = user_temp_folder(temp_user) if temp_user else None
    main, nested = new_guid(), new_guid()
    try:
        shutil.copyfile(gui_prefix.tools.setup, medium / "SETUP.EXE")
        build_msi(medium / package_name, main, name="KQ Encoding Main")
        build_msi(medium / "Nested.msi", nested, name="KQ Encoding Nested", install_folder="KQNested")
        write_ini(medium / "SETUP.INI", f"[ProductInformation]\nPackageName={package_name}\n"
                  f"NestedInstall={nested},Nested.ini\n[ProductFeatures]\nMain\n", ini_encoding)
        write_ini(medium / "Nested.ini", "[ProductInformation]\nPackageName=Nested.msi\n[ProductFeatures]\nMain\n",
                  "ascii")
        result = gui_prefix.run(f'"{gui_prefix.win_path(medium / "SETUP.EXE")}" /qn', env={"KQSETUP": "LOG"},
                                locale=locale, timeout=180)
        log = log_text(gui_prefix, encoding)
        assert result.exit_code == 0, log
        medium_folder = f"C:\\{folder_name}\\"
        assert f"Module filename = {medium_folder}SETUP.EXE" in log
        copy_line = next(line for line in log.splitlines() if "Copying " in line)
        assert f'Copying "{medium_folder}" to "' in copy_line
        if temp:
            assert f'to "C:\\users\\{temp_user}\\Temp\\KIES' in copy_line
        assert "Launching the nested installer" in log and "Nested installer was launched" in log
        assert gui_prefix.reg_query(UNINSTALL + "\\" + main, "DisplayName") == "KQ Encoding Main"
        assert gui_prefix.reg_query(UNINSTALL + "\\" + nested, "DisplayName") == "KQ Encoding Nested"
        if temp:
            assert not [p for p in temp.iterdir() if p.name.startswith("KIES")], "the copy is removed"
    finally:
        for code in (main, nested):
            gui_prefix.wine(["msiexec", "/x", code, "/qn"], check=False)
        shutil.rmtree(medium, ignore_errors=True)


def test_resume_shortcut_names_the_accented_medium_and_keeps_the_properties(
        gui_prefix, build_msi, stand_in, startup_folder):  # noqa: F811 (fixtures)
    """/~- (no copy) and a reboot before the nested setup: the shortcut starts
    C:\\Café\\SETUP.EXE again with TARGETDIR=C:\\Büro."""
    medium = gui_prefix.drive_c / "Café"
    shutil.rmtree(medium, ignore_errors=True)
    medium.mkdir()
    try:
        shutil.copyfile(gui_prefix.tools.setup, medium / "SETUP.EXE")
        build_msi(medium / "Product.msi", new_guid())
        build_msi(medium / "Nested.msi", new_guid())
        write_ini(medium / "SETUP.INI", f"[ProductInformation]\nPackageName=Product.msi\n"
                  f"NestedInstall={new_guid()},Nested.ini\n[ProductFeatures]\nMain\n", "cp1252")
        write_ini(medium / "Nested.ini", "[ProductInformation]\nPackageName=Nested.msi\n[ProductFeatures]\nMain\n",
                  "cp1252")
        stand_in.configure(exit_code=1641)
        result = run_setup(gui_prefix, medium, "/qb- /~- TARGETDIR=C:\\Büro")
        assert result.exit_code == 460393, log_text(gui_prefix, "cp1252")
        shortcut = startup_folder / SHORTCUT
        data = shortcut.read_bytes()
        assert "TARGETDIR=C:\\Büro".encode("utf-16-le") in data
        assert "Café\\SETUP.EXE".encode("utf-16-le") in data or b"Caf\xe9\\SETUP.EXE" in data

        # The logon after the reboot opens the shortcut; the main
        # installation had finished before the reboot.
        install_for_real(gui_prefix, stand_in, medium / "Product.msi")
        gui_prefix.clear_setup_log()
        stand_in.configure(exit_code=0)
        gui_prefix.run(gui_prefix.win_path(shortcut), env={"KQSETUP": "LOG"}, shortcut=True)
        log = log_text(gui_prefix, "cp1252")
        assert "Module filename = C:\\Café\\SETUP.EXE" in log
        assert "TARGETDIR=C:\\Büro" in next(line for line in log.splitlines() if "Setup command line = " in line)
        assert "Launching the nested installer" in log
        nested_call = stand_in.record.read_bytes().decode("cp1252").split("\r\n")[-2]
        assert "C:\\Café\\Nested.msi" in nested_call and "TARGETDIR=C:\\Büro" in nested_call
    finally:
        shutil.rmtree(medium, ignore_errors=True)
