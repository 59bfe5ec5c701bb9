"""Unattended runs as a deployment tool makes them: the real Tessaro.exe under Wine with no display at all (no
Xvfb, no $DISPLAY, Wine's null graphics driver), so a window or a message box that waited for a person could only
hang. Every run must end by itself within its time limit, with the exit status and the log the README promises."""

from __future__ import annotations

import shutil
import time
from pathlib import Path

import pytest

import harness
from corel_standin import MARKER_EXE, StandIn, kill_leftover_servers, read_ran
from tessaro_ui import EXIT_ALREADY_RUNNING, EXIT_FAILED, EXIT_INSTALLED, EXIT_LINES, RUN_START_LINES, SUCCESS

EXIT_NO_CONFIGURATION, EXIT_COREL_RUNNING, EXIT_COREL_NOT_INSTALLED, EXIT_FILE_MISSING = 4, 5, 6, 7
LOCKER_EXE = harness.BUILD_DIR / "file_locker.exe"
SAMPLE_ADDON = harness.REPO_ROOT / "samples" / "demo-addon"
# An install run holds the fixed 10 s pause; everything else takes a few seconds under Wine.
RUN_LIMIT_S = 60


@pytest.fixture(scope="module")
def headless(artifacts_dir: Path):
    env = harness.WineEnv(headless=True, keep_prefix=False)
    env.start()
    assert "DISPLAY" not in env.env
    yield env
    env.stop()


@pytest.fixture
def standin(headless, request):
    kill_leftover_servers(headless)
    server = StandIn(headless, request.node.name)
    server.register()
    yield server
    kill_leftover_servers(headless)


def addon_folder(env: harness.WineEnv, name: str, ini: str, files: dict[str, bytes]) -> harness.AddonFolder:
    folder = harness.AddonFolder(env, name, harness.TESSARO_EXE)
    folder.write_ini(ini)
    for relpath, data in files.items():
        folder.write_file(relpath, data)
    return folder


def run_to_the_end(folder: harness.AddonFolder, *args: str, limit: float = RUN_LIMIT_S) -> tuple[int, float]:
    """Starts Tessaro.exe with `args` and waits for it to end by itself; its exit status and how long it took."""
    started = time.monotonic()
    proc = folder.start(*args)
    try:
        status = proc.wait(limit)
    finally:
        proc.kill()
    return status, time.monotonic() - started


def deploy_log(env: harness.WineEnv, name: str) -> tuple[str, Path]:
    path = env.drive_c / "deploy" / name
    path.parent.mkdir(exist_ok=True)
    path.unlink(missing_ok=True)
    return env.windows_path(path), path


@pytest.mark.x86
def test_the_demo_addon_installs_unattended(headless, standin):
    standin.configure(CommandBars="Standard|Old Toolbox|Toolbox")
    gms = standin.folders["GMSPath"]
    (gms / "OldToolbox.gms").write_bytes(b"version 0.9")
    files = {item.name: item.read_bytes() for item in SAMPLE_ADDON.iterdir() if item.name != "InstInfo.ini"}
    files["welcome.exe"] = MARKER_EXE.read_bytes()
    folder = addon_folder(headless, "unattended-demo", (SAMPLE_ADDON / "InstInfo.ini").read_bytes().decode("gbk"),
                          files)
    windows_log, log = deploy_log(headless, "demo.log")
    harness.clear_log(headless)

    status, took = run_to_the_end(folder, "/VERYSILENT", f"/LOG={windows_log}")
    assert status == EXIT_INSTALLED
    assert took >= 10, "the fixed pause for CorelDRAW to end stays"
    assert (gms / "MacroToolbox.gms").read_bytes() == (SAMPLE_ADDON / "MacroToolbox.gms").read_bytes()
    assert not (gms / "OldToolbox.gms").exists()
    # Tessaro does not wait for the program it started: give it time to write what it was given.
    ran = folder.path / "welcome.exe.ran"
    assert harness.wait_until(ran.exists, timeout=20)
    assert read_ran(ran) == [f'"{folder.windows_path}\\welcome.exe" /firstrun']
    # The log goes where it was told to, and only there; its run is the button's run, line for line.
    assert not harness.log_path(headless).exists()
    messages = harness.log_messages(log)
    run = messages[messages.index("无人值守安装"):]
    assert run[1:len(RUN_START_LINES) + 1] == RUN_START_LINES
    assert run[-3:] == ["对话框：" + SUCCESS] + EXIT_LINES
    assert "ImportWorkspace " + folder.windows_path + "\\MacroToolbox.cdws" in standin.journal()


