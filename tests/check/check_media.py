"""Small media for the setup checker, one publisher's mistake each.

Shared by the host table (setupcheck) and the Wine comparison (SETUPCHK.EXE).
Each case is a SETUP.INI (or a change of the base one), extra files, and the
findings it must give as (code, file, line, severity), each spelt out: a rule
that changed its severity fails its case.
"""
import hashlib
import shutil
import subprocess
from dataclasses import dataclass, field
from pathlib import Path
from urllib.parse import unquote

SOURCE_ROOT = Path(__file__).resolve().parents[2]
PRODUCT = "{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4D}"   # the demo product
WELCOME = "{2D3E4F5A-6B7C-4D8E-9F0A-1B2C3D4E5F60}"   # its welcome program's component
SETTINGS = "{3E4F5A6B-7C8D-4E9F-8A0B-1C2D3E4F5A6B}"  # a component whose key path is a registry value
NESTED = "{0B1C2D3E-4F5A-4B6C-9D7E-8F9A0B1C2D3E}"    # the nested product
OTHER = "{11111111-2222-4333-8444-555555555555}"
UPGRADE = "{0B1C2D3E-4F5A-4B6C-9D7E-8F9A0B1C2D3E}"   # the demo package's UpgradeCode

BASE = f"""[ProductInformation]
PackageName=KorvaneDemo.msi
MsiVersion=2.0
[ProductFeatures]
Complete
[LaunchApplications]
{WELCOME},--welcome
"""


@dataclass
class Case:
    name: str
    ini: str | bytes
    expected: set            # {(code, file, line or None, "error" or "warning")}
    # name ("Lang/DE.INI") -> bytes, "package", or "nested[:FOLDER]" -> a nested SETUP.INI
    files: dict = field(default_factory=dict)
    codepage: int | None = None


def with_line(number: int, text: str) -> str:
    """BASE with its line `number` (1-based) replaced."""
    lines = BASE.splitlines()
    lines[number - 1] = text
    return "\n".join(lines) + "\n"


def plus(*extra: str) -> str:
    return BASE + "\n".join(extra) + "\n"


NESTED_INI = f"""[ProductInformation]
PackageName=Nested.msi
Platfroms=NT:5.0
[ProductFeatures]
Complete
"""

