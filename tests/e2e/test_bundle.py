"""Setup.exe bundles made by tessaro-pack (the host build) from a copy of this build's Tessaro.exe: the demo add-on
installed through its Setup.exe, damaged bundles, a signed one, a full disk, and the unpacked folder's name and its
cleanup while a program a task started still runs from it."""

from __future__ import annotations

import os
import random
import re
import shutil
import struct
import subprocess
import time
import zlib
from pathlib import Path

import pytest

import harness
from corel_standin import MARKER_EXE, StandIn, kill_leftover_servers
from test_install_runs import install
from tessaro_ui import BOX_TITLE, EXIT_CLOSED, EXIT_INSTALLED, SUCCESS

PACK = harness.REPO_ROOT / "build" / "host" / "tools" / "tessaro_pack" / "tessaro-pack"
LOCKER_EXE = harness.BUILD_DIR / "file_locker.exe"
FILEINFO_EXE = harness.BUILD_DIR / "fileinfo.exe"
SAMPLE_ADDON = harness.REPO_ROOT / "samples" / "demo-addon"
EXIT_BUNDLE_DAMAGED = 9
DAMAGED = "安装程序已损坏（可能没有下载完整），无法安装。\r\n请重新下载安装程序。"
DEMO_TITLE = "宏工具箱 1.0 安装程序"


@pytest.fixture
def standin(wine_env, request):
    kill_leftover_servers(wine_env)
    server = StandIn(wine_env, request.node.name)
    server.configure(CommandBars="Standard|Old Toolbox|Toolbox")
    server.register()
    yield server
    kill_leftover_servers(wine_env)


@pytest.fixture(scope="module")
def pack() -> Path:
    if not PACK.exists():
        pytest.skip(f"{PACK} is not built (scripts/build host)")
    return PACK


def make_setup(pack: Path, folder: Path, target: Path, *options: str) -> subprocess.CompletedProcess:
    target.parent.mkdir(parents=True, exist_ok=True)
    return subprocess.run([str(pack), "--stub", str(harness.TESSARO_EXE), *options, str(folder), "-o", str(target)],
                          capture_output=True, text=True, timeout=120)


def demo_folder(tmp_path: Path, extra_ini: str = "", extra: dict[str, bytes] | None = None) -> Path:
    folder = tmp_path / "宏工具箱"
    shutil.copytree(SAMPLE_ADDON, folder)
    shutil.copy2(MARKER_EXE, folder / "welcome.exe")
    if extra_ini:
        ini = folder / "InstInfo.ini"
        ini.write_bytes(ini.read_bytes() + extra_ini.encode("gbk"))
    for name, data in (extra or {}).items():
        (folder / name).write_bytes(data)
    return folder


def sign(tmp_path: Path, unsigned: Path, signed: Path) -> subprocess.CompletedProcess:
    """Signs with a throw-away certificate, as a maker would with theirs; returns what osslsigncode verify said."""
    key, cert = tmp_path / "key.pem", tmp_path / "cert.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", str(key), "-out",
                    str(cert), "-days", "2", "-subj", "/CN=Tessaro test signer"], check=True, capture_output=True)
    signed.parent.mkdir(parents=True, exist_ok=True)
    signed.unlink(missing_ok=True)
    subprocess.run(["osslsigncode", "sign", "-certs", str(cert), "-key", str(key), "-n", "宏工具箱", "-in",
                    str(unsigned), "-out", str(signed)], check=True, capture_output=True)
    return subprocess.run(["osslsigncode", "verify", "-CAfile", str(cert), "-in", str(signed)],
                          capture_output=True, text=True)


def icon_images(ico: bytes) -> list[tuple[int, int, int, bytes]]:
    """Width, height, bit count and bytes of each picture of an .ico file, in order."""
    _, kind, count = struct.unpack_from("<HHH", ico)
    assert kind == 1
    images = []
    for i in range(count):
        width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
        images.append((width, height, bits, ico[offset:offset + size]))
    return images


def file_info(env: harness.WineEnv, exe: Path) -> dict[str, list[str]]:
    """What Windows reads from the exe's resources (fileinfo.exe), each fact's values by its name."""
    result = env.run([str(FILEINFO_EXE), env.windows_path(exe)], timeout=60)
    assert result.returncode == 0, result
    facts: dict[str, list[str]] = {}
    for line in result.stdout.decode("utf-8").splitlines():
        name, _, value = line.partition("\t")
        facts.setdefault(name, []).append(value)
    return facts


