"""Fixtures for scenario tests of SETUP.EXE and its parts under Wine.

A CTest session hands over its prefix (KQ_WINEPREFIX), made fresh by
tools/wine-session.sh with a running wineserver; run alone, pytest makes its
own prefix under the build tree and shuts it down at the end. The Windows
programs come from the win32 build (KQ_WIN32_BUILD_DIR, default build/win32).
"""
import os
import select
import shutil
import subprocess
import tempfile
import time
import uuid
from contextlib import contextmanager
from dataclasses import dataclass
from pathlib import Path

import pytest

SOURCE_ROOT = Path(os.environ.get("KQ_SOURCE_ROOT", Path(__file__).resolve().parents[2]))
WIN32_BUILD = Path(os.environ.get("KQ_WIN32_BUILD_DIR", SOURCE_ROOT / "build" / "win32"))
TOOLS_SH = SOURCE_ROOT / "tools"
TEMPLATES = Path(__file__).resolve().parent / "templates"


@dataclass
class RunResult:
    exit_code: int  # the full 32-bit exit code, read by runner.exe
    stdout: str
    stderr: str


class Tools:
    """Paths of the Windows helper programs and probes."""

    def __init__(self, build: Path):
        self.build = build
        self.runner = build / "tools" / "runner.exe"
        self.answer = build / "tools" / "answer.exe"
        self.child = build / "tools" / "child.exe"
        self.keepalive = build / "tools" / "keepalive.exe"
        self.setup = build / "src" / "app" / "SETUP.EXE"

    def probe(self, name: str) -> Path:
        path = self.build / "tools" / f"{name}.exe"
        assert path.exists(), f"probe {name} not built: {path}"
        return path