CASES = [
    Case("demo medium", "DEMO", set()),
    Case("UTF-16 data file", ("\ufeff" + BASE.replace("\n", "\r\n")).encode("utf-16-le"), set()),
    Case("no ProductFeatures", BASE.replace("[ProductFeatures]\nComplete\n", ""),
         {("missing-section", "SETUP.INI", None, "error")}),
    Case("PackageName misspelt", with_line(2, "PackageNmae=KorvaneDemo.msi"),
         {("misspelt-key", "SETUP.INI", 2, "error"), ("missing-key", "SETUP.INI", 1, "error")}),
    Case("section misspelt", BASE.replace("[ProductFeatures]", "[ProductFeature]"),
         {("misspelt-section", "SETUP.INI", 4, "error"), ("missing-section", "SETUP.INI", None, "error")}),
    Case("bad section header", with_line(1, "[ProductInformation"), {("load", "SETUP.INI", 1, "error")}),
    Case("CheckRegKey root in lower case", plus("[ProductInformation]", "CheckRegKey=hklm,Software\\Korvane"),
         {("check-reg-key", "SETUP.INI", 9, "error")}),
    Case("Platforms number", with_line(3, "Platforms=NT:5.x"), {("platforms", "SETUP.INI", 3, "error")}),
    Case("MsiVersion text", with_line(3, "MsiVersion=two"), {("msi-version", "SETUP.INI", 3, "error")}),
    Case("MsiVersion below the package's", with_line(3, "MsiVersion=1.10"),
         {("msi-version-low", "SETUP.INI", 3, "warning")}),
    Case("AllowNTServer N", plus("[ProductInformation]", "AllowNTServer=N"),
         {("allow-nt-server", "SETUP.INI", 9, "warning")}),
    Case("https redistributable", with_line(3, "NTMsiInstaller=https://example.invalid/InstMsiW.exe"),
         {("installer-url", "SETUP.INI", 3, "error")}),
    Case("short pin", with_line(3, "NTMsiInstallerSHA256=abc123"), {("sha256", "SETUP.INI", 3, "error")}),
    Case("redistributable unlike its pin", with_line(3, "NTMsiInstallerSHA256=" + "0" * 64),
         {("redistributable-pin", "SETUP.INI", 3, "error")}, files={"INSNTMSI.EXE": b"MZ redistributable"}),
    Case("shutdown timeout", plus("[ShutdownApplication]", "KorvaneMain,5s"),
         {("shutdown-number", "SETUP.INI", 9, "warning")}),
    Case("upgrade action", plus("[UpgradeConditions]", f"{PRODUCT},,LEAVE", f"{OTHER},1.0-1.9,KEEP"),
         {("upgrade-entry", "SETUP.INI", 10, "error")}),
    Case("upgrade range", plus("[UpgradeConditions]", f"{PRODUCT},,LEAVE", f"{OTHER},1.0 - 1.9,REMOVE"),
         {("upgrade-entry", "SETUP.INI", 10, "error")}),
    Case("upgrade without the own product", plus("[UpgradeConditions]", f"{OTHER},1.0-1.9,REMOVE"),
         {("upgrade-own-product", "SETUP.INI", 8, "warning")}),
    Case("launch entry with '='", with_line(7, f"{WELCOME},/user=Pat"), {("launch-equals", "SETUP.INI", 7, "error")}),
    Case("launch component not in the package", with_line(7, f"{OTHER},--welcome"),
         {("unknown-component", "SETUP.INI", 7, "error")}),
    Case("feature not in the package", with_line(5, "complete"), {("unknown-feature", "SETUP.INI", 5, "error")}),
    Case("comment in a list", with_line(5, "Complete\n; the only feature"),
         {("comment-entry", "SETUP.INI", 6, "warning"), ("unknown-feature", "SETUP.INI", 6, "error")}),
    Case("own product as earlier version", plus("[PreviousVersionUninstall]", PRODUCT),
         {("removes-own-product", "SETUP.INI", 9, "error")}),
    Case("own product removed by an upgrade", plus("[UpgradeConditions]", f"{PRODUCT.lower()},,REMOVE"),
         {("removes-own-product", "SETUP.INI", 9, "error")}),
    Case("own product as software in the way", plus("[IncompatibleAppExit]", PRODUCT),
         {("own-product", "SETUP.INI", 9, "warning")}),
    Case("display name where a product code belongs", plus("[IncompatibleAppExit]", "Fabrikam MapViewer 2.0"),
         {("uninstall-key-name", "SETUP.INI", 9, "warning")}),
    Case("UpgradeCode in lower case", plus("[IncompatibleAppUninstall]", UPGRADE.lower()),
         {("upgrade-code", "SETUP.INI", 9, "error")}),
    Case("UTF-16 big-endian data file", ("\ufeff" + BASE.replace("\n", "\r\n")).encode("utf-16-be"),
         {("encoding", "SETUP.INI", 1, "error")}),
    Case("empty PackageName", with_line(2, "PackageName="), {("package-missing", "SETUP.INI", 2, "error")}),
    Case("nested data file quoted, with a blank", with_line(3, f'NestedInstall={OTHER},"Acme Tools\\SETUP.INI" /qb'),
         {("nested-product-code", "SETUP.INI", 3, "error"), ("misspelt-key", "Acme Tools\\SETUP.INI", 3, "error")},
         files={"nested:Acme Tools": NESTED_INI}),
    Case("product code without braces", plus("[IncompatibleAppExit]", OTHER.strip("{}")),
         {("product-code", "SETUP.INI", 9, "error")}),
    Case("package missing", with_line(2, "PackageName=Missing.msi"), {("package-missing", "SETUP.INI", 2, "error")}),
    Case("package not a database", BASE, {("package-unreadable", "SETUP.INI", 2, "error")},
         files={"KorvaneDemo.msi": b"not a package\r\n"}),
    Case("nested data file missing", with_line(3, f"NestedInstall={NESTED},Tools\\SETUP.INI,ONEREBOOT"),
         {("nested-data-file", "SETUP.INI", 3, "error")}),
    Case("nested setup", with_line(3, f"NestedInstall={OTHER},nested\\SETUP.INI,ONEREBOOT"),
         {("nested-product-code", "SETUP.INI", 3, "error"), ("misspelt-key", "nested\\SETUP.INI", 3, "error")},
         files={"nested": NESTED_INI}),
    Case("UTF-8 without a byte order mark", "; Café Korvane\n" + BASE,
         {("utf8-without-bom", "SETUP.INI", 1, "warning")}),
    Case("key set twice", plus("[ProductInformation]", "PackageName=Other.msi"),
         {("duplicate-key", "SETUP.INI", 9, "warning")}),
    Case("character outside the code page", "\ufeff; Продукт Korvane\n" + BASE,
         {("encoding", "SETUP.INI", 1, "error")}),
    Case("UTF-16 without a byte order mark", BASE.replace("\n", "\r\n").encode("utf-16-le"),
         {("encoding", "SETUP.INI", 1, "error")}),
    Case("UpgradeCode as a condition", plus("[UpgradeConditions]", f"{PRODUCT},,LEAVE", f"{UPGRADE},1.0-1.9,REMOVE"),
         {("upgrade-code", "SETUP.INI", 10, "error")}),
    Case("UpgradeCode as software in the way", plus("[IncompatibleAppExit]", UPGRADE),
         {("upgrade-code", "SETUP.INI", 9, "error")}),
    Case("GUID with the letter O", plus("[PreviousVersionUninstall]", OTHER[:-2] + "O}"),
         {("guid-not-hex", "SETUP.INI", 9, "error")}),
    Case("key in the wrong case", with_line(3, "MSIVersion=2.0"), {("misspelt-key", "SETUP.INI", 3, "error")}),
    Case("key a letter short", with_line(3, f"NestedInstal={NESTED},nested\\SETUP.INI"),
         {("misspelt-key", "SETUP.INI", 3, "error")}),
    Case("section a letter long", plus("[ShutdownApplications]", "KorvaneMain"),
         {("misspelt-section", "SETUP.INI", 8, "error")}),
    Case("unknown key", plus("[ProductInformation]", "Publisher=Korvane"),
         {("unknown-key", "SETUP.INI", 9, "warning")}),
    Case("version range with a letter", plus("[UpgradeConditions]", f"{PRODUCT},,LEAVE", f"{OTHER},2.x,REMOVE"),
         {("version-letter", "SETUP.INI", 10, "warning")}),
    Case("MsiVersion above the package's", with_line(3, "MsiVersion=3.1"),
         {("msi-version-high", "SETUP.INI", 3, "warning")}),
    Case("MsiVersion above the last Windows Installer", with_line(3, "MsiVersion=6.0"),
         {("msi-version-too-new", "SETUP.INI", 3, "error")}),
    Case("product removed and refused", plus("[UpgradeConditions]", f"{PRODUCT},,LEAVE", f"{OTHER},1.0-1.9,REMOVE",
                                             "[IncompatibleAppExit]", OTHER.lower()),
         {("refuses-removed-product", "SETUP.INI", 12, "error")}),
    Case("launch component whose key path is a registry value", with_line(7, f"{SETTINGS},--welcome"),
         {("launch-key-path", "SETUP.INI", 7, "error")}),
    Case("nested data file with a blank, unquoted", with_line(3, f"NestedInstall={NESTED},Acme Tools\\SETUP.INI /qb"),
         {("nested-path-unquoted", "SETUP.INI", 3, "error"), ("misspelt-key", "Acme Tools\\SETUP.INI", 3, "error")},
         files={"nested:Acme Tools": NESTED_INI}),
    Case("language data file", BASE, {("misspelt-key", "Lang\\DE.INI", 3, "error")},
         files={"Lang/KorvaneDemo.msi": "package", "Lang/DE.INI": with_line(3, "MSIVersion=2.0").encode(),
                "desktop.ini": b"[.ShellClassInfo]\r\nIconResource=setup.ico,0\r\n"}),
    Case("package name in code page 1252", with_line(2, "PackageName=Comptabilité.msi").encode("cp1252"), set(),
         files={"Comptabilité.msi": "package"}),
    Case("package name in other capitals", with_line(2, "PackageName=COMPTABILITÉ.MSI").encode("cp1252"), set(),
         files={"Comptabilité.msi": "package"}),
    Case("package name in UTF-8 without a byte order mark", with_line(2, "PackageName=Comptabilité.msi"),
         {("utf8-without-bom", "SETUP.INI", 2, "warning"), ("package-missing", "SETUP.INI", 2, "error")},
         files={"Comptabilité.msi": "package"}),
]


