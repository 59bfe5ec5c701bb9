"""Whole installs through the real window against the stand-in CorelDRAW X3: files on disk, the log, the message
boxes, the stand-in's journal and the exit status. Every run pays the real 10 s pause, so checks are grouped."""

from __future__ import annotations

import os
import stat

import pytest

import harness
from corel_standin import MARKER_EXE, StandIn, kill_leftover_servers, read_ran
from tessaro_ui import (BOX_TITLE, CMD_INSTALL, CONFIRM, EXIT_CLOSED, EXIT_FAILED, EXIT_INSTALLED, EXIT_LINES, NO_COREL,
                        RUN_START_LINES, SUCCESS, fatal_missing_file, unexpected)


@pytest.fixture
def standin(wine_env, request):
    kill_leftover_servers(wine_env)
    server = StandIn(wine_env, request.node.name)
    yield server
    kill_leftover_servers(wine_env)


def install(driver, title: str, proc: harness.WineProcess, final_timeout: float = 90) -> dict:
    """Install, OK, then the final box; answers the box with OK and returns what it showed."""
    driver.wait_window(title, timeout=30)
    driver.click(title, CMD_INSTALL)
    assert driver.wait_msgbox(BOX_TITLE, timeout=15)["text"] == CONFIRM
    driver.press_msgbox("OK")
    # From here the run holds the window: the button is disabled and its caption is the progress line.
    assert driver.wait_text(title, CMD_INSTALL, "正在初始化，请稍候...", timeout=10)
    assert not driver.enabled(title, CMD_INSTALL)
    box = driver.wait_msgbox(BOX_TITLE, timeout=final_timeout)
    driver.press_msgbox("OK")
    return box


SAMPLE_ADDON = harness.REPO_ROOT / "samples" / "demo-addon"


def run_messages(tessaro_log) -> list[str]:
    messages = tessaro_log.messages()
    return messages[messages.index("已点击安装按钮"):]


def task_messages(tessaro_log) -> list[str]:
    messages = tessaro_log.messages()
    return messages[messages.index("开始分析安装任务") + 1:]


@pytest.mark.x86
def test_the_road_of_one_install(addons, driver, standin, tessaro_log):
    standin.configure(CommandBars="Standard|MyBar|Toolbox", **{"Delay.GMSPath": "2500"})
    standin.register()
    (standin.folders["GMSPath"] / "MyMacros.gms").write_bytes(b"old version")
    running = standin.running_corel("one")

    title = "我的宏插件 1.0"
    folder = addons.make(ini=f"setuptitle={title}\n"
                             "fileitem=c|MyMacros.gms|1|gmspath|正在复制宏文件...\n"
                             "fileitem=m|MyBar||\n")
    folder.write_file("MyMacros.gms", b"new macros")
    proc = folder.start("/log")
    driver.wait_window(title, timeout=30)
    driver.click(title, CMD_INSTALL)
    driver.wait_msgbox(BOX_TITLE, timeout=15)
    driver.press_msgbox("OK")
    assert running.wait(15) == 0, "the running CorelDRAW is ended with exit code 0"
    assert driver.wait_text(title, CMD_INSTALL, "正在检查 CorelDRAW X3...", timeout=20)
    assert driver.wait_text(title, CMD_INSTALL, "正在复制宏文件...", timeout=20)
    box = driver.wait_msgbox(BOX_TITLE, timeout=60)
    assert box["text"] == SUCCESS and box["icon"] == "information"
    assert [b["text"] for b in box["buttons"]] == ["确定"]
    assert driver.text(title, CMD_INSTALL) == "安装过程结束！"
    driver.press_msgbox("OK")
    assert proc.wait(30) == EXIT_INSTALLED

    assert (standin.folders["GMSPath"] / "MyMacros.gms").read_bytes() == b"new macros"
    assert run_messages(tessaro_log) == RUN_START_LINES + [
        "准备复制文件到 GMSPath",
        "准备删除工具栏：MyBar",
        "准备删除工具栏：MyBar", "发生错误，代码：-2147024809",
        "准备删除工具栏：MyBar", "发生错误，代码：-2147024809",
        "对话框：" + SUCCESS] + EXIT_LINES
    assert standin.journal() == [
        "Create", "Visible=False", "GMSManager", "GMSManager.GMSPath", "Application",
        "CommandBars", "CommandBars(MyBar)", "CommandBars(MyBar).Delete",
        "CommandBars", "CommandBars(MyBar) not found",
        "CommandBars", "CommandBars(MyBar) not found",
        "Visible=False", "Quit"]


