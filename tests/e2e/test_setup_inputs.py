"""The setup's inputs and voice under Wine: the command line and SETUP.INI as a
started program sees them, the internal-error box in the user's language, and
the message table chosen for each user locale.

Set KQ_UPDATE_DOCS=1 to refresh the screenshots under docs/ from this run.
"""
import os
import shutil
import subprocess
from pathlib import Path

import pytest

from conftest import SOURCE_ROOT, join_command_line, parse_runner

MINIMAL_INI = "[ProductInformation]\r\nPackageName=product.msi\r\n[ProductFeatures]\r\nMain\r\n"
MESSAGES = SOURCE_ROOT / "src" / "sys" / "messages"


def read_table(name):
    """The UTF-8 source of one message table: (language, code page, {id: text})."""
    header, texts = {}, {}
    for line in (MESSAGES / name).read_text(encoding="utf-8").split("\n"):
        if not line or line.startswith("#"):
            continue
        key, _, value = line.partition(" = ")
        if key in ("language", "codepage"):
            header[key] = int(value, 0)
        else:
            texts[int(key)] = value.replace("\\n", "\n").replace("\\\\", "\\")
    return header["language"], header["codepage"], texts


@pytest.fixture
def display_prefix(gui_prefix):
    """Every program of this file runs with the display: the first program of
    a Wine session that touches user32 makes the session's desktop, and one
    made without a display would keep the later error boxes from showing."""
    return gui_prefix


@pytest.fixture
def setup_medium(medium, tools):
    """A medium with the start probe as its setup program (and no SETUP.INI yet)."""
    shutil.copyfile(tools.probe("setup_start_probe"), medium / "SETUP.EXE")
    return medium


def parsed_fields(stdout):
    return dict(line.partition("=")[::2] for line in stdout.splitlines() if "=" in line)


class TestCommandLineAndSetupData:
    def test_no_arguments_loads_setup_ini_beside_the_program(self, display_prefix, setup_medium):
        prefix = display_prefix
        (setup_medium / "SETUP.INI").write_bytes(MINIMAL_INI.encode())
        result = prefix.run([setup_medium / "SETUP.EXE"], env={"KQSETUP": "LOG"})
        assert result.exit_code == 0
        fields = parsed_fields(result.stdout)
        assert fields["parsed"] == "1" and fields["datafile"] == "SETUP.INI"
        assert fields["package"] == "product.msi"
        assert any(line.endswith(" - Loading setup data file: " + prefix.win_path(setup_medium) + "\\SETUP.INI")
                   for line in prefix.setup_log_lines())

    def test_lower_case_package_key_ends_a_quiet_run_with_its_code_in_the_log(self, display_prefix, setup_medium):
        prefix = display_prefix
        (setup_medium / "SETUP.INI").write_bytes(MINIMAL_INI.replace("PackageName", "packagename").encode())
        result = prefix.run([setup_medium / "SETUP.EXE", "/qn"], env={"KQSETUP": "LOG"})
        assert result.exit_code == 0x80040066
        log = [line.split(" - ", 1)[1] for line in prefix.setup_log_lines()]
        assert log[-2:] == ["Internal Error", "Error Code: 0001.80040066"]  # the only witness of a quiet run


# The boxes of this file are shown on a Wine desktop of their own, made with
# the test's display: the session's default desktop may have been made by an
# earlier program without one (wineboot makes it), and a box on it cannot be
# created. A virtual desktop also draws the title bars, which Xvfb (no window
# manager) would not.
DESKTOP = ["explorer", "/desktop=KqSetupBox,640x400"]


def start_on_desktop(prefix, args, env, locale):
    run_env = prefix.env(env, locale)
    run_env["KQRUN_CMDLINE"] = join_command_line(prefix.win_arg(a) for a in args)
    return subprocess.Popen(["wine", *DESKTOP, str(prefix.tools.runner)], env=run_env, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, errors="replace")


def answer_raw(prefix, caption, button, locale, timeout_ms=60000, until=b"text"):
    """answer.exe on the boxes' desktop, its output kept as bytes: the box
    text is in the user's ANSI code page, which the pipe passes unchanged.
    Reads up to the field `until` (the box text; "visible" for the setup's
    progress dialog). The desktop's explorer returns only when the desktop empties, so the
    answer is read from the pipe as it comes."""
    proc = subprocess.Popen(["wine", *DESKTOP, str(prefix.tools.answer), caption, button, str(timeout_ms)],
                            env=prefix.env(locale=locale), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    fields = {}
    for line in proc.stdout:
        key, _, value = line.rstrip(b"\r\n").partition(b"=")
        fields[key.decode(errors="replace")] = value
        if key in (until, b"no-box"):
            break
    return (0 if "text" in fields else 1), fields, proc


def screenshot(display, out: Path):
    """The screen, trimmed of the empty desktop around the box."""
    out.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["import", "-display", display, "-window", "root", "-trim", "+repage", str(out)],
                   check=True, timeout=60)


