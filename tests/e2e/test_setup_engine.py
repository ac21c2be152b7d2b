"""SetupEngine steps under Wine: the Windows Installer version and the
installers the steps start, recorded by a stand-in MSIEXEC, nested SETUP.EXE
and post-install application. (The platform checks, with their boxes, are
unit tests run once per Windows version: tests/unit/steps.)

engine_probe.exe is copied into a medium folder with a SETUP.INI, as
SETUP.EXE would be, and runs the named steps (see tools/probes).
"""
import re
import shutil
import time
import uuid

import pytest

from conftest import Component, Feature
from setup_helpers import log_bodies, new_guid
from test_msi_library import COMPONENTS_KEY, squashed

SYSTEM = r"C:\windows\system32"


def write_ini(folder, product_information="", more="", name="SETUP.INI"):
    text = ("[ProductInformation]\r\nPackageName=Product.msi\r\n" + product_information +
            "[ProductFeatures]\r\nMain\r\n" + more)
    (folder / name).parent.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(text.encode("latin-1"))


def engine(prefix, medium, *steps, arguments="", env=None, version=None):
    probe = medium / "engine_probe.exe"
    if not probe.exists():
        shutil.copyfile(prefix.tools.probe("engine_probe"), probe)
    args = [*steps, "--", *arguments.split()] if arguments else [*steps, "--"]
    result = prefix.run([probe, *args], env={"KQSETUP": "LOG", **(env or {})}, version=version)
    answers = {}
    for line in result.stdout.splitlines():
        key, sep, value = line.strip().partition("=")
        if sep:
            answers[key] = value
    return result, answers


class TestInstallerVersion:
    def test_msi_version_against_wines_msi_dll_and_a_machine_without_it(self, prefix, medium):
        write_ini(medium, "MsiVersion=1.10\r\n")
        _, answers = engine(prefix, medium, "msiversion", "privileges")
        assert answers == {"msiversion": "1", "privileges": "1"}
        write_ini(medium, "MsiVersion=99\r\n")
        assert engine(prefix, medium, "msiversion")[1]["msiversion"] == "0"
        write_ini(medium, "")
        _, answers = engine(prefix, medium, "msiversion", env={"WINEDLLOVERRIDES": "msi="})
        assert answers["msiversion"] == "0"
        assert "Failed to load MSI.DLL" in log_bodies(prefix)


