"""tools/demo.sh on a publisher's own medium: a kept prefix, and a message
box that nobody could see on the Xvfb display printed and answered."""
import subprocess

from conftest import SOURCE_ROOT


def test_demo_prints_and_answers_a_box_and_keeps_the_prefix(tmp_path):
    medium = tmp_path / "medium"
    medium.mkdir()
    (medium / "SETUP.INI").write_bytes(b"[ProductInformation]\r\nPackageName=Product.msi\r\nPlatforms=NT:99.0\r\n"
                                       b"[ProductFeatures]\r\nMain\r\n")
    prefix = tmp_path / "pfx"
    demo = subprocess.run(["bash", str(SOURCE_ROOT / "tools" / "demo.sh"), "--prefix", str(prefix),
                           "--timeout", "120", "--answer-after", "1", str(medium)],
                          capture_output=True, text=True, errors="replace", timeout=400)
    out = demo.stdout
    assert demo.returncode == 0, out + demo.stderr
    assert "--- message box 1\ncaption=Error\ntext=This program does not support the operating system detected." in out
    assert "answered with button 1" in out  # IDOK, the box's default
    assert "exit code: 1633 - this Windows is not supported (Platforms, AllowNTServer)" in out, "the README's table"
    assert (prefix / "system.reg").exists(), "the prefix is kept for the next run"