@pytest.mark.x86
def test_the_sample_addon_installs_every_task(addons, driver, standin, tessaro_log):
    """samples/demo-addon, which add-on makers copy, installs as its README promises."""
    standin.configure(CommandBars="Standard|Old Toolbox|Toolbox")
    standin.register()
    gms = standin.folders["GMSPath"]
    (gms / "OldToolbox.gms").write_bytes(b"version 0.9")
    folder = addons.make(name="宏工具箱")
    for item in SAMPLE_ADDON.iterdir():
        folder.write_file(item.name, item.read_bytes())
    folder.write_file("welcome.exe", MARKER_EXE.read_bytes())

    proc = folder.start("/log")
    box = install(driver, "宏工具箱 1.0 安装程序", proc)
    assert (box["text"], box["icon"]) == (SUCCESS, "information")
    assert proc.wait(30) == EXIT_INSTALLED

    assert (gms / "MacroToolbox.gms").read_bytes() == (SAMPLE_ADDON / "MacroToolbox.gms").read_bytes()
    assert not (gms / "OldToolbox.gms").exists()
    app_path = folder.windows_path + "\\"
    journal = standin.journal()
    assert f"ImportWorkspace {app_path}MacroToolbox.cdws" in journal
    assert "CommandBars(Old Toolbox).Delete" in journal
    assert harness.wait_until(lambda: read_ran(folder.path / "welcome.exe.ran"), timeout=10)
    assert read_ran(folder.path / "welcome.exe.ran") == [f'"{app_path}welcome.exe" /firstrun']
    old_bar = "准备删除工具栏：Old Toolbox"
    assert task_messages(tessaro_log) == [
        "准备复制文件到 GMSPath",
        "准备导入工作空间", "工作空间文件存在",
        f"准备删除： {standin.settings['GMSPath']}\\OldToolbox.gms",
        old_bar, old_bar, "发生错误，代码：-2147024809", old_bar, "发生错误，代码：-2147024809",
        f"准备运行外部程序：{app_path}welcome.exe /firstrun",
        "对话框：" + SUCCESS] + EXIT_LINES


def test_every_kind_from_a_folder_with_blanks(addons, driver, standin, tessaro_log, wine_env):
    standin.configure(CommandBars="Standard", **{"Fail.GMSPath": "48"})
    standin.register()
    old = standin.folders["UserDataPath"] / "Old.gms"
    old.write_bytes(b"outdated")
    old.chmod(stat.S_IRUSR)
    wine_env.run(["attrib", "+r", wine_env.windows_path(old)], timeout=30)
    first = standin.running_corel("first")
    second = standin.running_corel("second")

    title = "全部 任务"
    folder = addons.make(name="全 部 插件", ini=f"setuptitle={title}\n"
                                               "fileitem=c|Tools.cdws|1|ImportWorkspace|导入\n"
                                               "fileitem=k|Old.gms|1|userdatapath|删除\n"
                                               "fileitem=r|setup tool.exe|1|/Quiet MODE|运行\n"
                                               "fileitem=c|Extra.gms|0|gmspath|可选复制\n"
                                               "fileitem=m|NoSuchBar|0||\n"
                                               "fileitem=c|User.gms|1|usergmspath|\n")
    folder.write_file("Tools.cdws", b"<workspace/>")
    folder.write_file("Extra.gms", b"extra")
    folder.write_file("User.gms", b"user")
    (folder.path / "setup tool.exe").write_bytes(MARKER_EXE.read_bytes())
    # What an unquoted command line would start instead: C:\addons\全.exe.
    decoy = folder.path.parent / "全.exe"
    decoy.write_bytes(MARKER_EXE.read_bytes())

    proc = folder.start("/log")
    box = install(driver, title, proc)
    assert box["text"] == SUCCESS, "a run whose only failures were tolerated ends in success"
    assert proc.wait(30) == EXIT_INSTALLED

    ended = [p for p in (first, second) if not p.running()]
    assert ended == [first], "only the first CorelDRAW in the process list is ended"
    second.kill()

    app_path = folder.windows_path + "\\"
    assert f"ImportWorkspace {app_path}Tools.cdws" in standin.journal()
    assert not old.exists(), "the read-only file was deleted"
    assert not (standin.folders["GMSPath"] / "Extra.gms").exists()
    assert (standin.folders["UserGMSPath"] / "User.gms").read_bytes() == b"user"
    assert harness.wait_until(lambda: read_ran(folder.path / "setup tool.exe.ran"), timeout=10)
    assert read_ran(folder.path / "setup tool.exe.ran") == [f'"{app_path}setup tool.exe" /quiet mode']
    assert read_ran(decoy.with_name("全.exe.ran")) is None, "the program at the unquoted prefix never starts"

    user_data = standin.settings["UserDataPath"]
    assert task_messages(tessaro_log) == [
        "准备导入工作空间", "工作空间文件存在",
        f"准备删除： {user_data}\\Old.gms",
        f"准备运行外部程序：{app_path}setup tool.exe /quiet mode",
        "准备复制文件到 GMSPath", "发生错误，代码：48",
        "准备删除工具栏：NoSuchBar", "发生错误，代码：-2147024809",
        "准备删除工具栏：NoSuchBar", "发生错误，代码：-2147024809",
        "准备删除工具栏：NoSuchBar", "发生错误，代码：-2147024809",
        "准备复制文件到 UserGMSPath",
        "对话框：" + SUCCESS] + EXIT_LINES


