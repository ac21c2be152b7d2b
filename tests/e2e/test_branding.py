"""A publisher's own SETUP.EXE: built with their name, version and icon,
signed with their certificate by tools/sign.sh, and still installing the
demo product under Wine."""
import os
import shutil
import struct
import subprocess

import pytest

from conftest import SOURCE_ROOT, TOOLS_SH, WIN32_BUILD

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
DEFAULT_ICON = SOURCE_ROOT / "src" / "app" / "res" / "setup.ico"
BRAND = {"SETUP_COMPANY_NAME": "Northwind Traders", "SETUP_PRODUCT_NAME": 'Nordwind Büro "Ledger" \\ 3',
         "SETUP_FILE_DESCRIPTION": "Northwind Ledger Setup", "SETUP_COPYRIGHT": "© 2026 Northwind Traders",
         "SETUP_MANIFEST_NAME": "Northwind.Ledger.Setup", "SETUP_VERSION": "3.1.0.65535"}
DEFAULTS = {"SETUP_COMPANY_NAME": "Korvane", "SETUP_PRODUCT_NAME": "Korvane Install Exec Setup",
            "SETUP_FILE_DESCRIPTION": "Setup bootstrapper for Windows Installer packages", "SETUP_COPYRIGHT": "",
            "SETUP_MANIFEST_NAME": "Korvane.Setup", "SETUP_VERSION": "1.0.0.0"}
PASSWORD, DEMO_PRODUCT = "correct horse battery", "{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4D}"


def icon_images(path):
    data = path.read_bytes()
    entries = (struct.unpack_from("<8xII", data, 6 + 16 * i) for i in range(struct.unpack_from("<H", data, 4)[0]))
    return [data[offset:offset + size] for size, offset in entries]


def resources(exe):
    """The PE resource tree as {type: [(id, data), ...]} in directory order."""
    data = exe.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    root = struct.unpack_from("<I", data, pe + 24 + 96 + 2 * 8)[0]
    spans = [struct.unpack_from("<8xIIII", data, pe + 24 + optional_size + 40 * i) for i in range(sections)]
    at = lambda rva: next(raw + rva - va for vsize, va, rsize, raw in spans if va <= rva < va + max(vsize, rsize))

    def entries(offset):
        named, ids = struct.unpack_from("<HH", data, at(root + offset + 12))
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, at(root + offset + 16 + 8 * i))
            yield name, target & 0x7FFFFFFF
    tree = {}
    for kind, names in entries(0):
        for name, languages in entries(names):
            for _, leaf in entries(languages):
                rva, size = struct.unpack_from("<II", data, at(root + leaf))
                tree.setdefault(kind, []).append((name, data[at(rva):at(rva) + size]))
    return tree


def version_info(block):
    """VS_VERSIONINFO as (file version, product version, {string name: value})."""
    def node(pos):  # (key, value, children, length)
        length, value_length, text = struct.unpack_from("<HHH", block, pos)
        end = next(i for i in range(pos + 6, pos + length, 2) if block[i:i + 2] == b"\0\0")
        value, size = (end + 5) & ~3, value_length * (2 if text else 1)
        children, child = [], (value + size + 3) & ~3
        while child < pos + length:
            children.append(node(child))
            child = (child + children[-1][3] + 3) & ~3
        return block[pos + 6:end].decode("utf-16-le"), block[value:value + size], children, length
    _, fixed, children, _ = node(0)
    ms, ls, pms, pls = struct.unpack_from("<8x4I", fixed)
    numbers = lambda high, low: (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)
    table = next(c for c in children if c[0] == "StringFileInfo")[2][0]
    strings = {key: value.decode("utf-16-le").split("\0")[0] for key, value, _, _ in table[2]}
    return numbers(ms, ls), numbers(pms, pls), strings


def configure(build, **variables):
    return subprocess.run(["cmake", "--preset", "win32", "-B", build] + [f"-D{k}={v}" for k, v in variables.items()],
                          cwd=SOURCE_ROOT, capture_output=True, text=True, timeout=300)