class Prefix:
    """A 32-bit Wine prefix with helpers to run programs and prepare state."""

    def __init__(self, path: Path, tools: Tools, display: str | None = None):
        self.path = path
        self.drive_c = path / "drive_c"
        self.tools = tools
        self.display = display
        self.dll_overrides: list[str] = []

    # --- environment -----------------------------------------------------
    def env(self, extra: dict | None = None, locale: str | None = None) -> dict:
        env = dict(os.environ)
        env.update(WINEPREFIX=str(self.path), WINEARCH="win32", WINEDEBUG="-all")
        env["LC_ALL"] = locale or "en_US.UTF-8"
        # Wine's menu builder turns every shortcut saved into a Linux menu entry,
        # in a process of its own that also holds the new file open a moment.
        overrides = ["mscoree,mshtml=", "winemenubuilder.exe=d"] + self.dll_overrides
        if extra and "WINEDLLOVERRIDES" in extra:
            overrides.append(extra["WINEDLLOVERRIDES"])
        env["WINEDLLOVERRIDES"] = ";".join(overrides)
        if self.display:
            env["DISPLAY"] = self.display
        else:
            env.pop("DISPLAY", None)
        for key, value in (extra or {}).items():
            if key == "WINEDLLOVERRIDES":
                continue
            if value is None:
                env.pop(key, None)
            else:
                env[key] = str(value)
        return env

    def wine(self, args, env=None, locale=None, timeout=120, check=True) -> subprocess.CompletedProcess:
        cmd = ["wine"] + [str(a) for a in args]
        result = collect(spawn(cmd, self.env(env, locale)), timeout)
        if check and result.returncode != 0:
            raise AssertionError(f"{cmd} failed ({result.returncode}): {result.stderr}")
        return result

    # --- running programs ------------------------------------------------
    def run(self, args, env=None, version=None, locale=None, cwd=None, timeout=120, watch=False,
            wide=False, shortcut=False) -> RunResult:
        """Runs a Windows program through runner.exe and returns its full exit code.

        `args` is a list (joined with Windows quoting where an element has a
        blank) or one ready command-line string. Paths may be Linux paths of
        files inside the prefix or anywhere (Wine maps them through Z:).
        With `watch` the runner also prints how many top-level dialogs the
        program had and how many of them were ever visible. With `wide` the
        command line reaches the program as wide text, as the shell passes it.
        With `shortcut`, `args` is a shortcut file whose target is started as a
        logon starts a Startup entry.
        """
        if version:
            self.set_version(version)
        try:
            cmdline = args if isinstance(args, str) else join_command_line(self.win_arg(a) for a in args)
            runner_args = [self.tools.runner, "--timeout", str(timeout * 1000)]
            if cwd:
                runner_args += ["--cwd", self.win_path(cwd)]
            if watch:
                runner_args.append("--watch")
            if wide:
                runner_args.append("--wide")
            if shortcut:
                runner_args.append("--shortcut")
            cmd = ["wine"] + [str(a) for a in runner_args]
            # The exact command line travels in the environment: Wine would
            # re-quote it as one argument.
            run_env = self.env(env, locale)
            run_env["KQRUN_CMDLINE"] = cmdline
            return parse_runner(collect(spawn(cmd, run_env), timeout + 30))
        finally:
            if version:
                self.set_version(None)

    def start(self, args, env=None, locale=None, stream=False, shortcut=False, group=False) -> subprocess.Popen:
        """Starts a Windows program in the background (for tests that answer its boxes).

        With `stream` its output comes through text pipes, to be read as it
        is printed: the program must then start nothing that outlives it.
        With `shortcut`, as in run(). With `group`, the runner leads a
        process group of its own, which the programs it starts join."""
        run_env = self.env(env, locale)
        run_env["KQRUN_CMDLINE"] = args if isinstance(args, str) else join_command_line(
            self.win_arg(a) for a in args)
        runner = ["wine", str(self.tools.runner)] + (["--shortcut"] if shortcut else [])
        if stream:
            return subprocess.Popen(runner, env=run_env, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, text=True, errors="replace")
        return spawn(runner, run_env, process_group=0 if group else None)

    @staticmethod
    def finish(proc: subprocess.Popen, timeout=120) -> RunResult:
        """Waits for a program started with start() and reads its exit code."""
        return parse_runner(collect(proc, timeout))

    def answer(self, caption: str, button: str, timeout_ms: int = 30000, locale=None) -> dict:
        """Waits for a message box with the caption, reads it and presses a button."""
        proc = self.wine([self.tools.answer, caption, button, str(timeout_ms)], locale=locale,
                         timeout=timeout_ms / 1000 + 30, check=False)
        fields = {}
        for line in proc.stdout.splitlines():
            key, _, value = line.partition("=")
            fields[key] = value
        fields["found"] = proc.returncode == 0
        return fields

    # --- prefix state ------------------------------------------------------
    def set_version(self, version: str | None):
        if version:
            self.wine(["reg", "add", r"HKCU\Software\Wine", "/v", "Version", "/d", version, "/f"])
        else:
            self.wine(["reg", "delete", r"HKCU\Software\Wine", "/v", "Version", "/f"], check=False)

    def reg_add(self, key: str, name: str | None, value, kind: str = "REG_SZ"):
        args = ["reg", "add", key]
        args += ["/v", name] if name is not None else ["/ve"]
        args += ["/t", kind, "/d", str(value), "/f"]
        self.wine(args)

    def reg_delete(self, key: str, name: str | None = None):
        args = ["reg", "delete", key] + (["/v", name] if name is not None else []) + ["/f"]
        self.wine(args, check=False)

    def reg_query(self, key: str, name: str) -> str | None:
        result = self.wine(["reg", "query", key, "/v", name], check=False)
        for line in result.stdout.splitlines():
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[0] == name:
                return parts[2].strip()
        return None

    def win_path(self, path) -> str:
        """The Windows name of a Linux path: C:\\... inside the prefix, else Z:\\..."""
        path = Path(path).resolve()
        try:
            rel = path.relative_to(self.drive_c.resolve())
            return "C:\\" + str(rel).replace("/", "\\") if str(rel) != "." else "C:\\"
        except ValueError:
            return "Z:" + str(path).replace("/", "\\")

    def win_arg(self, arg) -> str:
        return self.win_path(arg) if isinstance(arg, Path) else str(arg)

    # --- the setup log -----------------------------------------------------
    @property
    def setup_log_path(self) -> Path:
        return self.drive_c / "SETUP.LOG"

    def setup_log(self) -> str:
        path = self.setup_log_path
        return path.read_bytes().decode("latin-1") if path.exists() else ""

    def setup_log_lines(self) -> list[str]:
        text = self.setup_log()
        assert text == "" or text.endswith("\r\n"), "the log must end with a whole line"
        return text.split("\r\n")[:-1] if text else []

    def clear_setup_log(self):
        self.setup_log_path.unlink(missing_ok=True)


