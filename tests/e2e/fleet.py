"""A fleet of machines under a deployment tool's loop (bench/fleet.py).

Each machine is a Wine prefix copied from one template that holds an earlier
version of the product (an upgrade's base) and an incompatible product. The
tool runs `SETUP.EXE /qn` from the machine's copy of medium A and acts on
the exit code only: 0 done, 1618 again, 3010 / 1641 / 460393 restart then
again, anything else again. Faults come at random from the machine's seed,
in its first four runs (then it is left alone):
- a power cut after a step of the run, drawn from the setup log as the run
  writes it (PHASES), with the resume shortcut written in that run emptied;
- another product's setup (medium B, whose data file is also SETUP.INI):
  before a restart, at the same time as a run, left pending for the same
  logon, or run from A's folder (B put there, A put back after);
- the medium copied to a new cache folder, which the tool then runs from;
- the logon's resume started together with the tool's rerun;
- an MSIEXEC that answers 3010 or 1641 after installing for real (child.exe
  wrapping Wine's own msiexec).
A machine's layout is drawn from its seed too: its temporary folder on a
drive too small for the copy, or its temporary and Startup folders on a
layer that forgets at a cut what was not flushed (forgetful_fs.py); one
machine of the fleet can be a 64-bit prefix whose temporary folder is
C:\\Windows\\Temp. A fault counts only when it took effect: a cut when it
ended a running setup, a rerun from a new folder when a copy or shortcut
was waiting, and so on. A machine converges when a run ends 0 with every
product of the media installed from sources that exist, the earlier
products gone, no copy or resume shortcut left, and the post-install
program started exactly where it is to start (post_install_expected).
"""
import os
import random
import shutil
import signal
import subprocess
import time
import uuid
from dataclasses import dataclass, field
from pathlib import Path

from conftest import Component, Feature, Prefix, Tools, build_package, collect, parse_runner
from forgetful_fs import Layer

# Wine's own msiexec, a PE program that runs under any name.
WINE_MSIEXEC = Path("/usr/lib/i386-linux-gnu/wine/i386-windows/msiexec.exe")
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
RESTART_CODES = (3010, 1641, 460393)
MAX_RUNS = 8
RETRY_DELAY = 5
# Faults come in the first runs; then the machine has as many calm runs to
# end installed, as a machine does once its bad day is over.
FAULTY_RUNS = MAX_RUNS // 2

# Chances of each fault, per run.
P_CUT = 0.4
P_EMPTY_SHORTCUT = 0.5
P_CHILD_ANSWER = 0.3
P_OTHER_MEDIUM = 0.4
P_OTHER_TOGETHER = 0.15
P_NEW_CACHE = 0.25
P_RACE = 0.4
# Per machine: its layout.
P_SMALL_TEMP = 0.15  # a temporary drive too small for the copy
SMALL_TEMP_KB = 1024
P_FORGETTING = 0.25  # temporary and Startup folders on the forgetting layer

# The steps of a run, in their order, each known by the line that starts it
# in the setup log; a cut is drawn after one of them.
PHASES = ("copy", "removal of the earlier version", "engine check", "main installation", "nested setup",
          "post-install program", "deletion of the copy")
STEP_LINES = (
    ('Copying "', "copy"),
    ("Uninstalling incompatible applications", "removal of the earlier version"),
    ("Removing application", "removal of the earlier version"),
    ("Checking if the Windows Installer is the correct version", "engine check"),
    ("Running installer", "main installation"),
    ("Launching the nested installer", "nested setup"),
    ("Launching any post-install applications", "post-install program"),
    # After this line the run deletes its copy (or keeps it for a resume).
    ("Worker thread exiting with status code", "deletion of the copy"),
)
BEFORE_ANY_STEP = "start"
NESTED_DATA_FILES = ("\\Nested.ini", "\\NestedB.ini")
MANUAL_PAGES = 300
# The post-install programs: one program started once a page, so that the
# step lasts long enough to be cut.
WELCOME_PAGES = ("welcome", "tour", "news", "register")
# How long after its line a step may be cut, in seconds: about as long as
# the step lasts here, so that a cut lands anywhere in it.
CUT_DELAYS = {"copy": 0.3, "removal of the earlier version": 0.4, "main installation": 0.4, "nested setup": 0.4,
              "post-install program": 0.03, "deletion of the copy": 0.1}


