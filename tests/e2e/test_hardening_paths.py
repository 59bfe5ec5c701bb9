"""Hostile and odd paths in whole installs against the stand-in CorelDRAW: an add-on folder whose name holds blanks,
Chinese and characters that code page 936 cannot write; task fields with sub-folders, "..", a trailing dot or a
trailing blank; a target folder that CorelDRAW answers with forward slashes; an add-on folder and a target folder
longer than MAX_PATH.

Every case either works or ends in the installer's own message box, never crashes (a final box, then exit status 0
or 1), never touches a file it did not name (all of drive C outside Windows' own folders is compared before and
after) and leaves a log that still reads as GBK. Tessaro runs with winedbg switched off, so a crash ends the
process instead of leaving a debugger waiting. Three install runs carry all of it."""

from __future__ import annotations

import hashlib
import shutil
import time
from pathlib import Path
from typing import Optional

import pytest

import harness
from corel_standin import MARKER_EXE, read_ran
from tessaro_ui import (BOX_TITLE, CMD_INSTALL, CONFIRM, EXIT_FAILED, EXIT_INSTALLED, EXIT_LINES, SUCCESS,
                        unexpected)
from test_hardening_dll_planting import OwnStandIn, start_tessaro
from test_install_runs import task_messages

NO_DEBUGGER = "winedbg.exe=d"
COPY_REFUSED = unexpected("无法复制文件到目标位置", -2147221503)
# What CreateProcessW says under Wine for a program whose path is longer than MAX_PATH (0x80070002).
PROGRAM_NOT_FOUND = unexpected("找不到文件", -2147024894)
SYSTEM_FOLDERS = {"windows", "users", "programdata", "program files", "program files (x86)"}
LONG_SEGMENT = "0123456789abcdefghijklmnopqrstuvwxyz_-=+"  # 40 characters; seven of them pass MAX_PATH

# A folder name with blanks, Chinese, Greek (its plain letters are in code page 936, "ά" is not), "é" and "ü" (in
# 936 for pinyin), "ñ" (not in 936) and an emoji outside the Basic Multilingual Plane (a surrogate pair in UTF-16).
ODD_NAME = "插件 Ελληνικά ñ é ü 😀"
# How the log writes that name: WideCharToMultiByte puts "?" for each UTF-16 unit code page 936 lacks, so the
# emoji's surrogate pair becomes "??".
ODD_NAME_IN_LOG = "插件 Ελληνικ? ? é ü ??"


@pytest.fixture
def standin(wine_env, request):
    server = OwnStandIn(wine_env, request.node.name)
    server.end_servers()
    yield server
    server.end_servers()


def snapshot(env: harness.WineEnv) -> dict[str, tuple]:
    """Every folder and file of drive C outside Windows' own folders: size, modification time and content hash."""
    entries: dict[str, tuple] = {}
    for top in env.drive_c.iterdir():
        if top.name.lower() in SYSTEM_FOLDERS:
            continue
        for path in [top, *top.rglob("*")] if top.is_dir() else [top]:
            relative = path.relative_to(env.drive_c).as_posix()
            if path.is_dir():
                entries[relative + "/"] = ("folder",)
            else:
                stat = path.stat()
                entries[relative] = (stat.st_size, stat.st_mtime_ns, hashlib.sha1(path.read_bytes()).hexdigest())
    return entries


def changes(before: dict[str, tuple], after: dict[str, tuple], standin: OwnStandIn) -> dict[str, list[str]]:
    """What the run added, removed and changed, leaving out the log and the stand-in's journal."""
    ignored = {harness.LOG_NAME, (standin.programs / "CorelDRW.journal").relative_to(standin.env.drive_c).as_posix()}
    return {
        "added": sorted(k for k in after.keys() - before.keys() if k not in ignored),
        "removed": sorted(k for k in before.keys() - after.keys() if k not in ignored),
        "changed": sorted(k for k in before.keys() & after.keys() if before[k] != after[k] and k not in ignored),
    }


def relative(env: harness.WineEnv, path: Path) -> str:
    return path.relative_to(env.drive_c).as_posix()


