"""The setup log, the wide/ANSI layer and the test harness itself under Wine."""
import re

import pytest

LINE = re.compile(r"^(\d\d)/(\d\d)/(\d\d) (\d\d):(\d\d):(\d\d) \[(\d+)\] - (.*)$")


def probe(prefix, name, *args, env=None, **kw):
    return prefix.run([prefix.tools.probe(name), *args], env=env, **kw)


def runs(lines):
    """The log's lines as (process id, text), each run's first line checked:
    it names the process whose lines follow."""
    parsed = []
    started = set()
    for line in lines:
        m = LINE.match(line)
        assert m, f"malformed line: {line[:80]!r}"
        pid, text = int(m.group(7)), m.group(8)
        if pid not in started:
            assert text == f"Setup process {pid} started", f"the first line of process {pid}: {text!r}"
            started.add(pid)
            continue
        parsed.append((pid, text))
    return parsed


class TestExitCodes:
    @pytest.mark.parametrize("code", [0, 1603, 3010, 460393, 0x8004FFFF, 0xFFFFFFFF])
    def test_runner_reads_the_full_32_bit_exit_code(self, prefix, tools, code):
        result = prefix.run([tools.child], env={"KQCHILD_EXIT": hex(code)})
        assert result.exit_code == code


class TestSetupLog:
    def test_lines_from_three_threads_land_whole_and_in_format(self, prefix):
        probe(prefix, "log_probe", "lines", 3, 200, 300, env={"KQSETUP": "LOG"})
        lines = prefix.setup_log_lines()
        assert len(lines) == 601 and len(runs(lines)) == 600
        seen = set()
        for line in lines[1:]:
            m = LINE.match(line)
            month, day = int(m.group(1)), int(m.group(2))
            assert 1 <= month <= 12 and 1 <= day <= 31
            assert int(m.group(4)) < 24 and int(m.group(5)) < 60 and int(m.group(6)) < 61
            body = re.fullmatch(r"T(\d) L(\d+) (#+)\|", m.group(8))
            assert body and len(body.group(3)) == 300, f"torn line: {line[:80]!r}"
            seen.add((body.group(1), body.group(2)))
        assert len(seen) == 600
        # Each thread's own lines stay in the order it wrote them.
        for thread in "012":
            order = [int(l.split()[5][1:]) for l in lines[1:] if l.split()[4] == f"T{thread}"]
            assert order == sorted(order)

    @pytest.mark.parametrize("value", [None, "", "LOGS", "DEBUG", "x\"LOG\""])
    def test_no_file_unless_a_token_is_log(self, prefix, value):
        probe(prefix, "log_probe", "text", "hello", env={"KQSETUP": value})
        assert not prefix.setup_log_path.exists()

    @pytest.mark.parametrize("value", ["LOG", "log", "DEBUG,Log", "x, log ,y", '"LOG"'])
    def test_log_token_in_any_case_and_place_switches_it_on(self, prefix, value):
        probe(prefix, "log_probe", "text", "hello world", env={"KQSETUP": value})
        assert [text for _, text in runs(prefix.setup_log_lines())] == ["hello world"]

    def test_runs_accumulate_each_named_by_its_process(self, prefix):
        probe(prefix, "log_probe", "text", "first run", env={"KQSETUP": "LOG"})
        probe(prefix, "log_probe", "empty", env={"KQSETUP": "LOG"})
        probe(prefix, "log_probe", "null", env={"KQSETUP": "LOG"})
        probe(prefix, "log_probe", "text", "second run", env={"KQSETUP": "LOG"})
        raw = prefix.setup_log()
        lines = prefix.setup_log_lines()
        parsed = runs(lines)
        # A null text writes nothing, not even the line that names its process.
        assert [text for _, text in parsed] == ["first run", "", "second run"]
        assert len({pid for pid, _ in parsed}) == 3 and len(lines) == 6
        assert raw.count("\r\n") == 6 and "\n" not in raw.replace("\r\n", "")
        assert re.search(r"\d\d:\d\d:\d\d \[\d+\] - \r\n", raw)

    def test_an_unwritable_log_moves_to_the_temp_folder_with_its_reason(self, prefix, user_temp):
        fallback = user_temp / "SETUP.LOG"
        fallback.unlink(missing_ok=True)
        prefix.setup_log_path.mkdir()  # a folder where the file should be
        try:
            result = probe(prefix, "log_probe", "lines", 3, 50, 100, env={"KQSETUP": "LOG"})
            assert result.exit_code == 0
            text = fallback.read_bytes().decode("latin-1")
        finally:
            prefix.setup_log_path.rmdir()
            fallback.unlink(missing_ok=True)
        lines = text.split("\r\n")
        assert lines.pop() == ""
        reason = re.fullmatch(r"C:\\SETUP\.LOG cannot be written \(error (\d+)\); logging here",
                              LINE.match(lines[0]).group(8))
        assert reason and int(reason.group(1)) != 0
        bodies = [text for _, text in runs(lines[1:])]
        assert len(bodies) == 150 and all(re.fullmatch(r"T\d L\d+ #{100}\|", b) for b in bodies)