def unpacked_folders(env: harness.WineEnv) -> list[Path]:
    return sorted(p for p in (env.drive_c / "users").glob("*/**/Temp/Tessaro-*") if p.is_dir())


def end_lockers(env: harness.WineEnv) -> None:
    """Ends this prefix's file_locker.exe processes and waits until they are gone."""
    prefix = b"WINEPREFIX=" + str(env.prefix).encode()
    for proc in Path("/proc").iterdir():
        try:
            if b"file_locker.exe" in (proc / "cmdline").read_bytes() and \
                    prefix in (proc / "environ").read_bytes().split(b"\0"):
                proc_id = int(proc.name)
                subprocess.run(["kill", "-9", str(proc_id)], check=False)
        except (OSError, ValueError):
            continue
    time.sleep(2)


def run_setup(env: harness.WineEnv, setup: Path, *args: str, limit: float = 60) -> int:
    proc = env.popen([env.windows_path(setup), *args], cwd=setup.parent, name=setup.name)
    try:
        return proc.wait(limit)
    finally:
        proc.kill()


@pytest.mark.x86
def test_the_demo_installs_through_its_setup_exe(wine_env, driver, standin, tessaro_log, pack, tmp_path):
    result = make_setup(pack, demo_folder(tmp_path), wine_env.drive_c / "downloads" / "宏工具箱-Setup.exe")
    assert result.returncode == 0, result.stderr
    assert "left out (no task names it): README.md" in result.stdout
    setup = wine_env.drive_c / "downloads" / "宏工具箱-Setup.exe"
    gms = standin.folders["GMSPath"]

    # With the window and /log: the installer runs as if started in the add-on's folder, which is the private
    # folder it unpacked, and that folder is gone once the program has ended.
    proc = wine_env.popen([wine_env.windows_path(setup), "/log"], cwd=setup.parent, name="setup-window")
    box = install(driver, DEMO_TITLE, proc)
    assert box["text"] == SUCCESS
    assert proc.wait(30) == EXIT_INSTALLED
    assert (gms / "MacroToolbox.gms").read_bytes() == (SAMPLE_ADDON / "MacroToolbox.gms").read_bytes()
    runs = [m for m in tessaro_log.messages() if m.startswith("准备运行外部程序：")]
    assert len(runs) == 1 and "\\Temp\\Tessaro-" in runs[0] and runs[0].endswith("\\welcome.exe /firstrun"), runs
    # Only welcome.exe, started last and perhaps still running, can keep the folder, and then nothing else in it.
    left = unpacked_folders(wine_env)
    assert len(left) <= 1 and all({p.name for p in folder.iterdir()} <= {"welcome.exe"} for folder in left), left

    # Unattended and without a log, as a deployment tool starts it; it sweeps what the last run had to leave.
    (gms / "MacroToolbox.gms").unlink()
    kill_leftover_servers(wine_env)
    assert run_setup(wine_env, setup, "/S") == EXIT_INSTALLED
    assert (gms / "MacroToolbox.gms").exists()
    assert not set(left) & set(unpacked_folders(wine_env))


@pytest.mark.x86
def test_the_folder_name_comes_from_rtlgenrandom_and_from_cryptoapi_without_it(wine_env, driver, pack, tmp_path):
    """The unpacked folder's random name: RtlGenRandom where Windows has it, so no cryptographic provider is
    loaded before the window; CryptoAPI on Windows 2000, which lacks it (the test build told to hide it). Wine's
    loader trace shows which road each start took."""
    folder = demo_folder(tmp_path)
    plain = wine_env.drive_c / "downloads" / "random-Setup.exe"
    fallback = wine_env.drive_c / "downloads" / "random-w2k-Setup.exe"
    assert make_setup(pack, folder, plain).returncode == 0
    assert make_setup(pack, folder, fallback, "--stub", str(harness.BUILD_DIR / "Tessaro-api-fallback.exe")) \
        .returncode == 0
    saved = dict(wine_env.env)
    loaded = {}
    try:
        wine_env.env.update(WINEDEBUG="+loaddll", TESSARO_TEST_HIDE_APIS="SystemFunction036")
        for setup in (plain, fallback):
            before = set(unpacked_folders(wine_env))
            proc = wine_env.popen([wine_env.windows_path(setup)], cwd=setup.parent, name=setup.stem)
            driver.wait_window(DEMO_TITLE, timeout=30)
            new = set(unpacked_folders(wine_env)) - before
            driver.close(DEMO_TITLE)
            assert proc.wait(30) == EXIT_CLOSED
            assert len(new) == 1 and re.fullmatch("Tessaro-[0-9a-f]{16}", new.pop().name), new
            assert set(unpacked_folders(wine_env)) <= before
            trace = sorted(wine_env.log_dir.glob(f"*-{setup.stem}.stderr"))[-1].read_text(errors="replace").lower()
            assert "loaded l\"" in trace, "the loader trace is empty"
            loaded[setup] = "rsaenh.dll" in trace
    finally:
        wine_env.env.clear()
        wine_env.env.update(saved)
    assert loaded == {plain: False, fallback: True}


