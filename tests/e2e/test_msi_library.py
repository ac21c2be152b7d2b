"""MsiLibrary against Wine's real MSI.DLL and packages built by wixl.

msi_probe.exe runs one MsiLibrary through the operations named on its
command line and prints one "operation=result" line for each.
"""
import re
import shutil
import subprocess
import uuid

import pytest

from conftest import Component, Feature
from setup_helpers import log_bodies, new_guid

COMPONENTS_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Installer\UserData\S-1-5-18\Components"


def squashed(guid: str) -> str:
    """The registry form Windows Installer files a GUID under."""
    parts = guid.strip("{}").split("-")
    swap = lambda s: "".join(s[i + 1] + s[i] for i in range(0, len(s), 2))
    return parts[0][::-1] + parts[1][::-1] + parts[2][::-1] + swap(parts[3]) + swap(parts[4])


def run_probe(prefix, *ops, env=None, version=None):
    env = {"KQSETUP": "LOG", **(env or {})}
    result = prefix.run([prefix.tools.probe("msi_probe"), *ops], env=env, version=version)
    answers = []
    for line in result.stdout.splitlines():
        key, sep, value = line.strip().partition("=")
        if sep:
            answers.append((key, value))
    return result, answers


def package_code(path) -> str:
    out = subprocess.run(["msiinfo", "suminfo", str(path)], capture_output=True, text=True, check=True).stdout
    return re.search(r"Revision number \(UUID\): (\S+)", out).group(1)


class TestProductInformation:
    @pytest.mark.parametrize("version", ["winxp", "win98"])
    def test_short_product_name_preferred_over_product_name(self, prefix, medium, build_msi, version):
        code = new_guid()
        with_short = build_msi(medium / "short.msi", code, name="Korvane Demo Suite", version="2.5.7",
                               properties={"ShortProductName": "Demo"})
        plain = build_msi(medium / "plain.msi", code, name="Korvane Demo Suite", version="2.5.7")
        _, answers = run_probe(prefix, f"load={prefix.win_path(with_short)}",
                               f"load={prefix.win_path(plain)}", version=version)
        assert answers == [("load", f"1 {code}|Demo|2.5.7"), ("load", f"1 {code}|Korvane Demo Suite|2.5.7")]
        body = log_bodies(prefix)
        assert f"Loading product information for package '{prefix.win_path(plain)}'" in body
        assert "Attempting to retrieve the value of property 'ShortProductName'" in body
        assert "The property's value is 'Demo'" in body
        assert "The requested property does not exist" in body
        # MSI.DLL is loaded once for the whole run.
        assert body.count("Attempting to load MSI.DLL") == 1

    def test_reload_uses_the_last_path_and_a_failed_load_forgets_the_product(self, prefix, medium, build_msi):
        package = build_msi(medium / "p.msi", new_guid())
        missing = prefix.win_path(medium / "absent.msi")
        result, answers = run_probe(prefix, f"load={prefix.win_path(package)}", "reload",
                                    f"load={missing}", "name")
        assert [a[0] for a in answers] == ["load", "reload", "load", "ended"]
        assert answers[1][1].startswith("1 ") and answers[2][1] == "0"
        # After the failed load nothing is loaded: reading the name is internal error 15.
        assert result.exit_code == 0x8004006C
        body = log_bodies(prefix)
        assert any(re.fullmatch(rf"Failed to open package '{re.escape(missing)}', return code = \d+", l)
                   for l in body)
        assert "Error Code: 000F.8004006C" in body

    def test_a_path_too_long_says_so_with_its_length(self, prefix):
        path = "C:\\" + "\\".join(["d" * 60] * 5) + "\\p.msi"
        result, answers = run_probe(prefix, f"load={path}", "name", version="winxp")
        assert answers[0] == ("load", "0") and result.exit_code == 0x8004006C
        body = log_bodies(prefix)
        at = body.index(f"The package path {path} is {len(path)} characters long; this setup opens paths of at "
                        "most 259 characters")
        assert body[at + 1] == f"Failed to convert filename: {path} to Unicode"
        assert "Error Code: 000F.8004006C" in body[at:]

    def test_path_in_ansi_but_not_oem_code_page_opens_on_the_second_try(self, prefix, build_msi):
        # U+20AC is byte 0x80 in code page 1252 but C-cedilla in OEM 437: the
        # OEM conversion names a folder that does not exist.
        folder = prefix.drive_c / f"pkg\u20ac{uuid.uuid4().hex[:6]}"
        try:
            code = new_guid()
            package = build_msi(folder / "p.msi", code, name="Euro")
            _, answers = run_probe(prefix, f"load={prefix.win_path(package)}", version="winxp")
            assert answers == [("load", f"1 {code}|Euro|1.0.0")]
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    @pytest.mark.parametrize("prop, location", [("ProductCode", "010F"), ("ProductVersion", "030F")])
    def test_package_without_required_property_is_an_internal_error(self, prefix, medium, build_msi,
                                                                    prop, location):
        package = build_msi(medium / "p.msi", new_guid())
        subprocess.run(["msibuild", str(package), "-q", f"DELETE FROM `Property` WHERE `Property`='{prop}'"],
                       check=True)
        result, _ = run_probe(prefix, f"load={prefix.win_path(package)}")
        assert result.exit_code == 0x80040066
        assert f"Error Code: {location}.80040066" in log_bodies(prefix)

    def test_package_without_any_name_is_internal_error_0x20F(self, prefix, medium, build_msi):
        package = build_msi(medium / "p.msi", new_guid())
        subprocess.run(["msibuild", str(package), "-q",
                        "DELETE FROM `Property` WHERE `Property`='ProductName'"], check=True)
        result, _ = run_probe(prefix, f"load={prefix.win_path(package)}")
        assert result.exit_code == 0x80040066
        assert "Error Code: 020F.80040066" in log_bodies(prefix)