@contextmanager
def temp_on_small_drive(prefix: Prefix, megabytes: int, mount_point: Path):
    """The user's TEMP and TMP on a drive of its own of `megabytes` (a tmpfs
    at `mount_point`, linked as a drive letter of the prefix); yields the
    drive's Linux path. Skips where mounting is refused; the values, the
    link and the mount are undone at the end."""
    mount_point.mkdir(parents=True, exist_ok=True)
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={megabytes}m", "tmpfs", str(mount_point)],
                             capture_output=True, text=True)
    if mounted.returncode != 0:
        pytest.skip(f"cannot mount a tmpfs here: {mounted.stderr.strip()}")
    dosdevices = prefix.path / "dosdevices"
    letter = next(l for l in "tuvwxy" if not os.path.lexists(dosdevices / f"{l}:"))
    (dosdevices / f"{letter}:").symlink_to(mount_point)
    key = r"HKCU\Environment"
    saved = {name: prefix.reg_query(key, name) for name in ("TEMP", "TMP")}
    try:
        for name in saved:
            prefix.reg_add(key, name, f"{letter.upper()}:\\", "REG_EXPAND_SZ")
        yield mount_point
    finally:
        for name, value in saved.items():
            if value is None:
                prefix.reg_delete(key, name)
            else:
                prefix.reg_add(key, name, value, "REG_EXPAND_SZ")
        (dosdevices / f"{letter}:").unlink()
        subprocess.run(["umount", str(mount_point)], check=False)


def spawn(cmd, env, process_group=None) -> subprocess.Popen:
    """Starts a Linux-side command with its output going to files, not pipes.

    A Wine program may start a process that outlives it (the desktop, a
    service) and inherits its output: with pipes, reading them to the end
    would wait for that process too. The files are read once the command
    itself has ended."""
    out, err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
    proc = subprocess.Popen([str(c) for c in cmd], env=env, stdout=out, stderr=err, process_group=process_group)
    proc.output_files = (out, err)
    return proc


def collect(proc: subprocess.Popen, timeout) -> subprocess.CompletedProcess:
    """Waits for a command started by spawn() (or with pipes of its own)
    and returns what it printed."""
    if not hasattr(proc, "output_files"):
        out, err = proc.communicate(timeout=timeout)
        return subprocess.CompletedProcess(proc.args, proc.returncode, out, err)
    try:
        proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        raise
    texts = []
    for f in proc.output_files:
        f.seek(0)
        # As text-mode pipes read it: every line break becomes "\n".
        texts.append(f.read().decode("utf-8", errors="replace").replace("\r\n", "\n").replace("\r", "\n"))
        f.close()
    return subprocess.CompletedProcess(proc.args, proc.returncode, *texts)


def join_command_line(args) -> str:
    """Joins arguments the way Windows programs split them (blanks need quotes)."""
    parts = []
    for arg in args:
        if arg == "" or any(c in arg for c in " \t") and not (arg.startswith('"') and arg.endswith('"')):
            parts.append('"' + arg + '"')
        else:
            parts.append(arg)
    return " ".join(parts)


