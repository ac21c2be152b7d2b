"""What the scenario tests of SETUP.EXE share besides fixtures: the names
and exit codes SETUP.EXE gives deployment tools, and helpers that run it and
read its log. (Fixtures live in conftest.py.)"""
import re
import shutil
import time
import uuid
from pathlib import Path

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
SHORTCUT = "KORVANE Install Exec Setup.lnk"

# The exit codes a deployment tool acts on.
EXIT_SUCCESS = 0
EXIT_USER_EXIT = 1602              # cancelled, or the product is not there afterwards
EXIT_FAILURE = 1603
EXIT_ALREADY_RUNNING = 1618        # try again later
EXIT_REBOOT_INITIATED = 1641       # a restart is under way
EXIT_REBOOT_REQUIRED = 3010        # restart, then run again
EXIT_INTERMEDIATE_REBOOT = 460393  # a restart is under way; the setup goes on after it

# "MM/DD/YY HH:MM:SS [process id] - text"; a process's first line names it.
LOG_BODY = re.compile(r"^\d\d/\d\d/\d\d \d\d:\d\d:\d\d \[\d+\] - (.*)$")
PROCESS_START = re.compile(r"Setup process \d+ started")


def new_guid() -> str:
    return "{" + str(uuid.uuid4()).upper() + "}"


def log_bodies(prefix):
    """The texts of the log's lines, without the lines that only say a process started."""
    bodies = [LOG_BODY.match(line).group(1) for line in prefix.setup_log_lines()]
    return [body for body in bodies if not PROCESS_START.fullmatch(body)]


def write_ini(folder: Path, product_information="", more="", name="SETUP.INI", package="Product.msi"):
    text = (f"[ProductInformation]\r\nPackageName={package}\r\n" + product_information +
            "[ProductFeatures]\r\nMain\r\n" + more)
    (folder / name).parent.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(text.encode("latin-1"))


def temp_copies(prefix) -> list[Path]:
    return [p for p in prefix.drive_c.glob("users/*/AppData/Local/Temp/KIES*") if p.is_dir()] + \
        [p for p in prefix.drive_c.glob("users/*/Temp/KIES*") if p.is_dir()]


def remove_copies(prefix):
    """Deletes the temporary copies a test left."""
    for leftover in temp_copies(prefix):
        shutil.rmtree(leftover, ignore_errors=True)


def run_setup(prefix, medium, arguments="", env=None, timeout=120):
    args = f'"{prefix.win_path(medium / "SETUP.EXE")}" {arguments}'.rstrip()
    return prefix.run(args, env={"KQSETUP": "LOG", **(env or {})}, timeout=timeout)


def wait_for_log(prefix, text, timeout=60):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if any(text in body for body in log_bodies(prefix)):
            return
        time.sleep(0.2)
    raise AssertionError(f"{text!r} never logged: {log_bodies(prefix)}")


def in_order(body: list[str], *lines: str):
    """Asserts that `lines` appear in `body` in this order (others may lie between)."""
    at = 0
    for line in lines:
        while at < len(body) and body[at] != line:
            at += 1
        assert at < len(body), f"{line!r} missing or out of order in {body}"
        at += 1


def install_for_real(prefix, stand_in, package: Path):
    """Installs `package` with Wine's own msiexec, as a main installation
    that went well would have."""
    with stand_in.real():
        prefix.wine(["msiexec", "/i", prefix.win_path(package), "/qn"])
