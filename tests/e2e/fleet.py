"""A fleet of machines under a deployment tool's loop (bench/fleet.py).

Each machine is a Wine prefix copied from one template that holds an earlier
version of the product (an upgrade's base) and an incompatible product. The
tool runs `SETUP.EXE /qn` from medium A and acts on the exit code only: 0
done, 1618 again, 3010 / 1641 / 460393 restart then again, anything else
again. Faults come at random from the machine's seed: a power cut at any
moment of a run, another product's setup (medium B, whose data file is also
SETUP.INI) before a restart or at the same time as a run, a temporary drive
too small for the copy (per machine, where a tmpfs can be mounted), the
logon's resume started together with the
tool's rerun, and an MSIEXEC that answers 3010 or 1641 after installing for
real (child.exe wrapping Wine's own msiexec); they come in the first four
runs, after which the machine is left alone. A machine converges when a run
ends 0 with every product of the media installed from sources that exist,
the earlier products gone, and no copy or resume shortcut left.
"""
import random
import shutil
import subprocess
import time
import uuid
from dataclasses import dataclass, field
from pathlib import Path

from conftest import Component, Feature, Prefix, Tools, build_package, collect, parse_runner

# Wine's own msiexec, a PE program that runs under any name.
WINE_MSIEXEC = Path("/usr/lib/i386-linux-gnu/wine/i386-windows/msiexec.exe")
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
RESTART_CODES = (3010, 1641, 460393)
MAX_RUNS = 8
RETRY_DELAY = 5
# Faults come in the first runs; then the machine has as many calm runs to
# end installed, as a machine does once its bad day is over.
FAULTY_RUNS = MAX_RUNS // 2
CUT_WITHIN = 6.0  # seconds into a run; a whole run takes about 3 to 8
LOG_ENV = {"KQSETUP": "LOG", "KQCHILD_RECORD": "C:\\welcome_runs.txt"}

# Chances of each fault, per run.
P_CUT = 0.4
P_CHILD_ANSWER = 0.3
P_OTHER_MEDIUM = 0.4
P_OTHER_TOGETHER = 0.15
P_SMALL_TEMP = 0.2  # per machine: a temporary drive too small for the copy
SMALL_TEMP_KB = 1024
P_RACE = 0.4


def guid() -> str:
    return "{" + str(uuid.uuid4()).upper() + "}"


@dataclass
class Media:
    """Media A and B and the earlier products, built once for the fleet."""
    root: Path
    a: str = field(default_factory=guid)
    nested: str = field(default_factory=guid)
    old: str = field(default_factory=guid)
    incompatible: str = field(default_factory=guid)
    b: str = field(default_factory=guid)
    welcome: str = field(default_factory=guid)

    def build(self, tools: Tools):
        work = self.root / "work"
        a, b, old = self.root / "A", self.root / "B", self.root / "old"
        for folder in (a, b, old):
            folder.mkdir(parents=True)
            shutil.copyfile(tools.setup, folder / "SETUP.EXE")
        welcome = Component("welcome.exe", tools.child.read_bytes(), self.welcome.strip("{}"))
        build_package(work, a / "Product.msi", self.a, name="KQ Fleet A", version="2.0.0",
                      features=[Feature("Main", [Component("readme.txt"), welcome])])
        build_package(work, a / "Nested.msi", self.nested, name="KQ Fleet Nested", install_folder="KQNested")
        build_package(work, b / "Product.msi", self.b, name="KQ Fleet B", install_folder="KQFleetB")
        build_package(work, old / "Old.msi", self.old, name="KQ Fleet Old", version="1.5.0", install_folder="KQOld")
        build_package(work, old / "Incompatible.msi", self.incompatible, name="KQ Fleet Incompatible",
                      install_folder="KQIncompatible")
        write_data_file(a / "SETUP.INI", "Product.msi",
                        f"NestedInstall={self.nested},Nested.ini\r\n",
                        f"[UpgradeConditions]\r\n{self.old},1.0-1.9,REMOVE\r\n{self.a},,LEAVE\r\n"
                        f"[PreviousVersionUninstall]\r\n{self.incompatible}\r\n"
                        f"[LaunchApplications]\r\n{self.welcome},/welcome\r\n")
        write_data_file(a / "Nested.ini", "Nested.msi")
        write_data_file(b / "SETUP.INI", "Product.msi")


def write_data_file(path: Path, package: str, information: str = "", more: str = ""):
    path.write_bytes((f"[ProductInformation]\r\nPackageName={package}\r\n{information}"
                      f"[ProductFeatures]\r\nMain\r\n{more}").encode("latin-1"))