@pytest.mark.x86
def test_fatal_missing_file_ends_before_later_tasks(addons, driver, standin, tessaro_log):
    standin.register()
    title = "缺少文件"
    folder = addons.make(ini=f"setuptitle={title}\n"
                             "fileitem=c|Missing.gms|1|gmspath|\n"
                             "fileitem=c|Present.gms|1|gmspath|\n")
    folder.write_file("Present.gms", b"present")
    proc = folder.start("/log")
    box = install(driver, title, proc)
    assert box["text"] == fatal_missing_file(folder.windows_path + "\\Missing.gms")
    assert box["icon"] == "error"
    assert proc.wait(30) == EXIT_FAILED
    assert not (standin.folders["GMSPath"] / "Present.gms").exists()
    assert task_messages(tessaro_log) == ["准备复制文件到 GMSPath"] + EXIT_LINES
    assert standin.journal()[-2:] == ["GMSManager.GMSPath", "Quit"]


def test_refused_copy_and_later_tasks_not_run(addons, driver, standin, tessaro_log):
    standin.register()
    title = "复制失败"
    folder = addons.make(ini=f"setuptitle={title}\n"
                             "fileitem=c|sub\\Deep.gms|0|gmspath|\n"
                             "fileitem=c|Later.gms|1|gmspath|\n")
    folder.write_file("sub/Deep.gms", b"deep")
    folder.write_file("Later.gms", b"later")
    proc = folder.start("/log")
    box = install(driver, title, proc)
    assert box["text"] == unexpected("无法复制文件到目标位置", -2147221503)
    assert proc.wait(30) == EXIT_FAILED
    assert not (standin.folders["GMSPath"] / "sub").exists(), "no folder is created"
    assert not (standin.folders["GMSPath"] / "Later.gms").exists()
    assert run_messages(tessaro_log)[-3:] == ["对话框：" + box["text"]] + EXIT_LINES


def test_required_delete_of_a_missing_file_names_field_one(addons, driver, standin, tessaro_log):
    standin.register()
    title = "删除缺失"
    folder = addons.make(ini=f"setuptitle={title}\nfileitem=k|Gone.gms|1|applicationpath|\n")
    proc = folder.start("/log")
    box = install(driver, title, proc)
    assert box["text"] == fatal_missing_file("Gone.gms")
    assert proc.wait(30) == EXIT_FAILED
    target = standin.settings["ApplicationPath"] + "\\Gone.gms"
    assert task_messages(tessaro_log) == [f"准备删除： {target}", f"删除文件失败：文件 {target} 不存在"] + EXIT_LINES


def test_server_dying_mid_run_ends_with_an_error(addons, driver, standin, tessaro_log):
    standin.configure(DieOn="GMSPath")
    standin.register()
    title = "服务器退出"
    folder = addons.make(ini=f"setuptitle={title}\nfileitem=c|A.gms|1|gmspath|\n")
    folder.write_file("A.gms", b"a")
    proc = folder.start("/log")
    box = install(driver, title, proc)
    assert box["icon"] == "error"
    # The call during which the server dies fails with RPC_S_CALL_FAILED (0x800706BE).
    assert box["text"] == unexpected("RPC 调用失败", -2147023170)
    assert proc.wait(60) == EXIT_FAILED
    assert "GMSManager.GMSPath died" in standin.journal()


@pytest.mark.x86
def test_no_server_registered(addons, driver, standin, tessaro_log):
    standin.unregister()
    title = "没有 CorelDRAW"
    folder = addons.make(ini=f"setuptitle={title}\nfileitem=c|A.gms|1|gmspath|\n")
    proc = folder.start("/log")
    box = install(driver, title, proc)
    assert box["text"] == NO_COREL and box["icon"] == "error"
    assert proc.wait(30) == EXIT_FAILED
    assert run_messages(tessaro_log) == RUN_START_LINES[:7] + ["对话框：" + NO_COREL] + EXIT_LINES


def test_object_without_automation(addons, driver, standin, tessaro_log):
    standin.configure(NoDispatch="1")
    standin.register()
    title = "没有自动化"
    folder = addons.make(ini=f"setuptitle={title}\nfileitem=c|A.gms|1|gmspath|\n")
    proc = folder.start("/log")
    box = install(driver, title, proc)
    assert box["text"] == "创建 CorelDRAW X3 程序对象时发生错误，代码：430"
    assert proc.wait(30) == EXIT_FAILED


@pytest.mark.x86
def test_cancel_then_close_touches_no_corel(addons, driver, standin, tessaro_log):
    standin.register()
    running = standin.running_corel("cancel")
    title = "取消 关闭"
    folder = addons.make(ini=f"setuptitle={title}\nfileitem=c|A.gms|1|gmspath|\n")
    proc = folder.start("/log")
    driver.wait_window(title, timeout=30)
    driver.click(title, CMD_INSTALL)
    driver.wait_msgbox(BOX_TITLE, timeout=15)
    driver.press_msgbox("Cancel")
    driver.wait_enabled(title, CMD_INSTALL, True, timeout=10)
    driver.close(title)
    assert proc.wait(30) == EXIT_CLOSED
    assert running.running(), "the running CorelDRAW was not touched"
    assert standin.journal() == []
    assert tessaro_log.messages()[-5:] == ["已点击安装按钮", "显示关闭 CorelDRAW 软件警告", "已点击取消"] + EXIT_LINES
    running.kill()
