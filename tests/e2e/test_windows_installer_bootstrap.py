"""The Windows Installer bootstrap under Wine: the redistributable from the
medium (with " /Q" in the silent UI levels), the download from a loopback
server when the medium has none (run from the temporary folder as
MSIxxxx.tmp, scheduled for deletion), the SHA-256 check, message 13 and 1603
for every way the download can fail, and the progress bar of a window.

bootstrap_probe.exe (tools/probes) stands in for SETUP.EXE; child.exe
stands in for the redistributable and records its command line.
"""
import hashlib
import re
import shutil
import time
import uuid
from pathlib import Path

import pytest

from conftest import temp_on_small_drive
from setup_helpers import in_order, log_bodies
from http_server import LoopbackServer, cut_body, fixed, held_open, response, serve_file, silent

SESSION_MANAGER = r"HKLM\System\CurrentControlSet\Control\Session Manager"
BOX_STYLE = "0x10010"  # MB_ICONERROR | MB_SETFOREGROUND


@pytest.fixture
def server():
    s = LoopbackServer()
    yield s
    s.close()


@pytest.fixture
def pending_renames(prefix):
    yield lambda: prefix.reg_query(SESSION_MANAGER, "PendingFileRenameOperations") or ""
    prefix.reg_delete(SESSION_MANAGER, "PendingFileRenameOperations")


def user_temp(prefix) -> Path:
    windows = prefix.wine(["cmd", "/c", "echo", "%TEMP%"]).stdout.strip()
    path = prefix.drive_c.joinpath(*windows[3:].split("\\"))
    path.mkdir(parents=True, exist_ok=True)
    return path


def lay_out(prefix, folder: Path, product_information: str = ""):
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(prefix.tools.probe("bootstrap_probe"), folder / "bootstrap_probe.exe")
    (folder / "SETUP.INI").write_bytes(("[ProductInformation]\r\nPackageName=Product.msi\r\n" + product_information +
                                        "[ProductFeatures]\r\nMain\r\n").encode("latin-1"))


def bootstrap(prefix, folder: Path, arguments: str = "", window=False, env=None, version=None):
    args = [folder / "bootstrap_probe.exe"] + (["--window"] if window else []) + ["--", *arguments.split()]
    result = prefix.run(args, env={"KQSETUP": "LOG", **(env or {})}, version=version)
    return result, result.stdout


def box(out: str) -> dict | None:
    m = re.search(r"^box caption=(.*) style=(0x[0-9A-F]+) text=(.*)$", out, re.M)
    return {"caption": m[1], "style": m[2], "text": m[3]} if m else None


class TestFromTheMedium:
    @pytest.mark.parametrize("arguments, silent", [
        ("", False), ("/qb", True), ("/qb-", True), ("/qn", True), ("/qn+", False), ("/qr", False), ("/qf", False),
    ])
    def test_redistributable_on_the_medium_with_q_only_when_silent(self, prefix, medium, server, arguments, silent):
        lay_out(prefix, medium, f"NTMsiInstaller={server.url('/never')}\r\n")
        record = medium / "record.txt"
        shutil.copyfile(prefix.tools.child, medium / "INSNTMSI.EXE")
        (medium / "INSNTMSI.cfg").write_text(f"record={prefix.win_path(record)}\nexit=0\n")
        result, out = bootstrap(prefix, medium, arguments)
        expected = f'"{prefix.win_path(medium)}\\INSNTMSI.EXE"' + (" /Q" if silent else "")
        assert record.read_text().splitlines() == [expected]
        assert "installed exit=0" in out and result.exit_code == 0
        assert server.requests == []
        body = log_bodies(prefix)
        assert "Installing Windows installer" in body and f"Command Line = {expected}" in body

    def test_the_9x_family_runs_ins9xmsi(self, prefix, medium):
        lay_out(prefix, medium)
        record = medium / "record.txt"
        shutil.copyfile(prefix.tools.child, medium / "INS9XMSI.EXE")
        (medium / "INS9XMSI.cfg").write_text(f"record={prefix.win_path(record)}\nexit=3010\n")
        _, out = bootstrap(prefix, medium, "/qn", version="win98")
        assert "platform=1" in out and "installed exit=3010" in out
        assert record.read_text().splitlines() == [f'"{prefix.win_path(medium)}\\INS9XMSI.EXE" /Q']


# The systems that download a Windows Installer have no SHA-256 in
# CryptoAPI; without Wine's AES provider the pin must work all the same.
WITHOUT_CRYPTO_PROVIDER = {"WINEDLLOVERRIDES": "rsaenh="}