class TestInstallers:
    def test_main_installation_command_line_and_reboot(self, prefix, medium, stand_in_msiexec):
        write_ini(medium)
        stand_in_msiexec.configure(exit_code=3010)
        _, answers = engine(prefix, medium, "main=1", arguments=r"/qb TARGETDIR=C:\X")
        assert answers["main"] == "started exit=3010 reboot=1"
        assert stand_in_msiexec.calls() == [
            rf'{SYSTEM}\MSIEXEC.EXE /i "{prefix.win_path(medium)}\Product.msi" /qb TARGETDIR=C:\X REBOOT=S']
        body = log_bodies(prefix)
        assert "Running installer" in body
        assert f"Command Line = {stand_in_msiexec.calls()[0]}" in body

    def test_main_installation_in_patch_mode_and_a_failing_installer(self, prefix, medium, stand_in_msiexec):
        write_ini(medium)
        stand_in_msiexec.configure(exit_code=1603)
        _, answers = engine(prefix, medium, "main=0", arguments="/p fix.msp /a t.msi /L*v x.log")
        assert answers["main"] == "started exit=1603 reboot=0"
        assert stand_in_msiexec.calls() == [rf"{SYSTEM}\MSIEXEC.EXE /p fix.msp /a t.msi /L*v x.log"]

    def test_maintenance_from_the_data_files_folder(self, prefix, medium, stand_in_msiexec):
        write_ini(medium, name=r"Lang/A.INI")
        _, answers = engine(prefix, medium, "maintenance", arguments=r"Lang\A.INI /qn")
        assert answers["maintenance"] == "started exit=0 reboot=0"
        _, _ = engine(prefix, medium, "maintenance", arguments=r"Lang\A.INI REINSTALLMODE=vomus")
        package = prefix.win_path(medium) + r"\Lang\Product.msi"
        assert stand_in_msiexec.calls() == [
            rf'{SYSTEM}\MSIEXEC /fvomus "{package}" /qn',
            rf'{SYSTEM}\MSIEXEC /I "{package}" REINSTALLMODE=vomus']
        assert "Running installer in maintenance mode" in log_bodies(prefix)

    def test_nested_setup(self, prefix, medium, tools):
        """A data file with a blank in its path is quoted, and handed on so."""
        nested_code = new_guid()
        write_ini(medium, f'NestedInstall={nested_code},"Acme Tools\\Nested.ini" X=1,ONEREBOOT\r\n')
        record = medium / "nested_calls.txt"
        shutil.copyfile(tools.child, medium / "SETUP.EXE")
        (medium / "SETUP.cfg").write_text(f"record={prefix.win_path(record)}\nexit=0\n")
        _, answers = engine(prefix, medium, "nested", "launchnested", arguments="/qb")
        assert answers["nested"] == "0 suppressed=0" and answers["launchnested"] == "0", "no data file: nothing starts"
        folder = prefix.win_path(medium)
        missing = f'The nested setup\'s data file "{folder}\\Acme Tools\\Nested.ini" is not on the medium (error '
        assert any(line.startswith(missing) for line in log_bodies(prefix)), log_bodies(prefix)
        (medium / "Acme Tools").mkdir()
        (medium / "Acme Tools" / "Nested.ini").write_text("[ProductInformation]\r\n")
        _, answers = engine(prefix, medium, "nested", "launchnested", arguments="/qb")
        assert answers["nested"] == "1 suppressed=1"
        _, answers = engine(prefix, medium, "launchnested", arguments="/qb /k/~")
        calls = record.read_bytes().decode("latin-1").split("\r\n")[:-1]
        assert calls == [rf'{folder}\SETUP.EXE "Acme Tools\Nested.ini" X=1 /qb /~-',
                         rf'{folder}\SETUP.EXE "Acme Tools\Nested.ini" X=1 /qb /k/~']
        assert "Launching Nested installer" in log_bodies(prefix)

    def test_product_state_through_the_engine(self, prefix, medium, build_msi, installed):
        code = new_guid()
        extra = new_guid()
        tool = Component("tool.exe", content=prefix.tools.child.read_bytes(), guid=new_guid().strip("{}"))
        package = build_msi(medium / "Product.msi", code, properties={"ShortProductName": "Post"},
                            install_folder="KQPost",
                            features=[Feature("Main", [tool]),
                                      Feature("Extra", [Component("extra.txt", guid=extra.strip("{}"))])])
        write_ini(medium, f"NestedInstall={code},Nested.ini,NOUPDATE\r\n",
                  f"Extra\r\n[LaunchApplications]\r\n{{{tool.guid}}},-x\r\n,ignored\r\n")
        (medium / "Nested.ini").write_text("[ProductInformation]\r\n")
        _, answers = engine(prefix, medium, "name", "load", "current", "name", "nested")
        assert answers == {"name": "1 Post", "load": "1", "current": "0", "nested": "1 suppressed=0"}

        installed(package)
        record = prefix.drive_c / f"post_{uuid.uuid4().hex[:6]}.txt"
        prefix.clear_setup_log()
        _, answers = engine(prefix, medium, "load", "current", "runfromsource", "nested", "post",
                            env={"KQCHILD_RECORD": prefix.win_path(record)})
        assert answers == {"load": "1", "current": "1", "runfromsource": "0", "nested": "0 suppressed=0",
                           "post": "done"}
        # The post-install application is started and left alone.
        deadline = time.time() + 30
        while not record.exists() and time.time() < deadline:
            time.sleep(0.2)
        assert record.read_bytes().decode("latin-1") == '"C:\\Program Files\\KQPost\\tool.exe" -x\r\n'
        body = log_bodies(prefix)
        assert "Launching any post-install applications" in body
        assert (f"Starting the post-install program of component {{{tool.guid}}}: "
                '"C:\\Program Files\\KQPost\\tool.exe" -x') in body
        assert not any(line.startswith("Command Line =") for line in body)

        prefix.reg_add(COMPONENTS_KEY + "\\" + squashed(extra), squashed(code), r"01\extra.txt")
        _, answers = engine(prefix, medium, "load", "runfromsource")
        assert answers["runfromsource"] == "1"

    def test_post_install_entry_that_cannot_be_split_is_internal_error_26(self, prefix, medium):
        write_ini(medium, "", "[LaunchApplications]\r\n{C},-x \"a b\"\r\n")
        result, _ = engine(prefix, medium, "post")
        assert result.exit_code == 0x80070057
        assert "Error Code: 001A.80070057" in log_bodies(prefix)

    def test_installer_that_cannot_start_is_internal_error(self, prefix, medium):
        write_ini(medium)
        # The package and the nested SETUP.EXE are missing: only MSIEXEC
        # itself must start, so the nested setup fails to start.
        write_ini(medium, f"NestedInstall={new_guid()},N.INI\r\n")
        (medium / "N.INI").write_text("[ProductInformation]\r\n")
        result, _ = engine(prefix, medium, "launchnested")
        assert result.exit_code == 0x8004006A
        body = log_bodies(prefix)
        assert f'The nested setup "{prefix.win_path(medium)}\\SETUP.EXE" cannot be started, Error code = 0x00000002' \
            in body
        assert "Error Code: 000C.8004006A" in body