def build_packages(work: Path) -> dict:
    """The demo package and a nested one (another product code), built with wixl; both also
    hold a component whose key path is a registry value."""
    work.mkdir(parents=True, exist_ok=True)
    (work / "readme.txt").write_text("Korvane Demo\r\n")
    (work / "welcome.exe").write_bytes(b"MZ welcome")
    wxs = (SOURCE_ROOT / "tools" / "demo" / "product.wxs").read_text().replace("""
        </Directory>""", f"""
          <Component Id="Settings" Guid="{SETTINGS}">
            <RegistryValue Root="HKLM" Key="Software\\Korvane\\Demo" Name="Installed" Type="integer" Value="1"
                           KeyPath="yes"/>
          </Component>
        </Directory>""", 1)
    wxs = wxs.replace('<ComponentRef Id="Welcome"/>', '<ComponentRef Id="Welcome"/><ComponentRef Id="Settings"/>')
    packages = {}
    for name, code in (("KorvaneDemo.msi", PRODUCT), ("Nested.msi", NESTED)):
        source = work / (name + ".wxs")
        source.write_text(wxs.replace(PRODUCT, code))
        subprocess.run(["wixl", "-o", name, source.name], cwd=work, check=True, capture_output=True)
        packages[name] = work / name
    return packages