class TestInstalledState:
    def test_same_package_another_build_and_a_package_code_in_other_case(self, prefix, medium, build_msi,
                                                                       installed):
        code = new_guid()
        first_code = new_guid()
        first = build_msi(medium / "first.msi", code, version="1.0.0", package_code=first_code)
        rebuilt = build_msi(medium / "rebuilt.msi", code, version="1.0.0")
        lower = build_msi(medium / "lower.msi", code, version="1.0.0", package_code=first_code.lower())
        assert package_code(first) == first_code
        assert package_code(rebuilt) != first_code and package_code(lower) == first_code.lower()

        _, before = run_probe(prefix, f"installed={code}", f"load={prefix.win_path(first)}", "current")
        assert before[0] == ("installed", "0") and before[2] == ("current", "0")

        installed(first)
        prefix.clear_setup_log()
        _, answers = run_probe(
            prefix,
            f"load={prefix.win_path(first)}", f"installed={code}", "package-installed", "different", "current",
            f"load={prefix.win_path(rebuilt)}", "different", "current",
            f"load={prefix.win_path(lower)}", "different")
        values = [v for k, v in answers if k != "load"]
        assert values == ["1", "1", "0", "1", "1", "0", "1"]
        body = log_bodies(prefix)
        assert f"Checking the installation state of the product '{code}'" in body
        assert "The specified product is installed" in body
        assert "The old and new package codes match" in body
        assert (f"The old package code '{first_code}' does not match the new package code "
                f"'{package_code(rebuilt)}'") in body
        assert (f"The old package code '{first_code}' does not match the new package code "
                f"'{first_code.lower()}'") in body

    def test_on_the_9x_family_the_ansi_calls_answer_alike(self, prefix, medium, build_msi, installed):
        code = new_guid()
        package = build_msi(medium / "p.msi", code)
        rebuilt = build_msi(medium / "q.msi", code)
        installed(package)
        _, answers = run_probe(prefix, f"load={prefix.win_path(package)}", "current",
                               f"load={prefix.win_path(rebuilt)}", "current", version="win98")
        assert [v for k, v in answers if k == "current"] == ["1", "0"]

    def test_components_and_features(self, prefix, medium, build_msi, installed):
        code = new_guid()
        main_comp, extra_comp = new_guid(), new_guid()
        package = build_msi(medium / "p.msi", code, install_folder="KQFeatures", features=[
            Feature("Main", [Component("main.txt", guid=main_comp.strip("{}"))]),
            Feature("Extra", [Component("extra.txt", guid=extra_comp.strip("{}"))])])
        installed(package)
        load = f"load={prefix.win_path(package)}"
        _, answers = run_probe(prefix, load, f"component={main_comp}", "feature=Main", "feature=Extra",
                               f"component={new_guid()}")
        assert answers[1:] == [("component", r"1 C:\Program Files\KQFeatures\main.txt"),
                               ("feature", "0"), ("feature", "0"), ("component", "0")]

        # Wine's msiexec installs every component locally; a component that
        # runs from source is registered with a source-form key path, which
        # is what Wine's MSI.DLL reads back as INSTALLSTATE_SOURCE.
        prefix.reg_add(COMPONENTS_KEY + "\\" + squashed(extra_comp), squashed(code), r"01\extra.txt")
        prefix.clear_setup_log()
        _, answers = run_probe(prefix, load, "feature=Extra", "feature=Main", f"component={extra_comp}")
        assert answers[1:] == [("feature", "1"), ("feature", "0"), ("component", "0")]
        body = log_bodies(prefix)
        assert "Determining if feature 'Extra' is configured to run from source" in body
        assert "The specified feature is configured to run from source" in body
        assert "The specified feature is not configured to run from source" in body
        assert f"Determining the installed location for component: {extra_comp}" in body
        assert any(l.startswith(f"Failed to get the key path for component: {extra_comp}, Return code = ")
                   for l in body)


