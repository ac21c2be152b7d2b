"""tools/demo.sh on a publisher's own medium: a kept prefix, and message
boxes that nobody could see on the Xvfb display printed and answered with the
button a person's Enter presses (OK; Yes on a Yes/No box)."""
import os
import subprocess

from conftest import SOURCE_ROOT

OLD = "{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4C}"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall" + "\\" + OLD


def demo(prefix, medium) -> str:
    run = subprocess.run(["bash", str(SOURCE_ROOT / "tools" / "demo.sh"), "--prefix", str(prefix),
                          "--timeout", "120", "--answer-after", "1", str(medium)],
                         capture_output=True, text=True, errors="replace", timeout=400)
    assert run.returncode == 0, run.stdout + run.stderr
    return run.stdout


def reg(prefix, *args) -> subprocess.CompletedProcess:
    env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all")
    return subprocess.run(["wine", "reg", *args], env=env, capture_output=True, text=True)


def test_demo_prints_and_answers_boxes_and_keeps_the_prefix(tmp_path, build_msi):
    medium = tmp_path / "medium"
    medium.mkdir()
    (medium / "SETUP.INI").write_bytes(b"[ProductInformation]\r\nPackageName=Product.msi\r\nPlatforms=NT:99.0\r\n"
                                       b"[ProductFeatures]\r\nMain\r\n")
    prefix = tmp_path / "pfx"
    out = demo(prefix, medium)
    assert "--- message box 1\ncaption=Error\ntext=This program does not support the operating system detected." in out
    assert "answered with OK (button 1)" in out
    assert "exit code: 1633 - this Windows is not supported (Platforms, AllowNTServer)" in out, "the table"
    assert (prefix / "system.reg").exists(), "the prefix is kept for the next run"

    # An earlier version seeded in the kept prefix, as a publisher would: the
    # removal's Yes/No box is answered Yes, and the run installs.
    for name, value in (("DisplayName", "Korvane Demo 1.0"), ("UninstallString", f"reg delete {UNINSTALL} /f")):
        assert reg(prefix, "add", UNINSTALL, "/v", name, "/d", value, "/f").returncode == 0
    subprocess.run(["wineserver", "-w"], env=dict(os.environ, WINEPREFIX=str(prefix)), timeout=60)
    (medium / "SETUP.INI").write_bytes(b"[ProductInformation]\r\nPackageName=Product.msi\r\n[ProductFeatures]\r\n"
                                       b"Main\r\n[PreviousVersionUninstall]\r\n" + OLD.encode() + b"\r\n")
    build_msi(medium / "Product.msi", product_code="{7B2E3D4C-5F60-4B7C-9D8E-0F1A2B3C4D5E}")
    out = demo(prefix, medium)
    assert "caption=Warning\ntext=" in out and "answered with Yes (button 6)" in out, out
    assert "exit code: 0 - installed" in out, out
    assert reg(prefix, "query", UNINSTALL).returncode != 0, "1.0 was removed"