class TestMessageLanguage:
    @pytest.mark.parametrize("locale, lcid, table", [
        ("en_US.UTF-8", 0x0409, "en_US.txt"),
        ("en_GB.UTF-8", 0x0809, "en_US.txt"),
        ("de_DE.UTF-8", 0x0407, "de_DE.txt"),
        ("de_AT.UTF-8", 0x0C07, "de_DE.txt"),
        ("fr_FR.UTF-8", 0x040C, "fr_FR.txt"),
        ("ja_JP.UTF-8", 0x0411, "ja_JP.txt"),
        ("zh_CN.UTF-8", 0x0804, "zh_CN.txt"),
        ("zh_HK.UTF-8", 0x0C04, "zh_CN.txt"),
        ("pt_PT.UTF-8", 0x0816, "pt_BR.txt"),
        ("ru_RU.UTF-8", 0x0419, "en_US.txt"),
    ])
    def test_user_locale_chooses_the_table(self, display_prefix, tools, locale, lcid, table):
        prefix = display_prefix
        language, code_page, texts = read_table(table)
        result = prefix.run([tools.probe("message_probe")], locale=locale)
        assert result.exit_code == 0
        fields = parsed_fields(result.stdout)
        header = dict(item.split("=") for item in result.stdout.splitlines()[0].split())
        assert int(header["lcid"], 16) == lcid
        assert (int(header["language"], 16), int(header["codepage"])) == (language, code_page)
        for mid, text in texts.items():
            assert bytes.fromhex(fields[str(mid)]).decode(f"cp{code_page}") == text, f"message {mid}"


class TestInternalErrorBox:
    @pytest.mark.parametrize("locale, code_page, caption, text, shot", [
        ("de_AT.UTF-8", "cp1252", "Interner Fehler", "Fehlercode: 0001.00000002", "internal_error_de.png"),
        ("ja_JP.UTF-8", "cp932", "内部エラー", "エラー コード: 0001.00000002", "internal_error_ja.png"),
        ("en_US.UTF-8", "cp1252", "Internal Error", "Error Code: 0001.00000002", None),
    ])
    def test_missing_setup_ini_shows_the_localized_box(self, gui_prefix, setup_medium, tmp_path, locale,
                                                        code_page, caption, text, shot):
        prefix = gui_prefix
        proc = start_on_desktop(prefix, [setup_medium / "SETUP.EXE", "/qb"], {"KQSETUP": "LOG"}, locale)
        try:
            found, fields, reader = answer_raw(prefix, caption, "none", locale)
            if found != 0:
                result = prefix.finish(proc)
                pytest.fail(f"no internal error box appeared; exit={result.exit_code:#x} {result.stderr[-500:]!r}")
            assert fields["caption"].decode(code_page) == caption
            assert fields["text"].decode(code_page) == text
            if shot:
                screenshot(prefix.display, tmp_path / shot)
                if os.environ.get("KQ_UPDATE_DOCS"):
                    shutil.copyfile(tmp_path / shot, SOURCE_ROOT / "docs" / shot)
            found, _, presser = answer_raw(prefix, caption, "ok", locale)
            assert found == 0
        finally:
            result = prefix.finish(proc)
        for helper in (reader, presser):
            helper.wait(timeout=60)
        assert result.exit_code == 2  # ERROR_FILE_NOT_FOUND from the load
        log = [line.split(" - ", 1)[1] for line in prefix.setup_log_lines()]
        assert log[-2] == "Internal Error"  # the log line itself is not translated
        assert log[-1].encode("latin-1").decode(code_page) == text

    def test_utf8_setup_ini_with_a_character_outside_the_code_page_names_its_line(self, gui_prefix,
                                                                                    setup_medium):
        prefix = gui_prefix
        # ソ has no form in code page 1252 (en_US): rather than a changed
        # value, the load ends with ERROR_NO_UNICODE_TRANSLATION at location 1.
        text = MINIMAL_INI.replace("product.msi", "\u30bd.msi")
        (setup_medium / "SETUP.INI").write_bytes(b"\xEF\xBB\xBF" + text.encode("utf-8"))
        proc = start_on_desktop(prefix, [setup_medium / "SETUP.EXE"], {"KQSETUP": "LOG"}, "en_US.UTF-8")
        try:
            found, fields, reader = answer_raw(prefix, "Internal Error", "ok", "en_US.UTF-8")
            assert found == 0, "no internal error box appeared"
            assert fields["text"] == b"Error Code: 0001.00000459"
        finally:
            result = prefix.finish(proc)
        reader.wait(timeout=60)
        assert result.exit_code == 1113
        ini = prefix.win_path(setup_medium) + "\\SETUP.INI"
        log = [line.split(" - ", 1)[1] for line in prefix.setup_log_lines()]
        assert f"Line 2 of {ini} is not UTF-8 or holds a character that the ANSI code page cannot represent." in log
        assert log[-2:] == ["Internal Error", "Error Code: 0001.00000459"]

    @pytest.mark.parametrize("quiet", ["/qn", "/QN", "/qb-", "-qn", "/quiet", "-Passive"])
    def test_quiet_command_line_shows_no_box_and_logs_the_error(self, gui_prefix, setup_medium, quiet):
        # With a display a box would wait for an answer; the run ends by itself.
        result = gui_prefix.run([setup_medium / "SETUP.EXE", quiet], env={"KQSETUP": "LOG"})
        assert result.exit_code == 2
        log = [line.split(" - ", 1)[1] for line in gui_prefix.setup_log_lines()]
        assert any(line.startswith("Loading setup data file: ") for line in log)
        assert log[-2:] == ["Internal Error", "Error Code: 0001.00000002"]