def test_a_big_setup_exe_shows_its_window_while_unpacking_and_installs_every_byte(wine_env, driver, standin, pack,
                                                                                 tmp_path):
    """The window's files come out first and the rest behind the window: closing it at once stops the unpacking
    and leaves nothing; an install waits for the last byte."""
    title = "大型附加组件"
    folder = tmp_path / "big"
    folder.mkdir()
    (folder / "InstInfo.ini").write_bytes(
        f"setuptitle={title}\r\nflagspicture=cover.bmp\r\nfileitem=c|Big.gms|1|gmspath|正在复制...\r\n".encode("gbk"))
    (folder / "cover.bmp").write_bytes((SAMPLE_ADDON / "MacroToolbox.gms").read_bytes())  # not a picture: the banner
    big = random.Random(13).randbytes(6 * 1024 * 1024) + b"end"
    (folder / "Big.gms").write_bytes(big)
    setup = wine_env.drive_c / "downloads" / "big-Setup.exe"
    assert make_setup(pack, folder, setup).returncode == 0

    proc = wine_env.popen([wine_env.windows_path(setup)], cwd=setup.parent, name="setup-close")
    driver.wait_window(title, timeout=60)
    driver.close(title)
    assert proc.wait(60) == EXIT_CLOSED
    assert unpacked_folders(wine_env) == []

    proc = wine_env.popen([wine_env.windows_path(setup)], cwd=setup.parent, name="setup-install")
    assert install(driver, title, proc)["text"] == SUCCESS
    assert proc.wait(30) == EXIT_INSTALLED
    assert (standin.folders["GMSPath"] / "Big.gms").read_bytes() == big
    assert unpacked_folders(wine_env) == []