def test_a_running_coreldraw_is_ended_only_when_the_switch_says_so(headless, standin):
    folder = addon_folder(headless, "unattended-running", "fileitem=c|a.gms|1|gmspath|\n", {"a.gms": b"new"})
    gms = standin.folders["GMSPath"]
    running = standin.running_corel("busy")
    windows_log, log = deploy_log(headless, "running.log")

    status, took = run_to_the_end(folder, "/S", f"/LOG={windows_log}")
    assert status == EXIT_COREL_RUNNING
    assert took < 10, "it ends before the pause, having touched nothing"
    assert running.running()
    assert not (gms / "a.gms").exists()
    assert standin.journal() == []
    assert harness.log_messages(log)[-3:] == [
        "CorelDRAW 正在运行，命令行没有 /CLOSEAPPLICATIONS：不关闭 CorelDRAW，不安装"] + EXIT_LINES

    status, _ = run_to_the_end(folder, "/s", "/closeapplications", f"/LOG={windows_log}")
    assert status == EXIT_INSTALLED
    assert running.wait(15) == 0, "the running CorelDRAW is ended with exit code 0"
    assert (gms / "a.gms").read_bytes() == b"new"


def test_every_failure_ends_by_itself_with_its_status(headless, standin):
    gms = standin.folders["GMSPath"]
    one_copy = "fileitem=c|a.gms|1|gmspath|\n"
    windows_log, log = deploy_log(headless, "failures.log")

    def last_lines(count: int) -> list[str]:
        return harness.log_messages(log)[-count:]

    # No InstInfo.ini: the box it would show is a log line.
    empty = harness.AddonFolder(headless, "unattended-empty", harness.TESSARO_EXE)
    status, _ = run_to_the_end(empty, "/S", f"/LOG={windows_log}")
    assert status == EXIT_NO_CONFIGURATION
    assert last_lines(1) == ["对话框：缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。"]

    # A run task's program that never ends does not hold the run, and a second start meanwhile is refused.
    shutil.copy2(LOCKER_EXE, gms / "file_locker.exe")
    (gms / "held.txt").write_bytes(b"held")
    first = addon_folder(headless, "unattended-first", one_copy + "fileitem=r|file_locker.exe|0|held.txt|\n",
                         {"a.gms": b"new", "file_locker.exe": LOCKER_EXE.read_bytes(), "held.txt": b"x"})
    started = time.monotonic()
    proc = first.start("/S")
    time.sleep(3)
    second, _ = run_to_the_end(first, "/S", f"/LOG={windows_log}")
    assert second == EXIT_ALREADY_RUNNING
    assert last_lines(1) == ["一个程序事例已经在运行"]
    try:
        assert proc.wait(RUN_LIMIT_S) == EXIT_INSTALLED
    finally:
        proc.kill()
    assert time.monotonic() - started < RUN_LIMIT_S
    assert harness.wait_until(lambda: (first.path / "held.txt.locked").exists(), timeout=10), "the program ran"

    # CorelDRAW X3 not installed; a required file missing; a target file held open by another program. A server
    # that a run started and that has not ended yet counts as a running CorelDRAW, so none may be left.
    kill_leftover_servers(headless)
    standin.unregister()
    missing_corel = addon_folder(headless, "unattended-no-corel", one_copy, {"a.gms": b"new"})
    status, _ = run_to_the_end(missing_corel, "/S", f"/LOG={windows_log}")
    assert status == EXIT_COREL_NOT_INSTALLED
    assert last_lines(3) == ["对话框：本程序只能在安装有 CorelDRAW X3 的系统中使用。"] + EXIT_LINES
    standin.register()

    missing_file = addon_folder(headless, "unattended-no-file", one_copy, {})
    status, _ = run_to_the_end(missing_file, "/S", f"/LOG={windows_log}")
    assert status == EXIT_FILE_MISSING
    assert last_lines(3)[0].startswith("对话框：缺少安装必需的文件，文件(") and last_lines(2) == EXIT_LINES

    kill_leftover_servers(headless)
    (gms / "a.gms").write_bytes(b"old")
    locker = headless.popen([headless.windows_path(gms / "file_locker.exe"), headless.windows_path(gms / "a.gms")],
                            name="locker")
    try:
        assert harness.wait_until(lambda: (gms / "a.gms.locked").exists(), timeout=20)
        locked = addon_folder(headless, "unattended-locked", one_copy, {"a.gms": b"new"})
        status, _ = run_to_the_end(locked, "/S", f"/LOG={windows_log}")
    finally:
        locker.kill()
    assert status == EXIT_FAILED
    assert last_lines(3)[0].startswith("对话框：发生意外错误，无法复制文件到目标位置")
    assert (gms / "a.gms").read_bytes() == b"old"

    # An automation server that fails a call.
    kill_leftover_servers(headless)
    standin.configure(**{"Fail.GMSPath": "5"})
    failing = addon_folder(headless, "unattended-failing", one_copy, {"a.gms": b"new"})
    status, _ = run_to_the_end(failing, "/S", f"/LOG={windows_log}")
    assert status == EXIT_FAILED
    assert last_lines(3)[0].startswith("对话框：") and last_lines(3)[0].endswith("代码：5")