def guid() -> str:
    return "{" + str(uuid.uuid4()).upper() + "}"


class PhaseTracker:
    """Where a machine's setups are, read from the lines of its setup log
    ("MM/DD/YY HH:MM:SS [process id] - text"). A nested setup's own steps
    (its installer, its end) are all "nested setup": its process is known
    by the nested data file it loads."""

    def __init__(self):
        self.phase = BEFORE_ANY_STEP
        self.nested: set[str] = set()  # process ids of nested setups

    def feed(self, line: str) -> str | None:
        """The step that `line` starts, if it starts one."""
        stamp, _, text = line.partition(" - ")
        process = stamp[stamp.find("[") + 1:stamp.find("]")]
        if text.startswith("Loading setup data file: ") and text.endswith(NESTED_DATA_FILES):
            self.nested.add(process)
        if process in self.nested:
            return None
        for start, phase in STEP_LINES:
            if text.startswith(start):
                self.phase = phase
                return phase
        return None


@dataclass
class CutPlan:
    """A cut drawn for a run: after the first step at or past `phase`, and
    `delay` seconds after its line."""
    phase: str
    delay: float

    @staticmethod
    def draw(rng: random.Random, phase: str | None = None) -> "CutPlan":
        phase = phase or rng.choice(PHASES)
        return CutPlan(phase, rng.uniform(0.0, CUT_DELAYS.get(phase, 0.0)))

    def due(self, step: str) -> bool:
        return PHASES.index(step) >= PHASES.index(self.phase)


@dataclass
class Cut:
    run: int           # the tool's run during which the power went
    drawn: str         # the step it was drawn after
    phase: str         # the step the machine was in
    last_line: str     # the setup log's last line before it
    landed: bool       # it ended a running setup
    torn: dict = field(default_factory=dict)  # files the cut tore (path: how)


@dataclass
class Event:
    kind: str          # run, cut, restart, logon, other
    code: int | None   # exit code (None: cut off, or a logon that started nothing)
    start: float
    end: float
    welcome: str = ""  # the record its post-install program writes to (runs of A)
    a_installed: bool = False  # product A and its nested product were installed when it started
    started: bool = False      # its post-install program was started (read at the verdict)


def post_install_expected(event: Event, overlapped: bool) -> bool | None:
    """Whether a run of medium A starts its post-install program, as
    docs/setup-ini.md says: once, also at /qn, at the end of the run that
    installed the product or ran its nested setup, when it ends 0 (or 3010
    because its restart waits, which a tool that never suppresses restarts
    does not see: its 3010 is a restart in the middle of the setup); never
    when the run ends for a restart, fails, or finds the product and its
    nested product installed (a rerun, a resume after both were done).
    None where either is right: a run the power cut, or one that ran
    beside another run of A."""
    if event.code is None or overlapped:
        return None
    return event.code == 0 and not event.a_installed


def overlaps(a: Event, b: Event) -> bool:
    return a is not b and a.start < b.end and b.start < a.end


def post_install_problems(events: list[Event]) -> list[str]:
    runs = [e for e in events if e.kind in ("run", "logon") and e.welcome]
    problems = []
    for e in runs:
        expected = post_install_expected(e, any(overlaps(e, o) for o in runs))
        if expected is not None and expected != e.started:
            problems.append(f"the post-install program {'did not start' if expected else 'started'} in the {e.kind}"
                            f" at {e.start:.0f} s that ended {e.code}")
    return problems


