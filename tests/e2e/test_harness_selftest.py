"""Self-tests of the harness and uidriver.exe under Wine, against e2e_fixture_window.exe instead of the installer.

The fixture window (tests/e2e/fixtures/fixture_window_win.cpp) has: label 100 (宋体 bold), buttons 101 警告 (default,
opens an OK/Cancel warning box), 103 信息 (information box), 106 问题 (Yes/No question box, No is default),
107 错误 (error box), 104 禁用 (disabled), result label 102 (shows what the last box returned, with its id), link
label 105 (hand cursor) and 108 (the current directory). Its title comes from InstInfo.ini.
"""

from __future__ import annotations

import subprocess
import time

import pytest

import harness
from conftest import TIMINGS
from harness import DriverCommandError

LABEL, WARN, RESULT, INFO, DISABLED, LINK, QUESTION, ERROR, DIRECTORY = 100, 101, 102, 103, 104, 105, 106, 107, 108
BOX = harness.MSGBOX_TITLE
WARNING_TEXT = "第一行：警告内容\r\n第二行 “引号” \\ 反斜杠"


class FixtureApp:
    def __init__(self, title: str, process: harness.WineProcess, folder: harness.AddonFolder):
        self.title = title
        self.process = process
        self.folder = folder


@pytest.fixture(scope="session")
def fixture_exe():
    if not harness.FIXTURE_WINDOW_EXE.exists():
        pytest.skip(f"{harness.FIXTURE_WINDOW_EXE} is not built (cmake --build --preset win64 "
                    "--target e2e_fixture_window)")
    return harness.FIXTURE_WINDOW_EXE


_counter = iter(range(1, 10_000))


@pytest.fixture
def start_fixture(wine_env, driver, addons, fixture_exe):
    """Starts the fixture window from a fresh add-on folder whose InstInfo.ini (code page 936) names the title."""
    apps: list[FixtureApp] = []

    def start(*args: str) -> FixtureApp:
        title = f"夹具：安装程序测试 {next(_counter)}"
        folder = addons.make(ini=f"; 测试用\n[Fixture]\nTitle={title}\n", exe=fixture_exe, exe_name="fixture.exe")
        t0 = time.monotonic()
        process = folder.start(*args)
        driver.wait_window(title, timeout=30)
        TIMINGS.setdefault("fixture_window_start_s", time.monotonic() - t0)
        app = FixtureApp(title, process, folder)
        apps.append(app)
        return app

    yield start
    for app in apps:
        if app.process.running():
            app.process.kill()
        if driver.alive():
            try:
                driver.gone(app.title, timeout=10)
            except DriverCommandError:
                pass


@pytest.fixture
def app(start_fixture) -> FixtureApp:
    return start_fixture()


def wait_focus(driver, title: str, control_id: int, timeout: float = 5.0) -> dict:
    deadline = time.monotonic() + timeout
    focus = driver.describe(title)["focus"]
    while (focus is None or focus["id"] != control_id) and time.monotonic() < deadline:
        time.sleep(0.05)
        focus = driver.describe(title)["focus"]
    return focus


# ------------------------------------------------------------------------------------------------------------------


@pytest.mark.x86
def test_driver_info(driver):
    info = driver.info()
    assert info["acp"] == 936 and info["oemcp"] == 936
    assert info["locale"] == "zh-CN"
    assert info["wine"]
    assert info["screen"] == {"width": 1024, "height": 768}
    assert info["hookReady"], info.get("hookError")
    # The driver and the stand-in come from the build folder under test: x86 ones run in WoW64 mode.
    bits = harness.pe_bits(harness.TESSARO_EXE)
    assert [harness.pe_bits(harness.BUILD_DIR / exe) for exe in ("uidriver.exe", "CorelDRW.exe")] == [bits, bits]
    assert (info["pointerBits"], info["wow64"]) == (bits, bits == 32)


def test_protocol(driver):
    assert driver.request("no-such-command") == {"ok": False, "error": "unknown-command", "detail": "no-such-command",
                                                 "seq": driver._seq}
    assert driver.raw_line("{not json")["error"] == "bad-json"
    assert driver.raw_line("text")["error"] == "missing-argument"
    assert driver.raw_line("info")["acp"] == 936
    t0 = time.monotonic()
    with pytest.raises(DriverCommandError) as failure:
        driver.wait_window("不存在的窗口", timeout=0.3)
    assert failure.value.error == "timeout"
    assert time.monotonic() - t0 < 5
    with pytest.raises(DriverCommandError) as failure:
        driver.describe("不存在的窗口")
    assert failure.value.error == "no-window"


def test_driver_restarts_after_kill(_driver_holder):
    first = _driver_holder.get()
    first.kill()
    second = _driver_holder.get()
    assert second is not first and second.info()["acp"] == 936