class TestDownload:
    def test_download_runs_from_the_temporary_folder_and_is_scheduled_for_deletion(
            self, prefix, medium, server, pending_renames):
        payload = prefix.tools.child.read_bytes()
        server.route("/msi/instmsiw.exe", fixed(response("200 OK", [f"Content-Length: {len(payload)}"], payload)))
        digest = hashlib.sha256(payload).hexdigest().upper()
        lay_out(prefix, medium, f"NTMsiInstaller={server.url('/msi/instmsiw.exe')}\r\nNTMsiInstallerSHA256={digest}\r\n")
        record = prefix.drive_c / f"record_{uuid.uuid4().hex[:6]}.txt"
        _, out = bootstrap(prefix, medium, "/qb", env={"KQCHILD_RECORD": prefix.win_path(record), "KQCHILD_EXIT": "3010",
                                                  **WITHOUT_CRYPTO_PROVIDER})
        assert "installed exit=3010" in out, out
        [line] = record.read_text().splitlines()
        m = re.fullmatch(r'"(C:\\users\\[^\\]+\\Temp\\MSI[0-9A-Fa-f]{1,4}\.tmp)" /Q', line)
        assert m, line
        assert server.request_lines() == ["GET /msi/instmsiw.exe HTTP/1.0"] * 2
        assert "\\??\\" + m[1] in pending_renames()
        body = log_bodies(prefix)
        assert f"Downloading the Windows Installer from {server.url('/msi/instmsiw.exe')} to {m[1]}" in body
        assert "The downloaded Windows Installer has the expected SHA-256" in body

    def test_a_server_holding_on_after_the_whole_body_does_not_stop_the_start(self, prefix, medium, server):
        payload = prefix.tools.child.read_bytes()
        server.route("/held.exe", held_open(response("200 OK", [f"Content-Length: {len(payload)}"], payload), 30))
        lay_out(prefix, medium, f"NTMsiInstaller={server.url('/held.exe')}\r\n")
        record = prefix.drive_c / f"record_{uuid.uuid4().hex[:6]}.txt"
        began = time.monotonic()
        _, out = bootstrap(prefix, medium, "/qn", env={"KQCHILD_RECORD": prefix.win_path(record)})
        assert "installed exit=0" in out and record.exists(), out
        assert time.monotonic() - began < 20, "the run waited for the server to close"

    def test_a_wrong_hash_is_a_failed_download(self, prefix, medium, server):
        payload = prefix.tools.child.read_bytes()
        server.route("/w.exe", fixed(response("200 OK", [f"Content-Length: {len(payload)}"], payload)))
        lay_out(prefix, medium, f"NTMsiInstaller={server.url('/w.exe')}\r\nNTMsiInstallerSHA256={'ab' * 32}\r\n")
        temp = user_temp(prefix)
        before = set(temp.glob("MSI*.tmp"))
        record = prefix.drive_c / f"record_{uuid.uuid4().hex[:6]}.txt"
        result, out = bootstrap(prefix, medium, env={"KQCHILD_RECORD": prefix.win_path(record), **WITHOUT_CRYPTO_PROVIDER})
        assert result.exit_code == 1603 and "ended=0x00000643" in out
        assert box(out)["caption"] == "Warning"
        assert not record.exists(), "nothing unverified is started"
        assert set(temp.glob("MSI*.tmp")) == before, "the refused file is deleted"
        assert any(f"has SHA-256 {hashlib.sha256(payload).hexdigest()}, not {'ab' * 32}, so it is not started" in line
                   for line in log_bodies(prefix))

    @pytest.mark.parametrize("behaviour", ["404", "no-length", "cut", "silent", "redirect-loop", "big-header",
                                           "refused"])
    def test_every_failed_download_shows_message_13_and_ends_with_1603(self, prefix, medium, server, behaviour):
        routes = {
            "404": fixed(response("404 Not Found", ["Content-Length: 0"])),
            "no-length": fixed(response("200 OK", [], b"MZ")),
            "cut": cut_body(100_000, 10_000),
            "silent": silent(12),
            "redirect-loop": fixed(response("302 Found", ["Location: /f"])),
            "big-header": fixed(response("200 OK", ["X: " + "y" * 5000, "Content-Length: 2"], b"MZ")),
        }
        url = server.url("/f")
        if behaviour == "refused":
            url = "http://127.0.0.1:1/f"
        else:
            server.route("/f", routes[behaviour])
        lay_out(prefix, medium, f"NTMsiInstaller={url}\r\nMsiVersion=2.0\r\n" if behaviour == "404"
                else f"NTMsiInstaller={url}\r\n")
        result, out = bootstrap(prefix, medium, "/qb")
        assert result.exit_code == 1603, out
        shown = box(out)
        version = "2.0" if behaviour == "404" else "1.10"
        assert shown == {"caption": "Warning", "style": BOX_STYLE, "text":
                         f"Setup requires at least version {version} of the Windows Installer to run.\\nYou will "
                         "first need to download and install the Windows Installer from www.microsoft.com."}
        assert "installed exit" not in out

    @pytest.mark.parametrize("redirected", [True, False], ids=["redirect", "setup-data"])
    def test_an_https_address_is_named_in_the_log_and_never_requested(self, prefix, medium, server, redirected):
        secure = f"https://127.0.0.1:{server.port}/secure/instmsiw.exe"
        server.route("/f", fixed(response("301 Moved Permanently", [f"Location: {secure}"])))
        lay_out(prefix, medium, f"NTMsiInstaller={server.url('/f') if redirected else secure}\r\n")
        result, out = bootstrap(prefix, medium, "/qb")
        assert result.exit_code == 1603 and box(out)["caption"] == "Warning", out
        assert server.request_lines() == (["GET /f HTTP/1.0"] if redirected else [])
        named = "The server redirected to" if redirected else "The setup data names"
        in_order(log_bodies(prefix), "The download of the Windows Installer failed: 14 KQHTTP_UnsupportedScheme",
                 f"{named} {secure}, which this setup cannot download: put the redistributable on the medium, "
                 "or serve it over http:// with NTMsiInstallerSHA256 / 9xMsiInstallerSHA256")

    def test_a_disk_that_fills_during_the_download_names_the_system_error(self, prefix, medium, server, tmp_path):
        server.route("/big.exe", serve_file(12 * 1024 * 1024))
        lay_out(prefix, medium, f"NTMsiInstaller={server.url('/big.exe')}\r\n")
        with temp_on_small_drive(prefix, 4, tmp_path / "small") as drive:
            result, out = bootstrap(prefix, medium, "/qb")
            assert list(drive.glob("MSI*.tmp")) == [], "the partial file is deleted"
        assert result.exit_code == 1603 and box(out)["caption"] == "Warning", out
        body = log_bodies(prefix)
        assert any(re.fullmatch(r"Writing [A-Z]:\\MSI[0-9A-Fa-f]{1,4}\.tmp failed with error 112: .+", line)
                   for line in body), body


