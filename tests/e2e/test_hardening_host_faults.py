"""Faults of the host during whole installs: a server that refuses Quit, answers slowly or never, a server killed in
the middle of a call, a copy target held open by another program, a disk that fills up during a copy."""

from __future__ import annotations

import shutil
import subprocess
import time

import pytest

import harness
from corel_standin import StandIn, kill_leftover_servers, restart_wine_services
from tessaro_ui import BOX_TITLE, CMD_INSTALL, CONFIRM, EXIT_FAILED, EXIT_INSTALLED, EXIT_LINES, SUCCESS, unexpected
from test_install_runs import install, run_messages

LOCKER_EXE = harness.BUILD_DIR / "file_locker.exe"
COPY_REFUSED = unexpected("无法复制文件到目标位置", -2147221503)
# Tessaro's limits for one automation call and for Quit, in seconds (README: "exit status").
CALL_LIMIT, QUIT_LIMIT = 90, 10
TIMED_OUT = unexpected("自动化服务器在限定的时间内没有应答", -2147417825)  # RPC_E_TIMEOUT, 0x8001011F


@pytest.fixture
def standin(wine_env, request):
    kill_leftover_servers(wine_env)
    server = StandIn(wine_env, request.node.name)
    yield server
    kill_leftover_servers(wine_env)


def leftovers(folder) -> list[str]:
    return sorted(p.name for p in folder.iterdir() if p.name.lower().endswith(".tmp"))


def test_slow_server_and_refused_quit_still_end_in_success(addons, driver, standin, tessaro_log):
    standin.configure(**{"Delay.UserDataPath": "4000", "Fail.Quit": "-2147467259"})
    standin.register()
    title = "缓慢 服务器"
    folder = addons.make(ini=f"setuptitle={title}\nfileitem=c|A.gms|1|userdatapath|正在等待 CorelDRAW...\n")
    folder.write_file("A.gms", b"a")
    proc = folder.start("/log")
    driver.wait_window(title, timeout=30)
    driver.click(title, CMD_INSTALL)
    assert driver.wait_msgbox(BOX_TITLE, timeout=15)["text"] == CONFIRM
    driver.press_msgbox("OK")
    # While the server takes its time the window still answers and shows the task's caption.
    assert driver.wait_text(title, CMD_INSTALL, "正在等待 CorelDRAW...", timeout=30)
    started = time.monotonic()
    assert driver.text(title, CMD_INSTALL) == "正在等待 CorelDRAW..."
    assert time.monotonic() - started < 2, "the window answers at once during a slow automation call"
    box = driver.wait_msgbox(BOX_TITLE, timeout=60)
    assert box["text"] == SUCCESS
    driver.press_msgbox("OK")
    assert proc.wait(30) == EXIT_INSTALLED, "a refused Quit does not keep the installer from ending"
    assert (standin.folders["UserDataPath"] / "A.gms").read_bytes() == b"a"
    assert standin.journal()[-1] == "Quit failed -2147467259"


def test_locked_target_keeps_its_content(addons, driver, standin, tessaro_log, wine_env):
    standin.register()
    target = standin.folders["GMSPath"] / "Locked.gms"
    target.write_bytes(b"the user's version")
    shutil.copy2(LOCKER_EXE, standin.root / "file_locker.exe")
    locker = wine_env.popen([wine_env.windows_path(standin.root / "file_locker.exe"), wine_env.windows_path(target)],
                            cwd=standin.root)
    assert harness.wait_until(lambda: target.with_name("Locked.gms.locked").exists(), timeout=30)
    title = "文件被占用"
    folder = addons.make(ini=f"setuptitle={title}\nfileitem=c|Locked.gms|1|gmspath|\n")
    folder.write_file("Locked.gms", b"new version")
    proc = folder.start("/log")
    box = install(driver, title, proc)
    assert box["text"] == COPY_REFUSED
    assert proc.wait(30) == EXIT_FAILED
    locker.kill()
    assert target.read_bytes() == b"the user's version"
    assert leftovers(target.parent) == []


@pytest.fixture
def small_disk(standin):
    """The GMS folder on a 256 KiB file system of its own."""
    folder = standin.folders["GMSPath"]
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=256k", "tmpfs", str(folder)], capture_output=True).returncode:
        pytest.skip("cannot mount a small file system here (needs root)")
    yield folder
    subprocess.run(["umount", "-l", str(folder)], check=False)