def wine_boot(prefix: Prefix):
    """A boot: the server starts afresh and wineboot does what Windows does
    at start-up (the deletions scheduled for the restart among them). Not
    the logon: what the Startup folder holds is started by Machine.logon."""
    env = prefix.env()
    subprocess.run(["wineserver", "-w"], env=env, check=False, timeout=60)
    subprocess.run(["wine", "wineboot", "--init"], env=env, check=False, timeout=120, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_template(path: Path, tools: Tools, media: Media):
    """A prefix with the earlier products installed and child.exe standing in
    for msiexec.exe, wrapping Wine's own."""
    prefix = Prefix(path, tools)
    subprocess.run(["wineboot", "-i"], env=prefix.env(), check=True, capture_output=True, timeout=300)
    for package in ("Old.msi", "Incompatible.msi"):
        prefix.wine(["msiexec", "/i", media.root / "old" / package, "/qn"], timeout=300)
    system32 = prefix.drive_c / "windows" / "system32"
    shutil.copyfile(WINE_MSIEXEC, system32 / "msiexec_wine.exe")
    shutil.copyfile(tools.child, system32 / "msiexec.exe")
    configure_msiexec(prefix, 0)
    subprocess.run(["wineserver", "-k"], env=prefix.env(), check=False)
    subprocess.run(["wineserver", "-w"], env=prefix.env(), check=False, timeout=60)


def configure_msiexec(prefix: Prefix, answer: int):
    (prefix.drive_c / "windows" / "system32" / "msiexec.cfg").write_text(
        f"run=C:\\windows\\system32\\msiexec_wine.exe\nexit={answer}\nrecord=C:\\msiexec_calls.txt\n")


@dataclass
class Event:
    kind: str          # run, cut, restart, logon, other
    code: int | None   # exit code (None: cut off, or a logon that started nothing)
    start: float
    end: float


class Machine:
    def __init__(self, index: int, seed: int, template: Path, root: Path, tools: Tools, media: Media):
        self.index = index
        self.seed = seed
        self.rng = random.Random(seed)
        self.path = root / f"machine{index:02d}"
        subprocess.run(["cp", "-a", str(template), str(self.path)], check=True)
        self.prefix = Prefix(self.path, tools)
        self.prefix.dll_overrides.append("msiexec.exe=n")
        self.media = media
        self.events: list[Event] = []
        self.runs = 0
        self.converged = False
        self.b_installed = False
        self.problems: list[str] = []
        self.t0 = time.time()
        self.small_temp = self.rng.random() < P_SMALL_TEMP and self.mount_small_temp()
        self.faults = int(self.small_temp)

    def mount_small_temp(self) -> bool:
        """TEMP and TMP on drive T:, a tmpfs too small for a copy of the
        medium (root only; without it the machine keeps its own TEMP)."""
        self.mount = self.path.with_name(self.path.name + "_temp")
        self.mount.mkdir()
        if subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={SMALL_TEMP_KB}k", "tmpfs", str(self.mount)],
                          capture_output=True).returncode != 0:
            return False
        (self.path / "dosdevices" / "t:").symlink_to(self.mount)
        for name in ("TEMP", "TMP"):
            self.prefix.reg_add(r"HKCU\Environment", name, "T:\\", "REG_EXPAND_SZ")
        return True

    # --- what the machine does ---------------------------------------------
    def note(self, kind: str, code, start: float):
        self.events.append(Event(kind, code, start - self.t0, time.time() - self.t0))

    def start_setup(self, medium: Path):
        return self.prefix.start([self.prefix.win_path(medium / "SETUP.EXE"), "/qn"], env=LOG_ENV)

    def finish(self, proc, cut_at: float | None = None) -> int | None:
        """The run's exit code, or None when the power went first."""
        deadline = None if cut_at is None else time.time() + cut_at
        while proc.poll() is None:
            if deadline is not None and time.time() >= deadline:
                self.power_cut()
                collect(proc, 60)
                return None
            if time.time() - self.t0 > 1800:
                raise TimeoutError(f"machine {self.index} hangs")
            time.sleep(0.05)
        try:
            return parse_runner(collect(proc, 60)).exit_code
        except AssertionError:
            return None

    def power_cut(self):
        subprocess.run(["wineserver", "-k"], env=self.prefix.env(), check=False)

    def restart(self, crash: bool):
        start = time.time()
        if not crash:
            subprocess.run(["wine", "wineboot", "--end-session"], env=self.prefix.env(), check=False, timeout=120,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.power_cut()
        wine_boot(self.prefix)
        self.note("cut" if crash else "restart", None, start)

    def startup_folder(self) -> Path:
        programs = self.prefix.drive_c.glob("users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/*")
        found = [p for p in programs if p.name.lower() == "startup"]
        return found[0] if found else self.prefix.drive_c / "no-startup-folder"

    def logon(self) -> list:
        """Starts what the Startup folder holds, as read at this moment."""
        procs = []
        for n, shortcut in enumerate(sorted(self.startup_folder().glob("*.lnk"))):
            read = self.path / f"logon{n}.lnk"
            shutil.copyfile(shortcut, read)
            procs.append((time.time(), self.prefix.start(self.prefix.win_path(read), env=LOG_ENV, shortcut=True)))
        return procs

    def wait_logon(self, procs):
        """A logon run that started nothing (its copy was gone) or that the
        power cut off has no code."""
        for start, proc in procs:
            run = collect(proc, 600)
            code = parse_runner(run).exit_code if "exit=0x" in run.stdout else None
            self.note("logon", code, start)

    # --- the deployment tool -------------------------------------------------
    def chance(self, p: float) -> bool:
        """A fault of chance `p`, drawn only while faults come."""
        return self.rng.random() < p and self.runs < FAULTY_RUNS

    def deploy(self):
        self.t0 = time.time()
        restart_due = False
        while self.runs < MAX_RUNS:
            logon = []
            if restart_due:
                if self.chance(P_OTHER_MEDIUM):
                    self.faults += 1
                    start = time.time()
                    code = self.finish(self.start_setup(self.media.root / "B"))
                    self.b_installed |= code == 0
                    self.note("other", code, start)
                self.restart(crash=False)
                logon = self.logon()
                if not (logon and self.chance(P_RACE)):
                    self.wait_logon(logon)
                    logon = []
                else:
                    self.faults += 1
            answer = self.rng.choice([3010, 1641]) if self.chance(P_CHILD_ANSWER) else 0
            cut_at = self.rng.uniform(0.1, CUT_WITHIN) if self.chance(P_CUT) else None
            self.faults += (answer != 0) + (cut_at is not None)
            configure_msiexec(self.prefix, answer)
            other = None
            if self.chance(P_OTHER_TOGETHER):
                self.faults += 1
                other = (time.time(), self.start_setup(self.media.root / "B"))
            start = time.time()
            self.runs += 1
            code = self.finish(self.start_setup(self.media.root / "A"), cut_at)
            configure_msiexec(self.prefix, 0)
            self.note("run", code, start)
            if logon:
                self.wait_logon(logon)
            if other:
                b = self.finish(other[1])
                self.b_installed |= b == 0
                self.note("other", b, other[0])
            restart_due = code in RESTART_CODES
            if code == 1618:
                time.sleep(RETRY_DELAY)  # as a deployment tool waits before it tries again
            elif code is None:
                self.restart(crash=True)
                self.wait_logon(self.logon())
            elif code == 0:
                self.problems = self.verdict()
                if not self.problems:
                    self.converged = True
                    return

    def verdict(self) -> list[str]:
        problems = []
        wanted = {self.media.a: "A", self.media.nested: "nested"}
        if self.b_installed:
            wanted[self.media.b] = "B"
        for code, name in wanted.items():
            if self.prefix.reg_query(UNINSTALL + "\\" + code, "DisplayName") is None:
                problems.append(f"product {name} is not installed")
                continue
            source = self.prefix.reg_query(UNINSTALL + "\\" + code, "InstallSource")
            if source and not self.linux_path(source).exists():
                problems.append(f"the source of {name} is gone: {source}")
        gone = ((self.media.old, "the upgrade's base"), (self.media.incompatible, "the incompatible product"))
        for code, name in gone:
            if self.prefix.reg_query(UNINSTALL + "\\" + code, "DisplayName") is not None:
                problems.append(f"{name} is still installed")
        temps = [self.mount] if self.small_temp else list(self.prefix.drive_c.glob("users/*/Temp")) + \
            list(self.prefix.drive_c.glob("users/*/AppData/Local/Temp"))
        copies = [p.name for temp in temps for p in temp.glob("KIES*")]
        if copies:
            problems.append(f"copies left: {copies}")
        shortcuts = [p.name for p in self.startup_folder().glob("*.lnk")]
        if shortcuts:
            problems.append(f"resume shortcuts left: {shortcuts}")
        return problems

    def linux_path(self, windows: str) -> Path:
        windows = windows.rstrip("\\")
        if windows[:2].upper() == "Z:":
            return Path("/" + windows[3:].replace("\\", "/"))
        return self.prefix.drive_c.joinpath(*windows[3:].split("\\"))

    def codes(self) -> list:
        return [e.code for e in self.events if e.kind == "run"]

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.prefix.env(), check=False)
        subprocess.run(["wineserver", "-w"], env=self.prefix.env(), check=False, timeout=60)
        if self.small_temp:
            subprocess.run(["umount", str(self.mount)], check=False)