@dataclass
class Media:
    """Media A and B and the earlier products, built once for the fleet."""
    root: Path
    a: str = field(default_factory=guid)
    nested: str = field(default_factory=guid)
    old: str = field(default_factory=guid)
    incompatible: str = field(default_factory=guid)
    b: str = field(default_factory=guid)
    b_nested: str = field(default_factory=guid)
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
        build_package(work, b / "NestedB.msi", self.b_nested, name="KQ Fleet B Nested", install_folder="KQFleetBN")
        build_package(work, old / "Old.msi", self.old, name="KQ Fleet Old", version="1.5.0", install_folder="KQOld")
        build_package(work, old / "Incompatible.msi", self.incompatible, name="KQ Fleet Incompatible",
                      install_folder="KQIncompatible")
        write_data_file(a / "SETUP.INI", "Product.msi",
                        f"NestedInstall={self.nested},Nested.ini\r\n",
                        f"[UpgradeConditions]\r\n{self.old},1.0-1.9,REMOVE\r\n{self.a},,LEAVE\r\n"
                        f"[PreviousVersionUninstall]\r\n{self.incompatible}\r\n"
                        "[LaunchApplications]\r\n" + "".join(f"{self.welcome},/{page}\r\n" for page in WELCOME_PAGES))
        write_data_file(a / "Nested.ini", "Nested.msi")
        # Manuals: enough small files that the copy lasts long enough to be cut.
        (a / "manual").mkdir()
        for n in range(MANUAL_PAGES):
            (a / "manual" / f"page{n:03d}.htm").write_bytes(b"<p>%d</p>\r\n" % n * 200)
        # B has a nested setup too, so that a restart after its main
        # installation leaves a resume of its own pending.
        write_data_file(b / "SETUP.INI", "Product.msi", f"NestedInstall={self.b_nested},NestedB.ini\r\n")
        write_data_file(b / "NestedB.ini", "NestedB.msi")


def write_data_file(path: Path, package: str, information: str = "", more: str = ""):
    path.write_bytes((f"[ProductInformation]\r\nPackageName={package}\r\n{information}"
                      f"[ProductFeatures]\r\nMain\r\n{more}").encode("latin-1"))


class MachinePrefix(Prefix):
    """A prefix of either architecture: a 64-bit one runs SETUP.EXE under
    WOW64, where C:\\windows\\system32 is syswow64 to it."""

    def __init__(self, path: Path, tools: Tools, arch: str = "win32"):
        super().__init__(path, tools)
        self.arch = arch

    def env(self, extra=None, locale=None) -> dict:
        env = super().env(extra, locale)
        env["WINEARCH"] = self.arch
        return env

    @property
    def system32(self) -> Path:
        """The system folder 32-bit programs see."""
        return self.drive_c / "windows" / ("syswow64" if self.arch == "win64" else "system32")

    def product_value(self, code: str, name: str) -> str | None:
        """A value of a product's Uninstall key, in either registry view."""
        views = [[], ["/reg:32"]] if self.arch == "win64" else [[]]
        for view in views:
            result = self.wine(["reg", "query", UNINSTALL + "\\" + code, "/v", name] + view, check=False)
            for line in result.stdout.splitlines():
                parts = line.split(None, 2)
                if len(parts) == 3 and parts[0] == name:
                    return parts[2].strip()
        return None