def lay_out(case: Case, folder: Path, packages: dict) -> Path:
    """The case's medium in `folder`: SETUP.INI (CR LF), the demo package, extra files."""
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copy(packages["KorvaneDemo.msi"], folder / "KorvaneDemo.msi")
    ini = case.ini
    if ini == "DEMO":
        ini = (SOURCE_ROOT / "tools" / "demo" / "SETUP.INI").read_text()
    if isinstance(ini, str):
        ini = ini.replace("\n", "\r\n").encode("utf-8")
    (folder / "SETUP.INI").write_bytes(ini)
    for name, content in case.files.items():
        if name.split(":")[0] == "nested":  # "nested", or "nested:FOLDER"
            nested = folder / name.partition(":")[2] if ":" in name else folder / "nested"
            nested.mkdir()
            shutil.copy(packages["Nested.msi"], nested / "Nested.msi")
            (nested / "SETUP.INI").write_bytes(content.replace("\n", "\r\n").encode())
        elif content == "package":
            (folder / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy(packages["KorvaneDemo.msi"], folder / name)
        else:
            (folder / name).parent.mkdir(parents=True, exist_ok=True)
            (folder / name).write_bytes(content)
    return folder


def found(findings: list) -> set:
    return {(f["code"], f["file"], f["line"], f["severity"]) for f in findings}


def sha256(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest()


def summary(findings: list) -> str:
    """The line setupcheck writes on standard error after its findings."""
    counts = [(sum(f["severity"] == kind for f in findings), kind) for kind in ("error", "warning")]
    return ", ".join(f"{n} {kind}{'' if n == 1 else 's'}" for n, kind in counts if n) or "no findings"


def sarif_findings(log: dict) -> list:
    """A SARIF 2.1.0 log's results as --json findings; every result's rule is declared."""
    assert log["version"] == "2.1.0"
    run, = log["runs"]
    rules = {rule["id"]: rule["defaultConfiguration"]["level"] for rule in run["tool"]["driver"]["rules"]
             if rule["shortDescription"]["text"]}
    findings = []
    for result in run["results"]:
        assert result["level"] == rules[result["ruleId"]]
        location = result["locations"][0]["physicalLocation"]
        findings.append({"file": unquote(location["artifactLocation"]["uri"]).replace("/", "\\"),
                         "line": location.get("region", {}).get("startLine"), "severity": result["level"],
                         "code": result["ruleId"], "message": result["message"]["text"]})
    return findings