def parse_runner(proc: subprocess.CompletedProcess) -> RunResult:
    lines = proc.stdout.splitlines()
    for line in reversed(lines):
        if line.startswith("exit=0x"):
            code = int(line[len("exit=0x"):].split()[0], 16)
            return RunResult(code, "\n".join(l for l in lines if l is not line), proc.stderr)
    raise AssertionError(f"runner gave no exit code: stdout={proc.stdout!r} stderr={proc.stderr!r}")


# --- fixtures ------------------------------------------------------------------

@pytest.fixture(scope="session")
def tools() -> Tools:
    t = Tools(WIN32_BUILD)
    for p in (t.runner, t.answer, t.child, t.keepalive):
        assert p.exists(), f"{p} missing: build the win32 preset first"
    return t


@pytest.fixture(scope="session")
def display():
    """An Xvfb display for tests that show windows; shared by the session."""
    if shutil.which("Xvfb") is None:
        pytest.fail("Xvfb is not installed (Debian package xvfb)")
    # Xvfb picks a free display itself and names it once it accepts
    # connections: a number chosen here from the lock files could be taken
    # by another session (or the demo) in the meantime.
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
                             "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    deadline = time.time() + 60
    while not number.endswith(b"\n"):
        ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.time()))
        chunk = os.read(read_end, 16) if ready else b""
        if not chunk:
            os.close(read_end)
            proc.kill()
            pytest.fail("Xvfb did not start")
        number += chunk
    os.close(read_end)
    yield f":{number.decode().strip()}"
    proc.terminate()
    proc.wait(timeout=10)


@pytest.fixture(scope="session")
def _session_prefix(tools) -> Path:
    given = os.environ.get("KQ_WINEPREFIX")
    if given:
        yield Path(given)
        return
    path = WIN32_BUILD.parent / "e2e-prefix"
    subprocess.run([TOOLS_SH / "wine-session.sh", "start", path, tools.keepalive], check=True,
                   capture_output=True)
    yield path
    subprocess.run([TOOLS_SH / "wine-session.sh", "stop", path], check=False)


@pytest.fixture
def prefix(_session_prefix, tools, request) -> Prefix:
    """The session's prefix, with the setup log cleared and the version reset."""
    p = Prefix(_session_prefix, tools)
    p.clear_setup_log()
    yield p
    end_setups_of_a_failed_test(request, p)
    p.set_version(None)


@contextmanager
def display_prefix(name: str, tools, display):
    """A fresh prefix of its own (`name` tells it apart), booted on the Xvfb
    display: a prefix's desktop takes its display from the first program
    that runs in it, so windows need a prefix that was booted with it."""
    base = os.environ.get("KQ_WINEPREFIX")
    path = Path(f"{base}-{name}-{os.getpid()}") if base else WIN32_BUILD.parent / f"e2e-{name}-prefix"
    env = dict(os.environ, KQ_DISPLAY=display)
    subprocess.run([TOOLS_SH / "wine-session.sh", "start", path, tools.keepalive], env=env, check=True,
                   capture_output=True)
    try:
        yield path
    finally:
        subprocess.run([TOOLS_SH / "wine-session.sh", "stop", path], check=False)
        shutil.rmtree(path, ignore_errors=True)


@pytest.fixture(scope="session")
def _gui_session_prefix(tools, display) -> Path:
    with display_prefix("gui", tools, display) as path:
        yield path


@pytest.fixture
def gui_prefix(_gui_session_prefix, tools, display, request) -> Prefix:
    """A prefix whose desktop is on the Xvfb display, for programs that show
    windows and message boxes. Separate from `prefix`, whose desktop has no
    display, so that there a message box fails at once instead of waiting."""
    p = Prefix(_gui_session_prefix, tools, display)
    p.clear_setup_log()
    yield p
    end_setups_of_a_failed_test(request, p)
    p.set_version(None)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    """Keeps each phase's report on the test, for teardowns that act on a failure."""
    outcome = yield
    report = outcome.get_result()
    setattr(item, "report_" + report.when, report)


