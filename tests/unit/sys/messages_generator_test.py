"""The message-table generator stops the build when a translation's
placeholders differ from the English text's in number or order.

usage: messages_generator_test.py <generate_message_tables.py> <messages folder>
"""
import subprocess
import sys
import tempfile
from pathlib import Path

generator, messages = Path(sys.argv[1]), Path(sys.argv[2])
english = (messages / "en_US.txt").read_text(encoding="utf-8")
german = (messages / "de_DE.txt").read_text(encoding="utf-8")


def line_of(text, mid):
    return next(line for line in text.split("\n") if line.startswith(f"{mid} = "))


def generate(translation):
    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        (work / "en_US.txt").write_text(english, encoding="utf-8")
        (work / "de_DE.txt").write_text(translation, encoding="utf-8")
        return subprocess.run([sys.executable, generator, work / "t.cpp", work / "s.cpp",
                               work / "de_DE.txt", work / "en_US.txt"], capture_output=True, text=True)


failures = []
result = generate(german)
if result.returncode != 0:
    failures.append(f"the real German table is refused: {result.stderr}")

old10, old3 = line_of(german, 10), line_of(german, 3)
assert "%04X.%08X" in old3 and old10.count("_OLD_PRODUCT_NAME_") == 4
cases = {
    "dropped _OLD_PRODUCT_NAME_": (10, german.replace(old10, old10.replace("_OLD_PRODUCT_NAME_", "X", 1))),
    "swapped conversions": (3, german.replace(old3, old3.replace("%04X.%08X", "%08X.%04X"))),
    "named placeholders reordered": (10, german.replace(
        old10, old10.replace("_PRODUCT_NAME_ _PRODUCT_VERSION_", "_PRODUCT_VERSION_ _PRODUCT_NAME_"))),
    "extra conversion": (13, german.replace(line_of(german, 13), line_of(german, 13) + " %d")),
}
for name, (mid, text) in cases.items():
    result = generate(text)
    if result.returncode == 0 or f"message {mid} has the placeholders" not in result.stderr:
        failures.append(f"{name}: exit {result.returncode}, {result.stderr.strip()!r}")

for failure in failures:
    print("FAILED:", failure)
print(f"{len(cases) + 1 - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