@pytest.fixture(scope="module")
def branded(tmp_path_factory):
    """SETUP.EXE of a second win32 build (build/branded) configured with every
    SETUP_* variable, and the icon it was given."""
    icon = tmp_path_factory.mktemp("brand") / "ledger.ico"
    # In 16 colours, as the default icon: the size limit holds for a
    # publisher's program too.
    subprocess.run(["convert", "-size", "32x32", "xc:#2858c8", "-define", "icon:auto-resize=32,16", "-colors", "16", icon],
                   check=True)
    build = WIN32_BUILD.parent / "branded"
    configured = configure(build, **BRAND, SETUP_ICON=icon)
    assert configured.returncode == 0, configured.stdout + configured.stderr
    made = subprocess.run(["cmake", "--build", build, "--target", "setup_exe", "-j2"], capture_output=True, text=True)
    assert made.returncode == 0, made.stdout[-4000:] + made.stderr
    return build / "src" / "app" / "SETUP.EXE", icon


@pytest.mark.parametrize("build", ["default", "branded"])
def test_version_resource_icon_and_manifest_carry_the_brand(build, branded):
    exe, icon = branded if build == "branded" else (WIN32_BUILD / "src" / "app" / "SETUP.EXE", DEFAULT_ICON)
    brand = BRAND if build == "branded" else DEFAULTS
    version, tree = brand["SETUP_VERSION"], resources(exe)
    strings = {"CompanyName": brand["SETUP_COMPANY_NAME"], "ProductName": brand["SETUP_PRODUCT_NAME"],
               "FileDescription": brand["SETUP_FILE_DESCRIPTION"], "LegalCopyright": brand["SETUP_COPYRIGHT"],
               "FileVersion": version, "ProductVersion": version, "InternalName": "SETUP",
               "OriginalFilename": "SETUP.EXE"}
    numbers = tuple(int(n) for n in version.split("."))
    assert version_info(tree[RT_VERSION][0][1]) == (numbers, numbers, {k: v for k, v in strings.items() if v})
    # Explorer shows the first icon group; its images are the icon file's.
    group = tree[RT_GROUP_ICON][0][1]
    ids = [struct.unpack_from("<H", group, 18 + 14 * i)[0] for i in range(struct.unpack_from("<H", group, 4)[0])]
    assert [dict(tree[RT_ICON])[i] for i in ids] == icon_images(icon)
    assert f'name="{brand["SETUP_MANIFEST_NAME"]}" version="{version}"'.encode() in tree[RT_MANIFEST][0][1]


@pytest.mark.parametrize("variable,value,message", [
    ("SETUP_VERSION", "3.1.0", "SETUP_VERSION '3.1.0' is not a version SETUP.EXE can carry"),
    ("SETUP_VERSION", "3.1.0.65536", "SETUP_VERSION '3.1.0.65536' is not a version"),
    ("SETUP_ICON", "missing.ico", "SETUP_ICON '{tmp}/missing.ico' is not a file"),
    ("SETUP_ICON", "arrow.cur", "SETUP_ICON '{tmp}/arrow.cur' is not an icon file"),
    ("SETUP_MANIFEST_NAME", "Northwind Ledger", "SETUP_MANIFEST_NAME 'Northwind Ledger' is not an assembly name"),
])
def test_a_bad_value_stops_the_configure_step(variable, value, message, tmp_path):
    # A cursor file: the icon's header with type 2.
    (tmp_path / "arrow.cur").write_bytes(DEFAULT_ICON.read_bytes().replace(b"\0\0\1\0", b"\0\0\2\0", 1))
    value = tmp_path / value if variable == "SETUP_ICON" else value
    build = WIN32_BUILD.parent / "branded-refused"
    result = configure(build, **(DEFAULTS | {"SETUP_ICON": DEFAULT_ICON, variable: value}))
    assert result.returncode != 0
    assert message.format(tmp=tmp_path) in " ".join(result.stderr.split())
    cache = (build / "CMakeCache.txt").read_text()
    assert f"{variable}:" not in cache, "a bad value is not kept for the next configure"


