"""A publisher's medium as written: a nested setup whose data file has a
blank in its path, installed from the medium; a nested setup that fails or
cannot run, which the exit code reports; and /qn where no window can be made.
Real wixl packages and Wine's own msiexec throughout.
"""
import shutil
import uuid

import pytest
from setup_helpers import UNINSTALL, in_order, log_bodies, new_guid, run_setup, write_ini



@pytest.fixture
def spaced_medium(gui_prefix):
    """A medium, with SETUP.EXE, in a folder whose name holds a blank."""
    path = gui_prefix.drive_c / f"Acme Medium {uuid.uuid4().hex[:6]}"
    path.mkdir()
    shutil.copyfile(gui_prefix.tools.setup, path / "SETUP.EXE")
    yield path
    shutil.rmtree(path, ignore_errors=True)


@pytest.fixture
def products(gui_prefix):
    """Product codes that Wine's msiexec removes when the test ends."""
    codes = []
    yield codes
    for code in codes:
        gui_prefix.wine(["msiexec", "/x", code, "/qn"], check=False)


def is_installed(prefix, code) -> bool:
    return prefix.reg_query(UNINSTALL + "\\" + code, "DisplayName") is not None


class TestNestedSetup:
    def test_a_quoted_data_file_with_a_blank_is_installed_from_the_medium(self, gui_prefix, spaced_medium,
                                                                          build_msi, products):
        main, nested = new_guid(), new_guid()
        products += [main, nested]
        build_msi(spaced_medium / "Product.msi", main, name="KQ Main")
        build_msi(spaced_medium / "Acme Tools" / "Nested.msi", nested, name="KQ Nested")
        write_ini(spaced_medium, f'NestedInstall={nested},"Acme Tools\\Nested.ini"\r\n')
        write_ini(spaced_medium, name="Acme Tools/Nested.ini", package="Nested.msi")

        result = run_setup(gui_prefix, spaced_medium, "/qn", timeout=300)
        medium = gui_prefix.win_path(spaced_medium)
        in_order(log_bodies(gui_prefix), f'The medium "{medium}\\" holds the nested setup: it starts from there',
                 f'Command Line = "{medium}\\SETUP.EXE" "Acme Tools\\Nested.ini" /qn /~-', "Exiting normally")
        assert result.exit_code == 0
        assert is_installed(gui_prefix, main) and is_installed(gui_prefix, nested)
        # Windows Installer keeps the medium, not the deleted copy, as the source.
        source = gui_prefix.reg_query(UNINSTALL + "\\" + nested, "InstallSource") or ""
        assert source.lower().startswith(f"{medium}\\acme tools".lower()), source

    @pytest.mark.parametrize("argument, nested_package, line", [
        # The folder is named differently on the medium: the nested setup cannot run.
        ("Tools\\Nested.ini", None,
         "The nested product {nested} is not installed and its setup did not run; exiting with 1603"),
        # The package the nested data file names is not there: its MSIEXEC fails, and so does the run.
        ('"Acme Tools\\Nested.ini"', "Missing.msi",
         "The nested product {nested} is not installed after its setup ended with {code}; exiting with {code}"),
    ])
    def test_a_nested_product_not_installed_is_no_success(self, gui_prefix, spaced_medium, build_msi, products,
                                                          argument, nested_package, line):
        main, nested = new_guid(), new_guid()
        products.append(main)
        build_msi(spaced_medium / "Product.msi", main, name="KQ Main")
        write_ini(spaced_medium, f"NestedInstall={nested},{argument}\r\n")
        write_ini(spaced_medium, name="Acme Tools/Nested.ini", package=nested_package or "Nested.msi")

        result = run_setup(gui_prefix, spaced_medium, "/qn", timeout=300)
        assert result.exit_code not in (0, 1641, 3010)
        body = log_bodies(gui_prefix)
        assert line.format(nested=nested, code=result.exit_code) in body
        if nested_package is None:
            path = f"{gui_prefix.win_path(spaced_medium)}\\Tools\\Nested.ini"
            assert any(text.startswith(f"The nested setup's data file \"{path}\" is not on the medium (error ")
                       for text in body), body
        assert is_installed(gui_prefix, main), "the main product stays installed"


class TestWithoutADisplay:
    @pytest.mark.parametrize("ui, code", [("/qn", 0), ("/qb", 6)])
    def test_qn_runs_without_its_dialog(self, prefix, build_msi, ui, code):
        """The prefix of `prefix` has no display: no window can be made. /qn
        shows nothing, so it installs anyway; a UI level that shows the
        dialog ends as before."""
        medium = prefix.drive_c / f"medium_{uuid.uuid4().hex[:8]}"
        medium.mkdir()
        shutil.copyfile(prefix.tools.setup, medium / "SETUP.EXE")
        product = new_guid()
        build_msi(medium / "Product.msi", product)
        write_ini(medium)
        try:
            result = run_setup(prefix, medium, ui, timeout=300)
            body = log_bodies(prefix)
            assert result.exit_code == code
            assert any(text.startswith("Failed to create the setup dialog. Error Code = ") for text in body)
            ran = "The UI level shows no window: the setup runs without its dialog" in body
            assert ran == (ui == "/qn") and is_installed(prefix, product) == (ui == "/qn")
        finally:
            prefix.wine(["msiexec", "/x", product, "/qn"], check=False)
            shutil.rmtree(medium, ignore_errors=True)