def test_addon_folder_ini_and_describe(app, driver):
    # The title came from InstInfo.ini written in code page 936: the round trip through Wine's ANSI APIs worked.
    raw = (app.folder.path / "InstInfo.ini").read_bytes()
    assert b"\r\n" in raw and app.title.encode("gbk") in raw
    assert driver.text(app.title, DIRECTORY) == "目录：" + app.folder.windows_path
    assert app.folder.windows_path.startswith("C:\\addons\\")

    d = driver.describe(app.title)
    assert d["title"] == app.title and d["class"] == "E2eFixtureWindow"
    style = d["style"]
    assert style["WS_CAPTION"] and style["WS_SYSMENU"] and style["WS_MINIMIZEBOX"]
    assert not style["WS_MAXIMIZEBOX"] and not style["WS_THICKFRAME"] and not style["WS_POPUP"]
    assert d["exStyle"]["WS_EX_CONTROLPARENT"]
    assert (d["client"]["width"], d["client"]["height"]) == (360, 180)
    rect, screen = d["rect"], d["screen"]
    assert rect["left"] == (screen["width"] - rect["width"]) // 2
    assert rect["top"] == (screen["height"] - rect["height"]) // 2
    assert d["foreground"] and d["enabled"]

    children = d["children"]
    assert [c["id"] for c in children] == [LABEL, WARN, INFO, QUESTION, ERROR, DISABLED, RESULT, LINK, DIRECTORY]
    by_id = {c["id"]: c for c in children}
    label = by_id[LABEL]
    assert label["class"] == "Static" and label["text"] == "标签：你好，世界"
    assert label["rect"] == {"left": 12, "top": 12, "right": 348, "bottom": 32, "width": 336, "height": 20}
    assert label["style"]["type"] == "SS_LEFT" and not label["style"]["WS_TABSTOP"]
    assert (label["font"]["face"], label["font"]["height"], label["font"]["weight"], label["font"]["italic"]) == (
        "宋体", -12, 700, False)
    warn = by_id[WARN]
    assert warn["text"] == "警告(&W)" and warn["style"]["type"] == "BS_DEFPUSHBUTTON"
    assert warn["style"]["WS_TABSTOP"] and warn["style"]["WS_GROUP"] and warn["focused"]
    assert warn["font"]["stock"] == "DEFAULT_GUI_FONT"
    assert by_id[INFO]["style"]["type"] == "BS_PUSHBUTTON"
    assert not by_id[DISABLED]["enabled"] and by_id[DISABLED]["style"]["WS_DISABLED"]
    assert by_id[RESULT]["style"]["type"] == "SS_CENTER"
    assert by_id[LINK]["style"]["SS_NOTIFY"]
    assert d["focus"]["id"] == WARN
    assert d["classCursor"]["stock"] == "IDC_ARROW"
    assert d["icons"]["classBig"]["stock"] == "IDI_APPLICATION"
    close_items = [item for item in d["systemMenu"] if item["id"] == 0xF060]  # SC_CLOSE
    assert close_items and not close_items[0]["grayed"]
    assert driver.enabled(app.title, WARN) and not driver.enabled(app.title, DISABLED)


def test_warning_box_cancel_then_ok(app, driver):
    driver.click(app.title, WARN)
    box = driver.wait_msgbox()
    assert box["title"] == BOX and box["text"] == WARNING_TEXT
    assert box["icon"] == "warning"
    assert [(b["id"], b["text"]) for b in box["buttons"]] == [(1, "确定"), (2, "取消")]
    assert box["defaultId"] == 1
    assert box["owner"]["title"] == app.title and not box["ownerEnabled"]
    assert box["style"]["WS_CAPTION"] and box["style"]["WS_SYSMENU"]
    assert box["textFont"]["face"]
    # The owner is disabled while the box is up, so a user cannot click it; neither can the driver.
    with pytest.raises(DriverCommandError) as failure:
        driver.click(app.title, INFO)
    assert failure.value.error == "window-disabled"
    assert driver.describe(BOX, cls="#32770")["owner"]["title"] == app.title
    with pytest.raises(DriverCommandError):
        driver.wait_window(app.title, timeout=0.2, cls="#32770")
    driver.press_msgbox("Cancel")
    driver.gone(BOX)
    assert driver.wait_text(app.title, RESULT, "结果：取消(2)") == "结果：取消(2)"
    assert driver.wait_enabled(app.title, INFO) is True

    driver.click(app.title, WARN)
    driver.wait_msgbox()
    driver.press_msgbox("OK", via="command")
    driver.gone(BOX)
    assert driver.wait_text(app.title, RESULT, "结果：确定(1)") == "结果：确定(1)"