def install_to_the_end(driver: harness.Driver, title: str, proc: harness.WineProcess,
                       timeout: float = 90) -> Optional[dict]:
    """Install, OK, then the final box, answered with OK and returned; None when the program ended without one."""
    driver.wait_window(title, timeout=30)
    driver.click(title, CMD_INSTALL)
    assert driver.wait_msgbox(BOX_TITLE, timeout=15)["text"] == CONFIRM
    driver.press_msgbox("OK")
    # Once the button shows the first progress line, the confirmation box is gone for good.
    assert harness.wait_until(lambda: not proc.running() or driver.request(
        "text", title=title, id=CMD_INSTALL).get("text") == "正在初始化，请稍候...", timeout=10)
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if not proc.running():
            return None
        box = driver.request("wait-msgbox", title=BOX_TITLE, timeout=500)
        if box.get("ok"):
            driver.press_msgbox("OK")
            return box
    raise harness.HarnessTimeout(f"no final box within {timeout}s")


def ended(proc: harness.WineProcess) -> int:
    try:
        return proc.wait(30)
    finally:
        proc.kill()


def long_folder(base: Path, count: int = 7) -> Path:
    return base.joinpath(*(f"{LONG_SEGMENT}{i}" for i in range(count)))


def test_odd_folder_names_and_task_fields(wine_env, driver, standin, tessaro_log):
    # CorelDRAW answers the macro folder with forward slashes; the installer then writes "C:/.../GMS\file".
    gms = standin.folders["GMSPath"]
    gms_answer = wine_env.windows_path(gms).replace("\\", "/")
    standin.configure(GMSPath=gms_answer)
    standin.register()
    user_gms = standin.folders["UserGMSPath"]
    (user_gms / "子目录").mkdir()
    (gms / "Old.gms").write_bytes(b"old")
    (gms / "Keep.gms").write_bytes(b"a neighbour nobody named")

    folder = wine_env.drive_c / "addons" / ODD_NAME
    shutil.rmtree(folder, ignore_errors=True)
    addon = harness.AddonFolder(wine_env, ODD_NAME, harness.TESSARO_EXE)
    title = "奇怪的路径"
    # Every case is optional, so none stops the others, except the last: a copy into a sub-folder the target
    # lacks is refused, and that ends any run.
    addon.write_ini(f"setuptitle={title}\n"
                    "fileitem=c|Plain.gms|1|gmspath|正在复制到正斜杠目录...\n"
                    "fileitem=c|子目录\\Deep.gms|0|usergmspath|\n"
                    "fileitem=c|..\\上级.gms|0|userdatapath|\n"
                    "fileitem=c|Dot.gms.|0|usergmspath|\n"
                    "fileitem=c|Blank.gms |0|usergmspath|\n"
                    "fileitem=r|标记.exe|0|/Arg X|\n"
                    "fileitem=k|Old.gms|0|gmspath|\n"
                    "fileitem=c|Missing.gms|0|gmspath|\n"
                    "fileitem=c|无此目录\\End.gms|0|gmspath|\n")
    for name in ("Plain.gms", "子目录/Deep.gms", "Dot.gms", "Blank.gms", "无此目录/End.gms"):
        addon.write_file(name, f"content of {name}".encode("utf-8"))
    (folder.parent / "上级.gms").write_bytes(b"beside the add-on folder")
    shutil.copy2(MARKER_EXE, folder / "标记.exe")

    before = snapshot(wine_env)
    proc = start_tessaro(wine_env, folder, "paths-odd", NO_DEBUGGER)
    box = install_to_the_end(driver, title, proc)
    code = ended(proc)
    assert box is not None, "Tessaro ended without a final box"
    assert (box["text"], box["icon"]) == (COPY_REFUSED, "error")
    assert code == EXIT_FAILED

    corel = standin.root
    assert (gms / "Plain.gms").read_bytes() == b"content of Plain.gms"
    assert (user_gms / "子目录" / "Deep.gms").read_bytes() == "content of 子目录/Deep.gms".encode()
    # ".." is followed out of the target folder on the source and the target side: it was named.
    assert (corel / "上级.gms").read_bytes() == b"beside the add-on folder"
    # The system drops a trailing dot or blank from a path's last part, so the file named "Dot.gms." is Dot.gms.
    assert (user_gms / "Dot.gms").read_bytes() == b"content of Dot.gms"
    assert (user_gms / "Blank.gms").read_bytes() == b"content of Blank.gms"
    assert not (gms / "Old.gms").exists()
    windows_folder = wine_env.windows_path(folder)
    # The program path travels in UTF-16 all the way: the code page never touches it.
    assert read_ran(folder / "标记.exe.ran") == [f'"{windows_folder}\\标记.exe" /arg x']
    assert changes(before, snapshot(wine_env), standin) == {
        "added": sorted(relative(wine_env, p) for p in (
            gms / "Plain.gms", user_gms / "子目录" / "Deep.gms", corel / "上级.gms", user_gms / "Dot.gms",
            user_gms / "Blank.gms", folder / "标记.exe.ran")),
        "removed": [relative(wine_env, gms / "Old.gms")],
        "changed": []}

    # The log is still GBK throughout (read_log decodes it strictly); what 936 cannot write shows as "?".
    assert task_messages(tessaro_log) == [
        "准备复制文件到 GMSPath",
        "准备复制文件到 UserGMSPath",
        "准备复制文件到 UserDataPath",
        "准备复制文件到 UserGMSPath",
        "准备复制文件到 UserGMSPath",
        f"准备运行外部程序：C:\\addons\\{ODD_NAME_IN_LOG}\\标记.exe /arg x",
        f"准备删除： {gms_answer}\\Old.gms",
        "准备复制文件到 GMSPath",
        "准备复制文件到 GMSPath",
        "对话框：" + COPY_REFUSED] + EXIT_LINES