class TestLibraryBinding:
    def test_machine_without_msi_dll_answers_no_and_logs_every_time(self, prefix, medium, build_msi):
        package = build_msi(medium / "p.msi", new_guid())
        code = new_guid()
        result, answers = run_probe(prefix, "version", f"load={prefix.win_path(package)}",
                                    f"installed={code}", "feature=Main", f"component={code}", "version",
                                    env={"WINEDLLOVERRIDES": "msi="})
        assert result.exit_code == 0
        assert [(k, v.split()[0]) for k, v in answers] == [
            ("version", "0"), ("load", "0"), ("installed", "0"), ("feature", "0"), ("component", "0"),
            ("version", "0")]
        body = log_bodies(prefix)
        assert body.count("Attempting to load MSI.DLL") == 6
        assert body.count("Failed to load MSI.DLL") == 6
        assert not any("function pointers" in l for l in body)

    def test_version_and_reload_after_unload(self, prefix):
        code = new_guid()
        _, answers = run_probe(prefix, "version", f"installed={code}", "unload", "unload",
                               f"installed={code}")
        key, value = answers[0]
        assert key == "version" and re.fullmatch(r"1 [1-9]\d*\.\d+\.\d+", value)
        assert answers[1:] == [("installed", "0"), ("unload", "1"), ("unload", "1"), ("installed", "0")]
        body = log_bodies(prefix)
        assert body == [
            "Attempting to load MSI.DLL",
            "Attempting to determine the version of MSI.DLL",
            f"Checking the installation state of the product '{code}'",
            "The specified product is not installed",
            "Unloading MSI.DLL",
            f"Checking the installation state of the product '{code}'",
            "Attempting to load MSI.DLL",
            "The specified product is not installed",
        ]

    def test_msi_dll_beside_the_program_is_never_loaded(self, prefix, medium, tools, tmp_path):
        # A planted MSI.DLL in the program's folder that answers DllGetVersion
        # with 9.9.9. Native DLLs are preferred for this run, so the default
        # search order would pick it up before the system's library.
        source = tmp_path / "planted.c"
        source.write_text(PLANTED_DLL)
        subprocess.run(["i686-w64-mingw32-gcc", "-shared", "-o", str(medium / "MSI.DLL"), str(source),
                        "-Wl,--kill-at"], check=True)
        probe = medium / "msi_probe.exe"
        shutil.copyfile(tools.probe("msi_probe"), probe)
        result = prefix.run([probe, "version"], env={"KQSETUP": "LOG", "WINEDLLOVERRIDES": "msi=n,b"},
                            cwd=medium)
        version = re.search(r"^version=(.*)$", result.stdout, re.M).group(1)
        assert version.startswith("1 ") and version != "1 9.9.9"


PLANTED_DLL = r"""
#include <windows.h>
typedef struct { DWORD size, major, minor, build, platform; } Info;
__declspec(dllexport) HRESULT __stdcall DllGetVersion(Info* info) {
  info->major = 9; info->minor = 9; info->build = 9;
  return S_OK;
}
"""