@pytest.mark.parametrize("button, icon, buttons, default, press, result", [
    (INFO, "information", [(1, "确定")], 1, "OK", "结果：信息已读(1)"),
    (ERROR, "error", [(1, "确定")], 1, "OK", "结果：错误已读(1)"),
    (QUESTION, "question", [(6, "是(&Y)"), (7, "否(&N)")], 7, "Yes", "结果：是(6)"),
    (QUESTION, "question", [(6, "是(&Y)"), (7, "否(&N)")], 7, "No", "结果：否(7)"),
])
def test_box_icons_and_buttons(app, driver, button, icon, buttons, default, press, result):
    driver.click(app.title, button)
    box = driver.wait_msgbox()
    assert box["icon"] == icon
    assert box["iconDetail"]["width"] == 32
    assert [(b["id"], b["text"]) for b in box["buttons"]] == buttons
    assert box["defaultId"] == default
    with pytest.raises(DriverCommandError) as failure:
        driver.press_msgbox("Cancel" if press != "OK" else "No")
    assert failure.value.error == "no-button"
    driver.press_msgbox(press)
    driver.gone(BOX)
    assert driver.wait_text(app.title, RESULT, result) == result


def test_box_close(app, driver):
    driver.click(app.title, WARN)
    driver.wait_msgbox()
    driver.press_msgbox("close")
    driver.gone(BOX)
    assert driver.wait_text(app.title, RESULT, "结果：取消(2)") == "结果：取消(2)"


def test_yes_no_box_close_is_idcancel_under_wine(app, driver):
    # Windows ignores WM_CLOSE and ESC on a box without a Cancel button; Wine 8 closes it with IDCANCEL (2).
    # Installer tests must not lean on either behaviour.
    for how in ("close", "ESCAPE"):
        driver.click(app.title, QUESTION)
        driver.wait_msgbox()
        if how == "close":
            driver.press_msgbox("close")
        else:
            driver.key(BOX, "ESCAPE")
        driver.gone(BOX)
        assert driver.wait_text(app.title, RESULT, "结果：否(2)") == "结果：否(2)"
        driver.click(app.title, WARN)  # reset the label for the next round
        driver.wait_msgbox()
        driver.press_msgbox("OK")
        driver.gone(BOX)
        driver.wait_text(app.title, RESULT, "结果：确定(1)")


def test_keyboard(app, driver):
    assert driver.describe(app.title)["focus"]["id"] == WARN
    driver.key(app.title, "TAB")
    assert wait_focus(driver, app.title, INFO)["id"] == INFO
    # SPACE on the focused button clicks it; ENTER in the box presses its default button.
    driver.key(app.title, "SPACE")
    box = driver.wait_msgbox()
    assert box["icon"] == "information" and box["focus"]["id"] == 1
    driver.key(BOX, "ENTER")
    driver.gone(BOX)
    assert driver.wait_text(app.title, RESULT, "结果：信息已读(1)") == "结果：信息已读(1)"
    # ESC in the main window: IsDialogMessage turns it into IDCANCEL.
    driver.key(app.title, "ESCAPE")
    assert driver.wait_text(app.title, RESULT, "结果：ESC") == "结果：ESC"
    # ENTER in the main window: the default button (DM_GETDEFID) opens the warning box; ESC there cancels it.
    driver.key(app.title, "ENTER")
    assert driver.wait_msgbox()["icon"] == "warning"
    driver.key(BOX, "ESCAPE")
    driver.gone(BOX)
    assert driver.wait_text(app.title, RESULT, "结果：取消(2)") == "结果：取消(2)"


def test_click_disabled_button(app, driver):
    with pytest.raises(DriverCommandError) as failure:
        driver.click(app.title, DISABLED)
    assert failure.value.error == "control-disabled"
    with pytest.raises(DriverCommandError) as failure:
        driver.click(app.title, 999)
    assert failure.value.error == "no-control"
    # Forced, the posted BM_CLICK reaches the disabled button and Wine still sends BN_CLICKED: that is why the
    # driver refuses by default.
    driver.click(app.title, DISABLED, force=True)
    assert driver.wait_text(app.title, RESULT, "结果：禁用按钮被点击") == "结果：禁用按钮被点击"


def test_cursor_moved_by_sendinput(app, driver):
    # The driver-only way (SendInput inside Wine) is best effort: the probe is exact, the real cursor may lag.
    answer = driver.cursor_at(app.title, LINK, 5, 5, x_pointer=False)
    assert answer["probe"]["cursor"]["stock"] == "IDC_HAND"
    assert (answer["real"]["x"], answer["real"]["y"]) == (answer["screenPoint"]["x"], answer["screenPoint"]["y"])
    assert answer["real"]["cursor"]["stock"] in ("IDC_HAND", "IDC_ARROW")
    # A cursor handle from another process means nothing to the driver itself.
    assert answer["real"]["equalsDriverArrow"] is False and answer["real"]["driverGetIconInfo"] is False