def test_addon_folder_longer_than_max_path(wine_env, driver, standin, tessaro_log):
    standin.register()
    (standin.folders["UserDataPath"] / "Old.gms").write_bytes(b"old")
    base = wine_env.drive_c / "addons" / "long"
    shutil.rmtree(base, ignore_errors=True)
    folder = long_folder(base)
    folder.mkdir(parents=True)
    shutil.copy2(harness.TESSARO_EXE, folder / "Tessaro.exe")
    windows_folder = wine_env.windows_path(folder)
    assert len(windows_folder + "\\Tessaro.exe") > 300
    title = "长路径插件"
    (folder / "InstInfo.ini").write_bytes(harness.to_crlf(
        f"setuptitle={title}\n"
        "fileitem=c|A.gms|1|gmspath|\n"
        "fileitem=k|Old.gms|1|userdatapath|\n"
        "fileitem=r|marker.exe|1|x|\n").encode("gbk"))
    (folder / "A.gms").write_bytes(b"from a long folder")
    shutil.copy2(MARKER_EXE, folder / "marker.exe")

    before = snapshot(wine_env)
    # Wine starts the program (it cannot make the folder its current one and starts it in C:\windows instead),
    # and the program finds its InstInfo.ini: the window shows the title from it.
    proc = start_tessaro(wine_env, folder, "paths-long-addon", NO_DEBUGGER)
    box = install_to_the_end(driver, title, proc)
    code = ended(proc)
    assert box is not None, "Tessaro ended without a final box"
    # Copying from the long folder and deleting work; starting a program there does not (CreateProcessW stops at
    # MAX_PATH, on Windows as under Wine), and the run ends with the installer's own message.
    assert (box["text"], box["icon"]) == (PROGRAM_NOT_FOUND, "error")
    assert code == EXIT_FAILED
    assert (standin.folders["GMSPath"] / "A.gms").read_bytes() == b"from a long folder"
    assert read_ran(folder / "marker.exe.ran") is None
    assert changes(before, snapshot(wine_env), standin) == {
        "added": [relative(wine_env, standin.folders["GMSPath"] / "A.gms")],
        "removed": [relative(wine_env, standin.folders["UserDataPath"] / "Old.gms")],
        "changed": []}
    user_data = standin.settings["UserDataPath"]
    assert task_messages(tessaro_log) == [
        "准备复制文件到 GMSPath",
        f"准备删除： {user_data}\\Old.gms",
        f"准备运行外部程序：{windows_folder}\\marker.exe x",
        "对话框：" + PROGRAM_NOT_FOUND] + EXIT_LINES