@pytest.fixture(scope="module")
def certificate(tmp_path_factory):
    """A throw-away certificate authority and a code-signing certificate it
    issued: the PKCS#12 file (password PASSWORD) and the authority's PEM."""
    pki = tmp_path_factory.mktemp("pki")
    subprocess.run(["bash", "-ec", """
        openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj '/CN=Throwaway Test CA' \
          -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
        openssl req -newkey rsa:2048 -nodes -keyout sign.key -out sign.csr -subj '/CN=Northwind Traders'
        printf 'keyUsage=critical,digitalSignature\\nextendedKeyUsage=codeSigning\\n' > ext
        openssl x509 -req -in sign.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile ext -out sign.pem
        openssl pkcs12 -export -inkey sign.key -in sign.pem -certfile ca.pem -out sign.p12 -passout env:PASSWORD"""],
                   cwd=pki, check=True, capture_output=True, env=dict(os.environ, PASSWORD=PASSWORD))
    return pki / "sign.p12", pki / "ca.pem"


def sign(exe, certificate, password=PASSWORD):
    return subprocess.run(["bash", TOOLS_SH / "sign.sh", "--pkcs12", certificate[0], "--password-env", "LEDGER_PASSWORD",
                           "--name", "Northwind Ledger", "--url", "https://northwind.example/ledger",
                           "--ca", certificate[1], exe],
                          env=dict(os.environ, LEDGER_PASSWORD=password), capture_output=True, text=True)


def test_signed_setup_exe_verifies_and_a_changed_byte_does_not(branded, certificate, tmp_path):
    exe = tmp_path / "SETUP.EXE"
    shutil.copyfile(branded[0], exe)
    (tmp_path / "other-ca.pem").write_text("")
    # A wrong password stops the signing; a root that is not the issuer, the verification.
    for refused in (sign(exe, certificate, password="wrong"), sign(exe, (certificate[0], tmp_path / "other-ca.pem"))):
        assert refused.returncode == 1 and exe.read_bytes() == branded[0].read_bytes(), refused.stderr
    signed = sign(exe, certificate)
    assert signed.returncode == 0, signed.stdout + signed.stderr
    assert sorted(os.listdir(tmp_path)) == ["SETUP.EXE", "other-ca.pem"], "no signed copy is left beside it"
    verify = lambda: subprocess.run(["osslsigncode", "verify", "-CAfile", certificate[1], "-in", exe],
                                    capture_output=True, text=True)
    verified = verify()
    assert verified.returncode == 0, verified.stdout + verified.stderr
    for line in ("Message digest algorithm  : SHA256", "Text description: Northwind Ledger",
                 "URL description: https://northwind.example/ledger"):
        assert line in verified.stdout
    checked = subprocess.run([TOOLS_SH / "check-setup-exe.sh", exe], capture_output=True, text=True)
    assert checked.returncode == 0, checked.stdout
    data = bytearray(exe.read_bytes())
    data[len(data) // 3] ^= 0x01  # a byte that the signature covers
    exe.write_bytes(data)
    assert verify().returncode != 0


def test_signed_setup_exe_installs_the_demo_product(branded, certificate, gui_prefix, tools, tmp_path):
    shutil.copytree(SOURCE_ROOT / "tools" / "demo", tmp_path / "wxs")
    (tmp_path / "wxs" / "readme.txt").write_text("Korvane Demo\n")
    shutil.copyfile(tools.child, tmp_path / "wxs" / "welcome.exe")
    medium = gui_prefix.drive_c / "signed_medium"
    medium.mkdir(exist_ok=True)
    subprocess.run(["wixl", "-o", medium / "KorvaneDemo.msi", "product.wxs"], cwd=tmp_path / "wxs", check=True)
    (medium / "SETUP.INI").write_bytes((tmp_path / "wxs" / "SETUP.INI").read_bytes().replace(b"\n", b"\r\n"))
    shutil.copyfile(branded[0], medium / "SETUP.EXE")
    assert sign(medium / "SETUP.EXE", certificate).returncode == 0
    try:
        result = gui_prefix.run([medium / "SETUP.EXE", "/qn"], env={"KQSETUP": "LOG"})
        assert result.exit_code == 0, gui_prefix.setup_log()
        uninstall = rf"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\{DEMO_PRODUCT}"
        assert gui_prefix.reg_query(uninstall, "DisplayName") == "Korvane Demo"
    finally:
        gui_prefix.wine(["msiexec", "/x", DEMO_PRODUCT, "/qn"], check=False)
        shutil.rmtree(medium, ignore_errors=True)