def test_cursor(app, driver):
    link = driver.cursor_at(app.title, LINK, 5, 5)
    assert link["probe"]["id"] == LINK
    assert link["probe"]["cursor"]["stock"] == "IDC_HAND"
    assert link["real"]["cursor"]["stock"] == "IDC_HAND"
    button = driver.cursor_at(app.title, WARN, 10, 10)
    assert button["probe"]["cursor"]["stock"] == "IDC_ARROW"
    assert button["real"]["cursor"]["stock"] == "IDC_ARROW"
    assert (button["real"]["cursor"]["hotspotX"], button["real"]["cursor"]["hotspotY"]) == (0, 0)
    # A static without SS_NOTIFY is transparent to the mouse: the parent window answers.
    result = driver.cursor_at(app.title, RESULT, 5, 5)
    assert result["probe"]["id"] == 0 and result["probe"]["cursor"]["stock"] == "IDC_ARROW"


def test_close_and_exit_codes(start_fixture, driver):
    plain = start_fixture()
    driver.close(plain.title)
    driver.gone(plain.title)
    assert plain.process.wait(15) == 5

    big = start_fixture("/exit=300")
    driver.syscommand_close(big.title)
    driver.gone(big.title)
    assert big.process.wait(15) == 300 % 256  # Unix keeps only the low byte of the Windows exit code

    keyboard = start_fixture("/exit=7")
    answer = driver.send_input(keyboard.title, "ALT+F4")
    assert answer["sent"] == 4
    driver.gone(keyboard.title)
    assert keyboard.process.wait(15) == 7


def test_screenshot(app, driver, wine_env, artifacts_dir):
    path = wine_env.screenshot_window(driver, app.title, artifacts_dir / "selftest-window.png")
    assert path.stat().st_size > 1000
    d = driver.describe(app.title)
    image = wine_env.grab(d["rect"])
    assert (image.width, image.height) == (d["rect"]["width"], d["rect"]["height"])
    assert len(image.colours()) > 8  # text, frame and caption, not a blank area
    # Wine's virtual desktop draws the caption: its colour differs from the client area's.
    caption = image.pixel(image.width // 2, (d["client"]["screenY"] - d["rect"]["top"]) // 2)
    client = image.pixel(d["client"]["screenX"] - d["rect"]["left"] + 355, d["client"]["screenY"] - d["rect"]["top"]
                         + 175)
    assert caption != client
    whole = wine_env.grab()
    assert (whole.width, whole.height) == (1024, 768)


def test_log_helpers(wine_env, tessaro_log):
    assert tessaro_log.lines() == []
    content = "2024-01-02 03:04:05 开始安装\r\n2024-01-02 03:04:06 复制文件 a.gms 到 C:\\目标\r\n"
    tessaro_log.path.write_bytes(content.encode("gbk"))
    try:
        assert tessaro_log.lines() == ["2024-01-02 03:04:05 开始安装", "2024-01-02 03:04:06 复制文件 a.gms 到 C:\\目标"]
        assert tessaro_log.messages() == ["开始安装", "复制文件 a.gms 到 C:\\目标"]
        assert tessaro_log.wait_for(lambda m: "开始安装" in m, timeout=1) == tessaro_log.messages()
    finally:
        harness.clear_log(wine_env)
    assert harness.strip_stamp("2024-01-02 03:04:05 ") == ""
    assert harness.strip_stamp("2024-01-02 03:04:05") == ""


def test_wine_start_cost(wine_env):
    samples = []
    for _ in range(3):
        t0 = time.monotonic()
        result = wine_env.run(["cmd", "/c", "exit", "3"], timeout=60)
        samples.append(time.monotonic() - t0)
        assert result.returncode == 3
    TIMINGS["wine_cmd_run_avg_s"] = sum(samples) / len(samples)
    assert max(samples) < 20


def test_run_timeout_is_enforced(wine_env):
    t0 = time.monotonic()
    with pytest.raises(harness.HarnessTimeout) as failure:
        wine_env.run(["cmd", "/c", "ping", "-n", "30", "127.0.0.1"], timeout=2)
    assert time.monotonic() - t0 < 10
    # Nothing it started (cmd.exe, ping.exe) lingers.
    groups = subprocess.run(["ps", "-eo", "pgid="], capture_output=True, text=True, timeout=10).stdout.split()
    assert str(failure.value.pgid) not in groups