class TestProgressBar:
    def test_bar_shown_with_a_known_size_and_hidden_without_one(self, gui_prefix, tools):
        folder = gui_prefix.drive_c / f"medium_{uuid.uuid4().hex[:8]}"
        server = LoopbackServer()
        try:
            payload = tools.child.read_bytes()
            # About 1.5 s of transfer, so that several 200 ms reports happen.
            padded = payload + b"\0" * (40 * 8192 - len(payload) % 8192)
            server.route("/big", serve_file(padded, delay_per_piece=0.04, piece=8192))
            server.route("/empty", fixed(response("200 OK", ["Content-Length: 0"])))
            record = gui_prefix.drive_c / f"record_{uuid.uuid4().hex[:6]}.txt"
            lay_out(gui_prefix, folder, f"NTMsiInstaller={server.url('/big')}\r\n")
            _, out = bootstrap(gui_prefix, folder, "/qb", window=True,
                               env={"KQCHILD_RECORD": gui_prefix.win_path(record)})
            assert "window=1" in out and "installed exit=0" in out, out
            events = re.findall(r"^bar (show=\d|pos=\d+)$", out, re.M)
            assert events[0] == "show=1" and events.count("show=1") == 1 and "show=0" not in events
            positions = [int(e[4:]) for e in events if e.startswith("pos=")]
            assert len(positions) >= 3 and positions == sorted(positions) and positions[-1] == 100
            assert "bar final visible=1 pos=100" in out

            # A size of 0 keeps the bar hidden; the empty file then cannot start.
            lay_out(gui_prefix, folder, f"NTMsiInstaller={server.url('/empty')}\r\n")
            result, out = bootstrap(gui_prefix, folder, "/qn", window=True)
            assert re.findall(r"^bar (show=\d|pos=\d+)$", out, re.M) == []
            assert "bar final visible=0 pos=0" in out
            assert result.exit_code == 0x8004006A, out
        finally:
            server.close()
            shutil.rmtree(folder, ignore_errors=True)