def end_setups_of_a_failed_test(request, prefix: Prefix):
    """A test that failed may leave a SETUP.EXE waiting, holding the instance
    mutex: the next test's setup would end 1618. It is ended."""
    report = getattr(request.node, "report_call", None)
    if report is not None and report.failed:
        prefix.wine(["taskkill", "/f", "/im", "SETUP.EXE"], check=False)


@pytest.fixture
def user_temp(prefix) -> Path:
    """The user's temporary-files folder of the prefix (made when missing)."""
    result = prefix.wine(["cmd", "/c", "echo", "%TEMP%"])
    windows = result.stdout.strip()
    assert windows.upper().startswith("C:\\"), windows
    path = prefix.drive_c.joinpath(*windows[3:].split("\\"))
    path.mkdir(parents=True, exist_ok=True)
    return path


@pytest.fixture
def medium(prefix) -> Path:
    """A fresh distribution-medium folder inside the prefix (C:\\medium_xxxx)."""
    path = prefix.drive_c / f"medium_{uuid.uuid4().hex[:8]}"
    path.mkdir()
    yield path
    shutil.rmtree(path, ignore_errors=True)


@dataclass
class Component:
    file_name: str
    content: str | bytes = "payload\n"  # bytes for a binary file (a program)
    guid: str = ""


@dataclass
class Feature:
    id: str
    components: list
    title: str = ""


def build_package(work_root: Path, out: Path, product_code: str, name: str = "KQ Demo", version: str = "1.0.0",
                  features=None, upgrade_code: str | None = None, manufacturer: str = "Korvane Test",
                  properties: dict | None = None, install_folder: str = "KQDemo",
                  package_code: str | None = None) -> Path:
    """Builds a real package with wixl from tests/e2e/templates/product.wxs,
    working in a new folder under `work_root` (see the build_msi fixture)."""
    template = (TEMPLATES / "product.wxs").read_text()
    features = features or [Feature("Main", [Component("demo.txt")])]
    work = work_root / f"wxs_{uuid.uuid4().hex[:8]}"
    work.mkdir(parents=True)
    component_xml, feature_xml = [], []
    for feature in features:
        refs = []
        for comp in feature.components:
            guid = comp.guid or str(uuid.uuid4()).upper()
            cid = "C_" + comp.file_name.replace(".", "_").replace("-", "_")
            if isinstance(comp.content, bytes):
                (work / comp.file_name).write_bytes(comp.content)
            else:
                (work / comp.file_name).write_text(comp.content)
            component_xml.append(
                f'<Component Id="{cid}" Guid="{{{guid}}}">'
                f'<File Id="F_{cid}" Name="{comp.file_name}" Source="{comp.file_name}" KeyPath="yes"/>'
                f"</Component>")
            refs.append(f'<ComponentRef Id="{cid}"/>')
        feature_xml.append(f'<Feature Id="{feature.id}" Title="{feature.title or feature.id}" Level="1">'
                           + "".join(refs) + "</Feature>")
    props = "".join(f'<Property Id="{k}" Value="{v}"/>' for k, v in (properties or {}).items())
    wxs = (template.replace("@PRODUCT_CODE@", product_code.strip("{}").upper())
           .replace("@UPGRADE_CODE@", (upgrade_code or str(uuid.uuid4())).strip("{}").upper())
           .replace("@NAME@", name).replace("@VERSION@", version)
           .replace("@MANUFACTURER@", manufacturer).replace("@FOLDER@", install_folder)
           .replace("@COMPONENTS@", "\n".join(component_xml))
           .replace("@FEATURES@", "\n".join(feature_xml))
           .replace("@PROPERTIES@", props))
    source = work / "product.wxs"
    source.write_text(wxs)
    out.parent.mkdir(parents=True, exist_ok=True)
    # wixl resolves Source= only relative to its working folder.
    subprocess.run(["wixl", "-o", str(out.resolve()), source.name], cwd=work, check=True,
                   capture_output=True)
    if package_code:
        # wixl ignores Package/@Id; the summary information holds the code.
        subprocess.run(["msibuild", str(out), "-s", name, manufacturer, "Intel;1033", package_code],
                       check=True, capture_output=True)
    return out


