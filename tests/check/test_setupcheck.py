"""setupcheck over small media, one publisher's mistake each (see check_media)."""
import json
import os
import re
import subprocess
from pathlib import Path

import pytest

import check_media as media

SETUPCHECK = Path(os.environ.get("KQ_SETUPCHECK", media.SOURCE_ROOT / "build/host/src/check/setupcheck"))


def setupcheck(*args) -> subprocess.CompletedProcess:
    return subprocess.run([str(SETUPCHECK), *map(str, args)], capture_output=True, text=True, timeout=60)


@pytest.fixture(scope="session")
def packages(tmp_path_factory):
    return media.build_packages(tmp_path_factory.mktemp("packages"))


@pytest.mark.parametrize("case", media.CASES, ids=lambda c: c.name)
def test_finding(case, packages, tmp_path):
    folder = media.lay_out(case, tmp_path / "medium", packages)
    result = setupcheck("--json", folder)
    findings = json.loads(result.stdout)
    assert media.found(findings) == case.expected, result.stdout
    errors = any(severity == "error" for *_, severity in case.expected)
    assert result.returncode == (1 if errors else 0), result.stderr
    assert result.stderr == media.summary(findings) + "\n"
    # The text form says the same, one finding per line; SARIF too.
    text = setupcheck(folder).stdout.splitlines()
    assert text == [f'{f["file"]}{":" + str(f["line"]) if f["line"] else ""}: {f["severity"]}: {f["message"]}'
                    for f in findings]
    sarif = setupcheck("--sarif", folder)
    assert media.sarif_findings(json.loads(sarif.stdout)) == findings
    assert sarif.returncode == result.returncode
    # --strict fails on warnings as well.
    assert setupcheck("--strict", folder).returncode == (1 if findings else 0)


def test_code_page_of_the_targets(packages, tmp_path):
    """Cyrillic text fails for Western targets and passes for Cyrillic ones."""
    case = next(c for c in media.CASES if c.name == "character outside the code page")
    folder = media.lay_out(case, tmp_path / "medium", packages)
    assert setupcheck("--codepage", 1252, folder).returncode == 1
    assert setupcheck("--codepage", 1251, folder).returncode == 0


def test_init_starts_a_medium_that_passes_strict(packages, tmp_path):
    init = setupcheck("--init", packages["KorvaneDemo.msi"])
    assert init.returncode == 0, init.stderr
    lines = init.stdout.splitlines()
    assert [line for line in lines if not line.startswith(";")] == [
        "[ProductInformation]", "PackageName=KorvaneDemo.msi", "MsiVersion=2.0", "[ProductFeatures]", "Complete"]
    # The component codes [LaunchApplications] needs, with the program each starts.
    assert f";   {media.WELCOME}  Welcome  welcome.exe" in lines
    folder = media.lay_out(media.Case("init", init.stdout, set()), tmp_path / "medium", packages)
    check = setupcheck("--strict", folder)
    assert (check.returncode, check.stdout, check.stderr) == (0, "", "no findings\n")


def test_cannot_run(tmp_path):
    assert setupcheck(tmp_path / "absent").returncode == 2
    assert setupcheck("--codepage", "x", tmp_path).returncode == 2
    assert setupcheck().returncode == 2
    assert setupcheck("--init", tmp_path / "absent.msi").returncode == 2
    # Scripts still get a document that says why.
    result = setupcheck("--json", tmp_path / "absent")
    assert result.returncode == 2
    assert [(f["code"], f["severity"]) for f in json.loads(result.stdout)] == [("cannot-run", "error")]
    sarif = json.loads(setupcheck("--codepage", "x", "--sarif", tmp_path).stdout)
    invocation = sarif["runs"][0]["invocations"][0]
    assert not invocation["executionSuccessful"] and "--codepage" in invocation["toolExecutionNotifications"][0]["message"]["text"]
    # A folder without the data file is a finding, not a failure to run.
    result = setupcheck("--json", tmp_path, "Lang\\DE.INI")
    assert result.returncode == 1
    assert media.found(json.loads(result.stdout)) == {("data-file-missing", "Lang\\DE.INI", None, "error")}


def test_the_publishers_table_of_codes_is_the_checkers(tmp_path):
    """docs/publishing.md names every code once, with the severity the checker gives it."""
    log = json.loads(setupcheck("--sarif", tmp_path).stdout)
    rules = {rule["id"]: rule["defaultConfiguration"]["level"] for rule in log["runs"][0]["tool"]["driver"]["rules"]}
    text = (media.SOURCE_ROOT / "docs" / "publishing.md").read_text()
    table = text.split("The codes (", 1)[1].split("\n\n")[1].splitlines()[2:]
    documented = {}
    for row in table:
        codes, severity = row.split("|")[1:3]
        for code in re.findall(r"`([a-z0-9-]+)`", codes):
            assert code not in documented, code
            documented[code] = severity.strip()
    assert documented == rules