def test_target_folder_longer_than_max_path(wine_env, driver, standin, tessaro_log):
    target = long_folder(standin.root)
    target.mkdir(parents=True)
    standin.configure(UserGMSPath=wine_env.windows_path(target))
    standin.register()
    assert len(standin.settings["UserGMSPath"]) > 300
    title = "长目标目录"
    addon = harness.AddonFolder(wine_env, "long-target", harness.TESSARO_EXE)
    addon.write_ini(f"setuptitle={title}\nfileitem=c|A.gms|1|usergmspath|\n")
    addon.write_file("A.gms", b"into a long folder")

    before = snapshot(wine_env)
    proc = start_tessaro(wine_env, addon.path, "paths-long-target", NO_DEBUGGER)
    box = install_to_the_end(driver, title, proc)
    code = ended(proc)
    assert box is not None, f"Tessaro ended without a final box (exit status {code})"
    # Either the copy works (Wine's file functions know no MAX_PATH) or the installer says it could not copy.
    if box["text"] == SUCCESS:
        assert code == EXIT_INSTALLED
        assert (target / "A.gms").read_bytes() == b"into a long folder"
        expected = [relative(wine_env, target / "A.gms")]
    else:
        assert box["text"] == COPY_REFUSED and code == EXIT_FAILED
        expected = []
    assert changes(before, snapshot(wine_env), standin) == {"added": expected, "removed": [], "changed": []}


def test_a_nul_inside_a_name_touches_no_file(wine_env, driver, standin, tessaro_log):
    """A damaged InstInfo.ini with a NUL inside a name: Windows would read the name only up to it, so the delete hit
    Keep.gms and the copy replaced Short.gms. Now each such name is a file that is not there: the optional tasks
    are passed over, the required one stops with the missing-file box, and the log shows the NUL as text."""
    standin.register()
    gms = standin.folders["GMSPath"]
    (gms / "Keep.gms").write_bytes(b"the user's own macros")
    (gms / "Short.gms").write_bytes(b"the user's own copy")
    title = "损坏的名称"
    addon = harness.AddonFolder(wine_env, "nul-names", harness.TESSARO_EXE)
    addon.write_ini(f"setuptitle={title}\n"
                    "fileitem=k|Keep.gms\0junk.tmp|0|gmspath|\n"
                    "fileitem=c|Short.gms\0.bak|0|gmspath|\n"
                    "fileitem=r|标记.exe\0.txt|0||\n"
                    "fileitem=c|Plain.gms|1|gmspath|\n"
                    "fileitem=c|Required.gms\0x|1|gmspath|\n")
    addon.write_file("Short.gms", b"from the add-on")
    addon.write_file("Plain.gms", b"plain")
    addon.write_file("Required.gms", b"what the cut name would find")
    shutil.copy2(MARKER_EXE, addon.path / "标记.exe")

    before = snapshot(wine_env)
    proc = start_tessaro(wine_env, addon.path, "paths-nul", NO_DEBUGGER)
    box = install_to_the_end(driver, title, proc)
    code = ended(proc)
    assert box is not None, f"Tessaro ended without a final box (exit status {code})"
    assert box["text"].startswith("缺少安装必需的文件，文件(") and "Required.gms\\x00x)" in box["text"], box["text"]
    assert code == EXIT_FAILED
    assert (gms / "Keep.gms").read_bytes() == b"the user's own macros"
    assert (gms / "Short.gms").read_bytes() == b"the user's own copy"
    assert changes(before, snapshot(wine_env), standin) == {
        "added": [relative(wine_env, gms / "Plain.gms")], "removed": [], "changed": []}
    assert b"\0" not in harness.log_path(wine_env).read_bytes()
    assert "删除文件失败：文件 " + wine_env.windows_path(gms) + "\\Keep.gms\\x00junk.tmp 不存在" in tessaro_log.messages()