def wine_boot(prefix: Prefix):
    """A boot: the server starts afresh and wineboot does what Windows does
    at start-up (the deletions scheduled for the restart among them). Not
    the logon: what the Startup folder holds is started by Machine.logon."""
    env = prefix.env()
    subprocess.run(["wineserver", "-w"], env=env, check=False, timeout=60)
    subprocess.run(["wine", "wineboot", "--init"], env=env, check=False, timeout=120, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_template(path: Path, tools: Tools, media: Media, arch: str = "win32"):
    """A prefix with the earlier products installed and child.exe standing in
    for msiexec.exe, wrapping Wine's own."""
    prefix = MachinePrefix(path, tools, arch)
    subprocess.run(["wineboot", "-i"], env=prefix.env(), check=True, capture_output=True, timeout=300)
    for package in ("Old.msi", "Incompatible.msi"):
        prefix.wine(["msiexec", "/i", media.root / "old" / package, "/qn"], timeout=300)
    shutil.copyfile(WINE_MSIEXEC, prefix.system32 / "msiexec_wine.exe")
    shutil.copyfile(tools.child, prefix.system32 / "msiexec.exe")
    configure_msiexec(prefix, 0)
    (prefix.drive_c / "welcome").mkdir()
    subprocess.run(["wineserver", "-k"], env=prefix.env(), check=False)
    subprocess.run(["wineserver", "-w"], env=prefix.env(), check=False, timeout=60)


def configure_msiexec(prefix: MachinePrefix, answer: int):
    (prefix.system32 / "msiexec.cfg").write_text(
        f"run=C:\\windows\\system32\\msiexec_wine.exe\nexit={answer}\nrecord=C:\\msiexec_calls.txt\n")


class LogFollower:
    """The lines a setup log gains from now on."""

    def __init__(self, path: Path):
        self.path = path
        self.offset = path.stat().st_size if path.exists() else 0
        self.lines: list[str] = []

    def poll(self) -> list[str]:
        if not self.path.exists():
            return []
        with open(self.path, "rb") as f:
            f.seek(self.offset)
            data = f.read()
        end = data.rfind(b"\r\n")
        if end < 0:
            return []
        self.offset += end + 2
        new = data[:end].decode("latin-1").split("\r\n")
        self.lines += new
        return new


class Machine:
    def __init__(self, index: int, seed: int, templates: dict, root: Path, tools: Tools, media: Media,
                 win64: bool = False, cut_each: bool = False):
        self.index = index
        self.seed = seed
        self.rng = random.Random(seed)
        self.path = root / f"machine{index:02d}"
        arch = "win64" if win64 else "win32"
        subprocess.run(["cp", "-a", str(templates[arch]), str(self.path)], check=True)
        self.prefix = MachinePrefix(self.path, tools, arch)
        self.prefix.dll_overrides.append("msiexec.exe=n")
        self.media = media
        self.cut_each = cut_each
        self.events: list[Event] = []
        self.cuts: list[Cut] = []
        self.faults: list[str] = []  # the kind of each fault that took effect
        self.runs = 0
        self.records = 0
        self.converged = False
        self.b_wanted = False
        self.b_pending = False  # B left a resume for the next logon
        self.b_again = False  # B's tool is to run it again
        self.problems: list[str] = []
        self.notes: list[str] = []  # what the machine could not have, and why
        self.t0 = time.time()
        # The tool's cache folder of medium A; a new one now and then.
        self.caches = 1
        self.medium = self.path.with_name(self.path.name + "_cache") / "A1"
        shutil.copytree(media.root / "A", self.medium)
        self.layer = None
        self.temp_mount = None
        self.layout = "64-bit, TEMP=C:\\Windows\\Temp" if win64 else "plain"
        draw = self.rng.random()
        if win64:
            for name in ("TEMP", "TMP"):
                self.prefix.reg_add(r"HKCU\Environment", name, "C:\\windows\\temp", "REG_EXPAND_SZ")
        elif draw < P_SMALL_TEMP:
            self.mount_small_temp()
        elif draw < P_SMALL_TEMP + P_FORGETTING:
            self.mount_forgetting_layer()

    # --- layouts -------------------------------------------------------------
    def side(self, suffix: str) -> Path:
        return self.path.with_name(self.path.name + suffix)

    def mount_small_temp(self):
        """TEMP and TMP on drive T:, a tmpfs too small for a copy of the
        medium (root only; without it the machine keeps its own TEMP)."""
        mount = self.side("_temp")
        mount.mkdir()
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={SMALL_TEMP_KB}k", "tmpfs", str(mount)],
                                 capture_output=True, text=True)
        if mounted.returncode != 0:
            self.notes.append(f"no small temporary drive: {mounted.stderr.strip()}")
            return
        self.temp_mount = mount
        (self.path / "dosdevices" / "t:").symlink_to(mount)
        for name in ("TEMP", "TMP"):
            self.prefix.reg_add(r"HKCU\Environment", name, "T:\\", "REG_EXPAND_SZ")
        self.layout = "small temporary drive"

    def mount_forgetting_layer(self):
        """TEMP, TMP and the Startup folder on drive F:, the forgetting layer
        (root only; without it the machine keeps its own folders)."""
        layer = Layer(self.side("_layer_backing"), self.side("_layer"), self.seed)
        if layer.skipped:
            self.notes.append(f"no forgetting layer: {layer.skipped}")
            print(f"machine {self.index}: {layer.skipped}; it runs on a plain disk", flush=True)
            return
        self.layer = layer
        for folder in ("Temp", "Startup"):
            (layer.mount / folder).mkdir()
        layer.flush()
        (self.path / "dosdevices" / "f:").symlink_to(layer.mount)
        for name in ("TEMP", "TMP"):
            self.prefix.reg_add(r"HKCU\Environment", name, "F:\\Temp", "REG_EXPAND_SZ")
        folders = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer"
        self.prefix.reg_add(folders + r"\User Shell Folders", "Startup", "F:\\Startup", "REG_EXPAND_SZ")
        self.prefix.reg_add(folders + r"\Shell Folders", "Startup", "F:\\Startup")
        self.layout = "forgetting layer"

    def temp_folders(self) -> list[Path]:
        if self.layer:
            return [self.layer.mount / "Temp"]
        if self.temp_mount:
            return [self.temp_mount]
        if self.prefix.arch == "win64":
            return [self.prefix.drive_c / "windows" / "temp"]
        return list(self.prefix.drive_c.glob("users/*/Temp")) + \
            list(self.prefix.drive_c.glob("users/*/AppData/Local/Temp"))

    def startup_folder(self) -> Path:
        if self.layer:
            return self.layer.mount / "Startup"
        programs = self.prefix.drive_c.glob("users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/*")
        found = [p for p in programs if p.name.lower() == "startup"]
        return found[0] if found else self.prefix.drive_c / "no-startup-folder"

    def copies(self) -> list[str]:
        return [p.name for temp in self.temp_folders() for p in temp.glob("KIES*")]

    def shortcuts(self) -> list[Path]:
        return sorted(self.startup_folder().glob("*.lnk"))

    def pending(self) -> bool:
        """A copy or a resume shortcut is waiting."""
        return bool(self.copies() or self.shortcuts())

    def a_installed(self) -> bool:
        files = self.prefix.drive_c.glob("Program Files*/KQDemo/welcome.exe")
        return any(files) and any(self.prefix.drive_c.glob("Program Files*/KQNested/*"))

    # --- what the machine does ---------------------------------------------
    def note(self, kind: str, code, start: float, **more) -> Event:
        event = Event(kind, code, start - self.t0, time.time() - self.t0, **more)
        self.events.append(event)
        return event

    def welcome_env(self) -> tuple[dict, str]:
        """The environment of a run of A: its post-install program records
        its start in a file of the run's own."""
        self.records += 1
        record = f"C:\\welcome\\{self.records:03d}.txt"
        return {"KQSETUP": "LOG", "KQCHILD_RECORD": record}, record

    def start_setup(self, medium: Path, env: dict | None = None):
        return self.prefix.start([self.prefix.win_path(medium / "SETUP.EXE"), "/qn"],
                                 env=env or {"KQSETUP": "LOG"}, group=True)

    def run_b(self, folder: Path, answer: int = 0) -> int | None:
        """Medium B's setup, run to its end."""
        configure_msiexec(self.prefix, answer)
        start = time.time()
        code = self.finish(self.start_setup(folder))
        configure_msiexec(self.prefix, 0)
        self.note("other", code, start)
        self.b_ended(code)
        return code

    def b_ended(self, code: int | None):
        """B is to end installed once a run of it ended 0 or for a restart;
        its own tool runs it again after a restart it asked for, or after
        a cut that ended it, as A's tool does."""
        self.b_wanted |= code in (0,) + RESTART_CODES
        self.b_again = code is None or code in RESTART_CODES

    def rerun_b(self):
        if self.b_again:
            self.run_b(self.media.root / "B")

    def finish(self, proc, plan: CutPlan | None = None, beside=(), run_start: float = 0.0) -> int | None:
        """The run's exit code, or None when the power went first: with a
        plan, the power goes after the planned step (of any setup of the
        machine: the log does not tell them apart); `beside` are the runs
        going on at the same time, which a cut ends as well."""
        follower = LogFollower(self.prefix.setup_log_path) if plan else None
        if plan:
            # On a busy machine the setup then waits for the fleet, not the
            # fleet for the setup: a short step is still seen while it lasts.
            try:
                os.setpriority(os.PRIO_PGRP, proc.pid, 10)
            except OSError:
                pass  # the runner is gone already
        tracker = PhaseTracker()
        cut_at = None
        while proc.poll() is None:
            if follower:
                for line in follower.poll():
                    step = tracker.feed(line)
                    if cut_at is None and step and plan.due(step):
                        cut_at = time.time() + plan.delay
                if cut_at is not None and time.time() >= cut_at:
                    return self.cut(proc, plan, beside, follower, tracker, run_start)
            if time.time() - self.t0 > 1800:
                raise TimeoutError(f"machine {self.index} hangs")
            time.sleep(0.002 if follower else 0.05)
        return exit_code(collect(proc, 60))

    def cut(self, proc, plan, beside, follower, tracker, run_start) -> int | None:
        self.freeze((proc, *beside))
        running = [p for p in (proc, *beside) if p.poll() is None]
        torn = self.power_cut(run_start)
        for line in follower.poll():
            tracker.feed(line)
        code = exit_code(collect(proc, 60))
        # A setup that printed its code had ended before the power went.
        landed = code is None or any(p is not proc for p in running)
        self.cuts.append(Cut(self.runs, plan.phase, tracker.phase, follower.lines[-1] if follower.lines else "",
                             landed, torn))
        if landed:
            self.faults.append("cut")
            if torn:
                self.faults.append("files torn by the cut" if self.layer else "shortcut emptied by the cut")
        return code

    @staticmethod
    def freeze(procs):
        """Stops the runs where they stand (each runner leads a process
        group that the programs it starts join), so that a short step is
        still cut in; the server then ends them."""
        for proc in procs:
            try:
                os.killpg(proc.pid, signal.SIGSTOP)
            except ProcessLookupError:
                continue  # over meanwhile

    def power_cut(self, run_start: float | None = None) -> dict:
        """Every process of the prefix ends at once; on the forgetting layer
        what was not flushed is lost, elsewhere the shortcut written in the
        run is emptied now and then. The files torn, with how."""
        subprocess.run(["wineserver", "-k"], env=self.prefix.env(), check=False)
        subprocess.run(["wineserver", "-w"], env=self.prefix.env(), check=False, timeout=60)
        if run_start is None:
            return {}
        if self.layer:
            return self.layer.cut()
        torn = {}
        if self.rng.random() < P_EMPTY_SHORTCUT:
            for shortcut in self.shortcuts():
                if shortcut.stat().st_mtime >= run_start - 1:
                    shortcut.write_bytes(b"")
                    torn[shortcut.name] = "emptied"
        return torn

    def restart(self, crash: bool):
        start = time.time()
        if not crash:
            subprocess.run(["wine", "wineboot", "--end-session"], env=self.prefix.env(), check=False, timeout=120,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if self.layer:
                self.layer.flush()  # a shutdown writes out what is cached
            self.power_cut()
        wine_boot(self.prefix)
        self.note("cut" if crash else "restart", None, start)

    def logon(self) -> list:
        """Starts what the Startup folder holds, as read at this moment."""
        procs = []
        shortcuts = self.shortcuts()
        if len(shortcuts) > 1 and self.b_pending:
            self.faults.append("two resumes at one logon")
        self.b_pending = False
        for n, shortcut in enumerate(shortcuts):
            read = self.path / f"logon{n}.lnk"
            shutil.copyfile(shortcut, read)
            env, record = self.welcome_env()
            if self.shortcut_product(shortcut) != "A":
                record = ""  # B's or a nested setup's resume, or one that cannot be read: no program of A's
            procs.append((time.time(), record, self.a_installed(),
                          self.prefix.start(self.prefix.win_path(read), env=env, shortcut=True, group=True)))
        return procs

    def shortcut_product(self, shortcut: Path) -> str | None:
        """Whose resume a shortcut starts: "A", "B", or None (a nested
        setup's, or one that cannot be read), from the data file of the
        copy it names."""
        data = shortcut.read_bytes()
        text = data.decode("latin-1") + data.decode("utf-16-le", errors="replace")
        start = text.find("KIES")
        if start < 0 or "Nested.ini" in text:
            return None
        for temp in self.temp_folders():
            ini = temp / text[start:start + 8] / "SETUP.INI"
            content = ini.read_bytes() if ini.exists() else b""
            if b"NestedB.ini" in content:
                return "B"
            if b"[LaunchApplications]" in content:
                return "A"
        return None

    def wait_logon(self, procs):
        """A logon run that started nothing (its copy was gone) or that the
        power cut off has no code."""
        for start, record, installed, proc in procs:
            code = exit_code(collect(proc, 600))
            self.note("logon", code, start, welcome=record, a_installed=installed)

    # --- the deployment tool -------------------------------------------------
    def must_cut(self) -> bool:
        """With cut_each, every run is cut until a cut lands (after the
        first four runs too, and on a machine already installed)."""
        return self.cut_each and not any(c.landed for c in self.cuts)

    def chance(self, p: float) -> bool:
        """A fault of chance `p`, drawn only while faults come."""
        return self.rng.random() < p and self.runs < FAULTY_RUNS

    def other_product(self, after_cut: bool):
        """Another product's setup before the logon: from its own folder
        (or left pending for the same logon) before a restart, or from A's
        folder, where B's medium is put and then A's again."""
        if not self.chance(P_OTHER_MEDIUM):
            return
        kind = "A's folder" if after_cut else self.rng.choice(["own folder", "pending", "A's folder"])
        if kind == "A's folder":
            waiting = self.pending()
            away = self.medium.with_name(self.medium.name + ".away")
            self.medium.rename(away)
            shutil.copytree(self.media.root / "B", self.medium)
            code = self.run_b(self.medium)
            shutil.rmtree(self.medium)
            away.rename(self.medium)
            if waiting and code is not None:
                self.faults.append("B run from A's folder")
        elif kind == "pending":
            # Its main installation answers 3010: its nested setup waits
            # for the logon, beside A's resume.
            self.b_pending = self.run_b(self.media.root / "B", 3010) in RESTART_CODES
        elif self.run_b(self.media.root / "B") is not None:
            self.faults.append("B before a restart")

    def new_cache(self):
        """The tool copies the medium to a new cache folder and runs it from there."""
        waiting = self.pending()
        self.caches += 1
        fresh = self.medium.with_name(f"A{self.caches}")
        shutil.copytree(self.medium, fresh)
        self.medium = fresh
        if waiting:
            self.faults.append("medium from a new folder")

    def msiexec_calls(self) -> int:
        record = self.prefix.drive_c / "msiexec_calls.txt"
        return len(record.read_bytes().splitlines()) if record.exists() else 0

    def deploy(self):
        self.t0 = time.time()
        restart_due = False
        while self.runs < MAX_RUNS:
            logon = []
            if restart_due:
                self.other_product(after_cut=False)
                self.restart(crash=False)
                logon = self.logon()
                if not (logon and self.chance(P_RACE)):
                    self.wait_logon(logon)
                    logon = []
                    self.rerun_b()
            if self.chance(P_NEW_CACHE):
                self.new_cache()
            answer = self.rng.choice([3010, 1641]) if self.chance(P_CHILD_ANSWER) else 0
            must_cut = self.must_cut()
            # A machine's first cut goes after step (seed mod 7), so that a
            # fleet of seven or more cuts after every step; later ones after
            # any.
            first = None if self.cuts else PHASES[self.seed % len(PHASES)]
            plan = CutPlan.draw(self.rng, first) if self.chance(P_CUT) or must_cut else None
            configure_msiexec(self.prefix, answer)
            calls = self.msiexec_calls()
            other = None
            if self.chance(P_OTHER_TOGETHER):
                other = (time.time(), self.start_setup(self.media.root / "B"))
            start = time.time()
            self.runs += 1
            env, record = self.welcome_env()
            installed = self.a_installed()
            beside = [p for _, _, _, p in logon] + ([other[1]] if other else [])
            cuts = len(self.cuts)
            code = self.finish(self.start_setup(self.medium, env), plan, beside, start)
            configure_msiexec(self.prefix, 0)
            run = self.note("run", code, start, welcome=record, a_installed=installed)
            # The answer reached the setup when a run that called MSIEXEC ended for a restart.
            if answer and self.msiexec_calls() > calls and code in RESTART_CODES:
                self.faults.append("MSIEXEC asks for a restart")
            if logon:
                self.wait_logon(logon)
                if any(overlaps(run, e) for e in self.events[-len(logon):]):
                    self.faults.append("logon resume beside a rerun")
            if other:
                b = exit_code(collect(other[1], 600))
                self.b_ended(b)
                if overlaps(run, self.note("other", b, other[0])):
                    self.faults.append("B at the same time")
            restart_due = code in RESTART_CODES
            if len(self.cuts) > cuts:  # the power went, whether or not the run had ended
                self.restart(crash=True)
                self.wait_logon(self.logon())
                self.rerun_b()
                self.other_product(after_cut=True)
                restart_due = False
            if code == 1618:
                time.sleep(RETRY_DELAY)  # as a deployment tool waits before it tries again
            elif code == 0 and not restart_due:
                self.problems = self.verdict()
                if not self.problems and not self.must_cut():
                    self.converged = True
                    return

    def layout_took_effect(self):
        """The machine's layout, counted when a run met it."""
        log = self.prefix.setup_log()
        if self.temp_mount and "Not copying the setup: " in log:
            self.faults.append("temporary drive too small")
        if self.prefix.arch == "win64" and 'to "c:\\windows\\temp\\kies' in log.lower():
            self.faults.append("64-bit, TEMP=C:\\Windows\\Temp")

    def verdict(self) -> list[str]:
        problems = []
        wanted = {self.media.a: "A", self.media.nested: "nested"}
        if self.b_wanted:
            wanted.update({self.media.b: "B", self.media.b_nested: "B's nested"})
        for code, name in wanted.items():
            if self.prefix.product_value(code, "DisplayName") is None:
                problems.append(f"product {name} is not installed")
                continue
            source = self.prefix.product_value(code, "InstallSource")
            if source and not self.linux_path(source).exists():
                problems.append(f"the source of {name} is gone: {source}")
        gone = ((self.media.old, "the upgrade's base"), (self.media.incompatible, "the incompatible product"))
        for code, name in gone:
            if self.prefix.product_value(code, "DisplayName") is not None:
                problems.append(f"{name} is still installed")
        if self.copies():
            problems.append(f"copies left: {self.copies()}")
        if self.shortcuts():
            problems.append(f"resume shortcuts left: {[p.name for p in self.shortcuts()]}")
        time.sleep(1)  # the last post-install program writes its record
        for e in self.events:
            record = self.linux_path(e.welcome) if e.welcome else None
            e.started = bool(record and record.exists() and record.stat().st_size > 0)
        return problems + post_install_problems(self.events)

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
        self.layout_took_effect()
        if self.temp_mount:
            subprocess.run(["umount", str(self.temp_mount)], check=False)
        if self.layer:
            self.layer.stop()

    def remove(self):
        """A machine that converged leaves nothing behind."""
        for path in (self.path, self.side("_cache"), self.side("_temp"), self.side("_layer"),
                     self.side("_layer_backing")):
            shutil.rmtree(path, ignore_errors=True)


def exit_code(run: subprocess.CompletedProcess | None) -> int | None:
    if run is None or "exit=0x" not in run.stdout:
        return None
    return parse_runner(run).exit_code


def summary(machines) -> str:
    """The fleet's line for scripts."""
    converged = sum(m.converged for m in machines)
    cuts = sum(c.landed for m in machines for c in m.cuts)
    worst = max((m.runs for m in machines), default=0)
    return (f"fleet: {len(machines)} machines, {converged} converged, {sum(m.runs for m in machines)} runs, "
            f"{sum(len(m.faults) for m in machines)} faults ({cuts} cuts landed), worst {worst} runs")


def phase_table(machines) -> list[dict]:
    """For each step: the cuts that landed in it, and how many of those
    machines converged."""
    rows = []
    for phase in (BEFORE_ANY_STEP,) + PHASES:
        cuts = [m for m in machines for c in m.cuts if c.landed and c.phase == phase]
        rows.append({"phase": phase, "cuts": len(cuts), "converged": sum(m.converged for m in cuts)})
    return rows