@pytest.mark.x86
def test_a_damaged_setup_exe_says_so_and_unpacks_nothing(wine_env, driver, pack, tmp_path):
    whole = wine_env.drive_c / "downloads" / "whole-Setup.exe"
    assert make_setup(pack, demo_folder(tmp_path), whole).returncode == 0
    data = whole.read_bytes()
    stub_size = harness.TESSARO_EXE.stat().st_size

    cut = whole.with_name("cut-Setup.exe")
    cut.write_bytes(data[:stub_size + (len(data) - stub_size) // 2])
    proc = wine_env.popen([wine_env.windows_path(cut)], cwd=cut.parent, name="cut")
    box = driver.wait_msgbox(BOX_TITLE, timeout=30)
    assert (box["text"], box["icon"]) == (DAMAGED, "error")
    driver.press_msgbox("OK")
    assert proc.wait(30) == EXIT_BUNDLE_DAMAGED

    flipped = bytearray(data)
    flipped[-100] ^= 0x10
    for name, bytes_ in (("flipped-Setup.exe", bytes(flipped)), ("tail-Setup.exe", data + b"<html>ad</html>")):
        damaged = whole.with_name(name)
        damaged.write_bytes(bytes_)
        assert run_setup(wine_env, damaged, "/S", limit=30) == EXIT_BUNDLE_DAMAGED, name
    assert unpacked_folders(wine_env) == []


def test_a_signed_setup_exe_verifies_and_runs(wine_env, standin, pack, tmp_path):
    unsigned = tmp_path / "Setup.exe"
    assert make_setup(pack, demo_folder(tmp_path), unsigned).returncode == 0
    signed = wine_env.drive_c / "downloads" / "signed-Setup.exe"
    verified = sign(tmp_path, unsigned, signed)
    assert verified.returncode == 0, verified.stdout + verified.stderr
    assert signed.stat().st_size > unsigned.stat().st_size
    assert run_setup(wine_env, signed, "/S") == EXIT_INSTALLED
    assert (standin.folders["GMSPath"] / "MacroToolbox.gms").exists()


@pytest.mark.x86
def test_a_setup_exe_shows_the_makers_icon_and_version_and_still_signs_and_installs(wine_env, standin, pack,
                                                                                    tmp_path):
    """Windows reads the maker's icon and version strings from the Setup.exe; what was not given stays ours, and
    the file still signs, verifies and installs."""
    ico = tmp_path / "maker.ico"
    subprocess.run(["convert", "-size", "48x48", "xc:none", "-fill", "#1e90ff", "-draw", "circle 24,24 24,3",
                    "-fill", "#ffd700", "-draw", "rectangle 15,15 32,32", "-define", "icon:auto-resize=48,32,16",
                    str(ico)], check=True, capture_output=True)
    images = icon_images(ico.read_bytes())
    setup = tmp_path / "branded-Setup.exe"
    result = make_setup(pack, demo_folder(tmp_path), setup, "--icon", str(ico), "--version", "ProductName=宏工具箱",
                        "--version", "companyname=某某工作室", "--version", "ProductVersion=2.1",
                        "--version", "LegalCopyright=© 2026 某某工作室 · Ltd.")
    assert result.returncode == 0, result.stderr

    ours, theirs = file_info(wine_env, harness.TESSARO_EXE), file_info(wine_env, setup)
    assert theirs["string ProductName"] == ["宏工具箱"]
    assert theirs["string CompanyName"] == ["某某工作室"]
    assert theirs["string ProductVersion"] == ["2.1"]
    assert theirs["string LegalCopyright"] == ["© 2026 某某工作室 · Ltd."]
    for kept in ("string FileDescription", "string FileVersion", "string OriginalFilename", "translation"):
        assert theirs[kept] == ours[kept], kept
    assert theirs["translation"] == ["0804 04b0"]
    file_version, product_version = theirs["fixed"][0].split("\t")
    assert (file_version, product_version) == (ours["fixed"][0].split("\t")[0], "2.1.0.0")
    # Each image of the application icon is the maker's, byte for byte, and Windows makes an icon of it.
    assert theirs["icon"] == [f"{w} {h} {bits} {len(data)} {zlib.crc32(data):08x} {w}x{h}"
                              for w, h, bits, data in images]
    assert theirs["icon"] != ours["icon"]
    header_sum, computed_sum = theirs["checksum"][0].split()
    assert header_sum == computed_sum != "00000000"
    # icoutils reads the same pictures.
    extracted = subprocess.run(["wrestool", "-x", "--type=14", "--name=1", str(setup)], capture_output=True,
                               check=True).stdout
    assert icon_images(extracted) == images

    signed = wine_env.drive_c / "downloads" / "branded-signed-Setup.exe"
    verified = sign(tmp_path, setup, signed)
    assert verified.returncode == 0, verified.stdout + verified.stderr
    assert run_setup(wine_env, signed, "/S") == EXIT_INSTALLED
    assert (standin.folders["GMSPath"] / "MacroToolbox.gms").read_bytes() == \
        (SAMPLE_ADDON / "MacroToolbox.gms").read_bytes()


NO_ROOM = "无法解压安装文件：临时文件夹空间不足或不能写入。\r\n请释放磁盘空间后再试。"
EXIT_BUNDLE_NO_ROOM = 10


def bitmap(width: int, height: int, seed: int) -> bytes:
    """A 24-bit BMP of noise, so that it is as large unpacked as it looks."""
    row = (width * 3 + 3) // 4 * 4
    pixels = random.Random(seed).randbytes(row * height)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info)) + info + pixels


@pytest.mark.x86
def test_a_setup_exe_that_runs_out_of_disk_says_so_and_leaves_nothing(wine_env, driver, pack, tmp_path):
    """The user's temporary folder on a 256 KiB file system, too small for the 1 MB cover picture that has to come
    out before the window: Setup.exe says so in its box (or, unattended, by its status alone), ends with status 10
    and removes what it had written."""
    if os.geteuid() != 0:
        pytest.skip("mounting a small file system needs root, as scripts/setup does")
    folder = demo_folder(tmp_path, "flagspicture=cover.bmp\r\n", {"cover.bmp": bitmap(600, 580, 7)})
    setup = wine_env.drive_c / "downloads" / "full-disk-Setup.exe"
    assert make_setup(pack, folder, setup).returncode == 0
    temp = next(p for p in (wine_env.drive_c / "users").glob("*/**/Temp") if p.is_dir() and p.parent.name != "Public")
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=256k", "tmpfs", str(temp)], check=True)
    try:
        proc = wine_env.popen([wine_env.windows_path(setup)], cwd=setup.parent, name="full-disk")
        box = driver.wait_msgbox(BOX_TITLE, timeout=30)
        assert (box["text"], box["icon"]) == (NO_ROOM, "error")
        driver.press_msgbox("OK")
        assert proc.wait(30) == EXIT_BUNDLE_NO_ROOM
        assert run_setup(wine_env, setup, "/S", limit=30) == EXIT_BUNDLE_NO_ROOM
        assert list(temp.iterdir()) == []
    finally:
        subprocess.run(["umount", str(temp)], check=True)