@pytest.fixture
def build_msi(tmp_path):
    """Builds a real package with wixl from tests/e2e/templates/product.wxs.

    build_msi(out, product_code=..., name=..., version=..., features=[Feature(...)],
              upgrade_code=..., manufacturer=..., properties={...},
              package_code=...) -> Path

    wixl gives each build a new package code; `package_code` sets it instead,
    exactly as written (so also in lower case).
    """
    return lambda *args, **kwargs: build_package(tmp_path, *args, **kwargs)


@pytest.fixture
def installed(prefix):
    """installed(package, *properties) installs a package with Wine's msiexec;
    the packages are removed again at the end of the test."""
    done = []

    def install(package: Path, *properties):
        prefix.wine(["msiexec", "/i", prefix.win_path(package), "/qn", *properties])
        done.append(package)

    yield install
    for package in reversed(done):
        prefix.wine(["msiexec", "/x", prefix.win_path(package), "/qn"], check=False)


class StandInMsiexec:
    """child.exe in place of system32\\msiexec.exe, recording each call."""

    def __init__(self, prefix: Prefix, tools: Tools):
        self.prefix = prefix
        self.system32 = prefix.drive_c / "windows" / "system32"
        self.target = self.system32 / "msiexec.exe"
        self.backup = self.system32 / "msiexec.exe.kqsaved"
        self.record = prefix.drive_c / f"msiexec_calls_{uuid.uuid4().hex[:6]}.txt"
        shutil.copyfile(self.target, self.backup)
        shutil.copyfile(tools.child, self.target)
        prefix.dll_overrides.append("msiexec.exe=n")
        self.configure(exit_code=0)

    def configure(self, exit_code: int = 0, wait_ms: int = 0):
        cfg = self.system32 / "msiexec.cfg"
        cfg.write_text(f"record={self.prefix.win_path(self.record)}\nexit={exit_code}\nwait={wait_ms}\n")

    def calls(self) -> list[str]:
        if not self.record.exists():
            return []
        return self.record.read_bytes().decode("latin-1").split("\r\n")[:-1]

    def wait_for_calls(self, count: int, timeout=60):
        """Waits until `count` calls are recorded: each of them has read its
        configuration, so configure() no longer changes what it does."""
        deadline = time.time() + timeout
        while len(self.calls()) < count:
            assert time.time() < deadline, f"{count} calls expected: {self.calls()}"
            time.sleep(0.1)

    @contextmanager
    def real(self):
        """Wine's own msiexec for the time of the block (calls so far are forgotten)."""
        self.restore()
        try:
            yield
        finally:
            self.__init__(self.prefix, self.prefix.tools)

    def restore(self):
        shutil.copyfile(self.backup, self.target)
        self.backup.unlink()
        (self.system32 / "msiexec.cfg").unlink(missing_ok=True)
        self.prefix.dll_overrides.remove("msiexec.exe=n")
        self.record.unlink(missing_ok=True)


@pytest.fixture
def stand_in_msiexec(prefix, tools):
    stand_in = StandInMsiexec(prefix, tools)
    yield stand_in
    stand_in.restore()


@pytest.fixture
def stand_in(gui_prefix, tools):
    stand_in = StandInMsiexec(gui_prefix, tools)
    yield stand_in
    stand_in.restore()


@pytest.fixture
def startup_folder(gui_prefix):
    folder = gui_prefix.drive_c / "users" / "root" / "AppData" / "Roaming" / "Microsoft" / "Windows" / \
        "Start Menu" / "Programs" / "Startup"
    candidates = list(gui_prefix.drive_c.glob("users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp"))
    folder = candidates[0] if candidates else folder
    (folder / "KORVANE Install Exec Setup.lnk").unlink(missing_ok=True)
    yield folder
    (folder / "KORVANE Install Exec Setup.lnk").unlink(missing_ok=True)