def test_full_disk_keeps_the_old_file(addons, driver, standin, small_disk, tessaro_log):
    standin.register()
    old = b"old macros " * 10000  # 110 KB of the user's file
    (small_disk / "Big.gms").write_bytes(old)
    title = "磁盘已满"
    folder = addons.make(ini=f"setuptitle={title}\nfileitem=c|Big.gms|1|gmspath|\n")
    # Too big for the disk even in place of the old file: a copy that writes over the old file breaks off
    # half-way and leaves neither version behind.
    folder.write_file("Big.gms", b"N" * 300_000)
    proc = folder.start("/log")
    box = install(driver, title, proc)
    assert box["text"] == COPY_REFUSED
    assert proc.wait(30) == EXIT_FAILED
    assert (small_disk / "Big.gms").read_bytes() == old
    assert leftovers(small_disk) == []


def test_server_killed_during_a_call(addons, driver, standin, tessaro_log, wine_env):
    standin.configure(**{"Delay.GMSPath": "6000"})
    standin.register()
    title = "服务器被结束"
    folder = addons.make(ini=f"setuptitle={title}\nfileitem=c|A.gms|1|gmspath|正在询问目录...\n"
                             "fileitem=c|B.gms|1|userdatapath|\n")
    folder.write_file("A.gms", b"a")
    folder.write_file("B.gms", b"b")
    proc = folder.start("/log")
    driver.wait_window(title, timeout=30)
    driver.click(title, CMD_INSTALL)
    driver.wait_msgbox(BOX_TITLE, timeout=15)
    driver.press_msgbox("OK")
    assert driver.wait_text(title, CMD_INSTALL, "正在询问目录...", timeout=30)
    assert kill_leftover_servers(wine_env, restart_services=False)
    box = driver.wait_msgbox(BOX_TITLE, timeout=60)
    assert box["icon"] == "error" and box["text"].startswith("发生意外错误，RPC "), box["text"]
    driver.press_msgbox("OK")
    assert proc.wait(60) == EXIT_FAILED
    assert not (standin.folders["UserDataPath"] / "B.gms").exists()
    assert run_messages(tessaro_log)[-2:] == EXIT_LINES
    # A killed server stays registered with the prefix's COM services; start the next test from a clean prefix.
    restart_wine_services(wine_env)


# The x86 set runs the short Quit row; the call row waits the full 90 s, which the x64 set pays once.
@pytest.mark.parametrize("member, limit, final_box, status, journal", [
    # A folder read during the run: the usual failure report, and the hung server is not asked to quit.
    ("GMSManager", CALL_LIMIT, TIMED_OUT, EXIT_FAILED, ["Create", "Visible=False", "GMSManager hung"]),
    # Quit after the success message: abandoned at its own, shorter limit.
    pytest.param("Quit", QUIT_LIMIT, SUCCESS, EXIT_INSTALLED,
                 ["Create", "Visible=False", "GMSManager", "GMSManager.GMSPath", "Visible=False", "Quit hung"],
                 marks=pytest.mark.x86),
], ids=["call", "quit"])
def test_server_that_never_answers_gets_a_bounded_wait(member, limit, final_box, status, journal, addons, driver,
                                                      standin, tessaro_log):
    standin.configure(**{f"Delay.{member}": "never"})
    standin.register()
    title = "不应答的服务器"
    folder = addons.make(ini=f"setuptitle={title}\nfileitem=c|A.gms|1|gmspath|\n")
    folder.write_file("A.gms", b"a")
    proc = folder.start("/log")
    driver.wait_window(title, timeout=30)
    driver.click(title, CMD_INSTALL)
    assert driver.wait_msgbox(BOX_TITLE, timeout=15)["text"] == CONFIRM
    driver.press_msgbox("OK")
    assert driver.wait_text(title, CMD_INSTALL, "正在初始化，请稍候...", timeout=10)
    if member == "Quit":
        assert driver.wait_msgbox(BOX_TITLE, timeout=60)["text"] == final_box
        driver.press_msgbox("OK")
    assert harness.wait_until(lambda: f"{member} hung" in standin.journal(), timeout=60)
    hung_at = time.monotonic()

    if member == "Quit":
        assert proc.wait(limit + 30) == status
    else:
        # Meanwhile the window still paints and answers, as during any slow call.
        assert driver.text(title, CMD_INSTALL) == "正在安装，请稍候..."
        box = driver.wait_msgbox(BOX_TITLE, timeout=limit + 30)
        assert (box["text"], box["icon"]) == (final_box, "error")
    waited = time.monotonic() - hung_at
    assert limit - 2 < waited < limit + 10, f"waited {waited:.1f} s for a {limit} s limit"
    if member != "Quit":
        driver.press_msgbox("OK")
        assert proc.wait(15) == status

    assert standin.journal() == journal
    assert run_messages(tessaro_log)[-3:] == ["对话框：" + final_box] + EXIT_LINES
    assert (standin.folders["GMSPath"] / "A.gms").exists() == (member == "Quit")