@pytest.mark.x86
def test_the_unpacked_folder_waits_for_a_program_still_running_from_it(wine_env, standin, pack, tmp_path):
    held = standin.root / "held.txt"
    held.write_bytes(b"held")
    folder = demo_folder(tmp_path, f"fileitem=r|file_locker.exe|0|{wine_env.windows_path(held)}|\r\n",
                         {"file_locker.exe": LOCKER_EXE.read_bytes()})
    setup = wine_env.drive_c / "downloads" / "locker-Setup.exe"
    assert make_setup(pack, folder, setup).returncode == 0
    assert run_setup(wine_env, setup, "/S") == EXIT_INSTALLED
    assert harness.wait_until(lambda: held.with_name("held.txt.locked").exists(), timeout=20)
    # The program keeps its folder while it runs...
    left = unpacked_folders(wine_env)
    assert len(left) == 1 and (left[0] / "file_locker.exe").exists()
    # ...and the next Setup.exe sweeps that folder away once the program has ended.
    end_lockers(wine_env)
    kill_leftover_servers(wine_env)
    assert run_setup(wine_env, setup, "/S") == EXIT_INSTALLED
    assert left[0] not in unpacked_folders(wine_env)
    end_lockers(wine_env)


def test_tessaro_pack_refuses_a_folder_the_installer_would_refuse(pack, tmp_path):
    folder = tmp_path / "broken"
    folder.mkdir()
    (folder / "InstInfo.ini").write_bytes("fileitem=c|缺少.gms|1|gmspath|\r\n".encode("gbk"))
    result = make_setup(pack, folder, tmp_path / "Setup.exe")
    assert result.returncode == 2
    assert "the required file 缺少.gms is not in the folder" in result.stderr
    (folder / "InstInfo.ini").write_bytes(b"setuptitle=no task\r\n")
    assert make_setup(pack, folder, tmp_path / "Setup.exe").returncode == 2
    assert not (tmp_path / "Setup.exe").exists()


def test_a_folder_dropped_on_tessaro_pack_exe_becomes_its_setup_exe(wine_env, driver, standin, tmp_path):
    """Explorer hands a dropped folder over as the only argument: the Windows tessaro-pack.exe writes
    "<folder>-Setup.exe" beside it and tells the result in a message box, in the user's language."""
    tool = wine_env.drive_c / "kit"
    tool.mkdir(exist_ok=True)
    shutil.copy2(harness.BUILD_DIR / "tessaro-pack.exe", tool / "tessaro-pack.exe")
    shutil.copy2(harness.TESSARO_EXE, tool / "Tessaro.exe")
    folder = wine_env.drive_c / "addons" / "拖放的插件"
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(demo_folder(tmp_path), folder)
    setup = folder.with_name("拖放的插件-Setup.exe")
    setup.unlink(missing_ok=True)
    proc = wine_env.popen([wine_env.windows_path(tool / "tessaro-pack.exe"), wine_env.windows_path(folder)],
                          cwd=tool, name="tessaro-pack")
    box = driver.wait_msgbox("tessaro-pack", timeout=60)
    assert box["icon"] == "information"
    assert "已打包：MacroToolbox.gms" in box["text"] and "未打包（没有任务用到）：README.md" in box["text"]
    assert "已生成 " + wine_env.windows_path(setup) in box["text"], box["text"]
    driver.press_msgbox("OK", title="tessaro-pack")
    assert proc.wait(30) == 0
    assert run_setup(wine_env, setup, "/S") == EXIT_INSTALLED
    assert (standin.folders["GMSPath"] / "MacroToolbox.gms").exists()

    # A folder the checker refuses: the box says why, with the error icon.
    (folder / "InstInfo.ini").write_bytes(b"setuptitle=no task\r\n")
    proc = wine_env.popen([wine_env.windows_path(tool / "tessaro-pack.exe"), wine_env.windows_path(folder)],
                          cwd=tool, name="tessaro-pack-refused")
    box = driver.wait_msgbox("tessaro-pack", timeout=60)
    assert box["icon"] == "error" and box["text"].startswith("拒绝："), box
    driver.press_msgbox("OK", title="tessaro-pack")
    assert proc.wait(30) == 2