class TestWideAnsiUnderLocales:
    @pytest.mark.parametrize("locale,ansi,oem", [
        ("en_US.UTF-8", 1252, 437),
        ("de_AT.UTF-8", 1252, 850),
        ("ru_RU.UTF-8", 1251, 866),
        ("ja_JP.UTF-8", 932, 932),
        ("zh_CN.UTF-8", 936, 936),
    ])
    def test_code_pages_follow_the_user_locale(self, prefix, locale, ansi, oem):
        out = probe(prefix, "platform_probe", locale=locale).stdout
        assert f"ansi={ansi}" in out and f"oem={oem}" in out

    @pytest.mark.parametrize("version,nt", [("win98", 0), ("nt40", 1), ("win2k", 1), ("winxp", 1), ("win10", 1)])
    def test_family_follows_the_reported_version(self, prefix, version, nt):
        out = probe(prefix, "platform_probe", version=version).stdout
        assert f"nt={nt}" in out
        assert re.search(r"path=.*platform_probe\.exe", out, re.I)

    def test_long_command_lines_arrive_whole(self, prefix):
        word = "x" * 3000
        out = probe(prefix, "platform_probe", word).stdout
        assert word in out


class TestHarness:
    def test_boxes_appear_on_the_gui_prefix_and_are_answered(self, gui_prefix):
        proc = gui_prefix.start([gui_prefix.tools.probe("box_probe"), "KQ Harness Box", "Proceed?"])
        seen = gui_prefix.answer("KQ Harness Box", "no")
        assert seen["found"] and seen["text"] == "Proceed?"
        assert gui_prefix.finish(proc).exit_code == 7  # IDNO

    def test_boxes_fail_at_once_without_a_display(self, prefix):
        # The box cannot be shown, so no button is ever pressed and the
        # program ends by itself.
        result = prefix.run([prefix.tools.probe("box_probe"), "KQ Headless Box", "x"], timeout=60)
        assert result.exit_code not in (6, 7)

    def test_a_wixl_package_installs_with_wines_msiexec(self, prefix, medium, build_msi):
        code = "{6C1E2D3A-1111-4A2B-9C3D-00000000A001}"
        msi = build_msi(medium / "demo.msi", code, name="KQ Harness Demo", version="2.3.4")
        result = prefix.run(["msiexec", "/i", msi, "/qn"])
        assert result.exit_code == 0
        key = rf"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\{code}"
        assert prefix.reg_query(key, "DisplayName") == "KQ Harness Demo"
        assert prefix.reg_query(key, "DisplayVersion") == "2.3.4"
        assert prefix.run(["msiexec", "/x", code, "/qn"]).exit_code == 0
        assert prefix.reg_query(key, "DisplayName") is None

    def test_the_stand_in_msiexec_records_and_answers(self, prefix, stand_in_msiexec):
        stand_in_msiexec.configure(exit_code=3010)
        result = prefix.run('msiexec.exe /i "C:\\some where\\p.msi" /qn REBOOT=S')
        assert result.exit_code == 3010
        assert stand_in_msiexec.calls() == ['msiexec.exe /i "C:\\some where\\p.msi" /qn REBOOT=S']
