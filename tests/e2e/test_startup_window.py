"""Start-up, InstInfo.ini, the log, the main window and the exit sequence of the real Tessaro.exe under Wine."""

from __future__ import annotations

import time

import pytest

import harness
from tessaro_ui import (BOX_TITLE, CMD_INSTALL, CONFIRM, EXIT_ALREADY_RUNNING, EXIT_CLOSED, EXIT_FAILED, EXIT_LINES,
                        INSTALL_CAPTION, LBWWW, MISSING_INI, PIC_FLAGS, START_LINES)

ONE_TASK = "setuptitle={title}\nfileitem=c|macros.gms|1|gmspath|正在复制宏文件...\n"
READER_LINES_ONE_TASK = ["获得程序标题配置", "获得文件消息配置", "获得文件消息配置成功", "关闭安装配置文件",
                         "如果必要设置默认封面图片"]


@pytest.mark.x86
def test_missing_instinfo_shows_the_box_and_ends(addons, driver, tessaro_log):
    folder = addons.make(ini=None)
    proc = folder.start("/log")
    box = driver.wait_msgbox(BOX_TITLE, timeout=30)
    assert box["text"] == MISSING_INI
    assert box["icon"] == "error"
    assert [b["text"] for b in box["buttons"]] == ["确定"]
    driver.press_msgbox("OK")
    assert proc.wait(30) == EXIT_FAILED
    assert tessaro_log.messages() == START_LINES + ["读取安装配置文件失败", "对话框：" + MISSING_INI]


def test_no_task_line_means_no_window_and_no_message(addons, driver, tessaro_log):
    folder = addons.make(ini="[Tessaro]\nsetuptitle=没有任务\nflagspicture=\n")
    proc = folder.start("/log")
    assert proc.wait(30) == EXIT_FAILED
    assert not any(w["title"] in ("没有任务", BOX_TITLE) for w in driver.list_windows())
    assert tessaro_log.messages() == START_LINES + ["获得程序标题配置", "获得封面图片配置", "关闭安装配置文件",
                                                    "如果必要设置默认封面图片"]


@pytest.mark.x86
def test_window_geometry_fonts_and_closing(addons, driver, tessaro_log):
    title = "几何 测试插件"
    folder = addons.make(ini=ONE_TASK.format(title=title))
    proc = folder.start("/log")
    driver.wait_window(title, timeout=30)
    window = driver.describe(title)

    style = window["style"]
    assert style["WS_CAPTION"] and style["WS_SYSMENU"]
    assert not style["WS_MINIMIZEBOX"] and not style["WS_MAXIMIZEBOX"] and not style["WS_THICKFRAME"]
    assert (window["client"]["width"], window["client"]["height"]) == (432, 176)
    rect, screen = window["rect"], window["screen"]
    assert abs((rect["left"] + rect["right"]) - screen["width"]) <= 1
    assert abs((rect["top"] + rect["bottom"]) - screen["height"]) <= 1

    children = [c for c in window["children"] if c["class"] != "tooltips_class32"]
    assert [(c["id"], c["class"].lower()) for c in children] == [(PIC_FLAGS, "static"), (CMD_INSTALL, "button"),
                                                                 (LBWWW, "static")]
    geometry = {c["id"]: (c["rect"]["left"], c["rect"]["top"], c["rect"]["width"], c["rect"]["height"])
                for c in children}
    assert geometry == {PIC_FLAGS: (5, 5, 420, 78), CMD_INSTALL: (56, 103, 329, 41), LBWWW: (112, 152, 209, 14)}
    for child in children:
        assert child["font"]["face"] == "Tahoma", child
        assert child["font"]["height"] == -12 and child["font"]["weight"] == 400, child
    button = children[1]
    assert button["text"] == INSTALL_CAPTION and button["enabled"]
    assert button["style"]["type"] == "BS_DEFPUSHBUTTON" and button["style"]["WS_TABSTOP"]
    label = children[2]
    assert label["text"] == "www.example.com / www.example.org"
    assert label["style"]["type"] == "SS_CENTER" and not label["style"]["WS_TABSTOP"]

    driver.syscommand_close(title)
    assert proc.wait(30) == EXIT_CLOSED
    assert tessaro_log.messages() == START_LINES + READER_LINES_ONE_TASK + EXIT_LINES


def test_second_start_is_refused_and_logged(addons, driver, tessaro_log):
    title = "单实例 测试"
    folder = addons.make(ini=ONE_TASK.format(title=title))
    first = folder.start()
    driver.wait_window(title, timeout=30)
    second = folder.start("/log")
    assert second.wait(30) == EXIT_ALREADY_RUNNING
    assert tessaro_log.messages() == ["#安装记录", "一个程序事例已经在运行"]
    assert [w["title"] for w in driver.list_windows()].count(title) == 1
    quiet = folder.start()
    assert quiet.wait(30) == EXIT_ALREADY_RUNNING
    assert len(tessaro_log.messages()) == 2, "without /log nothing is written"
    driver.close(title)
    assert first.wait(30) == EXIT_CLOSED
    assert len(tessaro_log.messages()) == 2, "the first start had no /log"


@pytest.mark.x86
def test_enter_presses_install_and_cancel_leaves_the_window(addons, driver, tessaro_log):
    title = "回车 测试"
    folder = addons.make(ini=ONE_TASK.format(title=title))
    proc = folder.start("/log")
    driver.wait_window(title, timeout=30)
    driver.key(title, "ENTER")
    box = driver.wait_msgbox(BOX_TITLE, timeout=15)
    assert box["text"] == CONFIRM
    assert box["icon"] == "warning"
    assert [b["text"] for b in box["buttons"]] == ["确定", "取消"]
    assert box["defaultId"] == 1
    driver.press_msgbox("Cancel")
    assert driver.wait_enabled(title, CMD_INSTALL, True, timeout=10)
    assert driver.text(title, CMD_INSTALL) == INSTALL_CAPTION
    assert tessaro_log.messages()[-3:] == ["已点击安装按钮", "显示关闭 CorelDRAW 软件警告", "已点击取消"]

    # Escape in the confirmation box answers Cancel too, and the window is still there afterwards.
    driver.click(title, CMD_INSTALL)
    driver.wait_msgbox(BOX_TITLE, timeout=15)
    driver.press_msgbox("close")
    harness.wait_until(lambda: tessaro_log.messages()[-1] == "已点击取消", timeout=10)
    assert proc.running()
    driver.close(title)
    assert proc.wait(30) == EXIT_CLOSED
    assert tessaro_log.messages()[-2:] == EXIT_LINES


def test_hand_cursor_over_the_picture_only(addons, driver):
    title = "光标 测试"
    folder = addons.make(ini=ONE_TASK.format(title=title))
    proc = folder.start()
    driver.wait_window(title, timeout=30)
    assert driver.cursor_at(title, PIC_FLAGS, 50, 40)["probe"]["cursor"]["stock"] == "IDC_HAND"
    assert driver.cursor_at(title, CMD_INSTALL, 20, 20)["probe"]["cursor"]["stock"] == "IDC_ARROW"
    assert driver.cursor_at(title, LBWWW, 5, 5)["probe"]["cursor"]["stock"] == "IDC_ARROW"
    driver.close(title)
    assert proc.wait(30) == EXIT_CLOSED


def _bmp(width: int, height: int, rgb: tuple[int, int, int]) -> bytes:
    row = bytes((rgb[2], rgb[1], rgb[0])) * width
    row += b"\0" * ((4 - len(row) % 4) % 4)
    pixels = row * height
    header = b"BM" + (54 + len(pixels)).to_bytes(4, "little") + b"\0\0\0\0" + (54).to_bytes(4, "little")
    info = (40).to_bytes(4, "little") + width.to_bytes(4, "little") + height.to_bytes(4, "little")
    info += (1).to_bytes(2, "little") + (24).to_bytes(2, "little") + b"\0" * 24
    return header + info + pixels


class _BannerBitmap:
    """src/ui/res/banner.bmp: a bottom-up 16-bit BMP with bit fields."""

    def __init__(self):
        data = (harness.REPO_ROOT / "src" / "ui" / "res" / "banner.bmp").read_bytes()
        self.data = data
        self.offset = int.from_bytes(data[10:14], "little")
        self.width = int.from_bytes(data[18:22], "little")
        self.height = int.from_bytes(data[22:26], "little")
        self.masks = [int.from_bytes(data[54 + 4 * i:58 + 4 * i], "little") for i in range(3)]
        self.stride = (self.width * 2 + 3) // 4 * 4

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        at = self.offset + (self.height - 1 - y) * self.stride + 2 * x
        value = int.from_bytes(self.data[at:at + 2], "little")
        channels = []
        for mask in self.masks:
            shift = (mask & -mask).bit_length() - 1
            top = mask >> shift
            channels.append(((value & mask) >> shift) * 255 // top)
        return tuple(channels)


def test_cover_picture_replaces_the_banner_unless_hidden(addons, driver, wine_env):
    title = "封面 测试"
    folder = addons.make(ini=ONE_TASK.format(title=title) + "flagspicture=封面.bmp\n")
    folder.write_file("封面.bmp", _bmp(420, 78, (200, 30, 40)))
    proc = folder.start()
    driver.wait_window(title, timeout=30)
    time.sleep(0.5)
    client = driver.describe(title)["client"]
    image = wine_env.grab()
    assert image.pixel(client["screenX"] + 5 + 100, client["screenY"] + 5 + 40) == (200, 30, 40)
    driver.close(title)
    assert proc.wait(30) == EXIT_CLOSED

    # A hidden cover file is passed over: the built-in banner shows instead, unpacked from the exe to the very
    # picture tools/make_resources.py drew.
    wine_env.run(["attrib", "+h", folder.windows_path + "\\封面.bmp"], timeout=30)
    proc = folder.start()
    driver.wait_window(title, timeout=30)
    time.sleep(0.5)
    image = wine_env.grab()
    banner = _BannerBitmap()
    for y in range(2, 78, 7):
        for x in range(3, 420, 23):
            got = image.pixel(client["screenX"] + 5 + x, client["screenY"] + 5 + y)
            want = banner.pixel(x, y)
            assert all(abs(g - w) <= 8 for g, w in zip(got, want)), (x, y, got, want)
    driver.close(title)
    assert proc.wait(30) == EXIT_CLOSED


def _bmp_header(width: int, height: int, bits: int, pixel_bytes: int, palette: bytes = b"") -> bytes:
    offset = 54 + len(palette)
    header = b"BM" + (offset + pixel_bytes).to_bytes(4, "little") + b"\0\0\0\0" + offset.to_bytes(4, "little")
    info = (40).to_bytes(4, "little") + width.to_bytes(4, "little") + height.to_bytes(4, "little")
    info += (1).to_bytes(2, "little") + bits.to_bytes(2, "little") + b"\0" * 24
    return header + info + palette


@pytest.mark.x86
def test_damaged_or_huge_cover_pictures_show_the_banner(addons, driver, wine_env):
    """A broken download of the 32-bit cover used to fault in the picture loader before the window, and a small
    file declaring 15000 x 15000 pixels to take gigabytes; both now show the banner, a whole one its picture."""
    title = "损坏的封面"
    folder = addons.make(ini=ONE_TASK.format(title=title) + "flagspicture=封面.bmp\n")
    whole = _bmp_header(420, 78, 32, 420 * 78 * 4) + bytes((40, 30, 200, 0)) * (420 * 78)
    huge_row = (15000 + 31) // 32 * 4
    pictures = [
        ("whole 32-bit", whole, None),
        ("32-bit cut short", whole[:54 + 120000], "banner"),
        ("15000 x 15000", _bmp_header(15000, 15000, 1, huge_row * 15000, b"\0\0\0\0\xff\xff\xff\0")
         + b"\0" * (huge_row * 15000), "banner"),
    ]
    for name, picture, expect in pictures:
        folder.write_file("封面.bmp", picture)
        started = time.monotonic()
        proc = folder.start()
        driver.wait_window(title, timeout=30)
        assert time.monotonic() - started < 20, name
        time.sleep(0.5)
        client = driver.describe(title)["client"]
        red, green, blue = wine_env.grab().pixel(client["screenX"] + 5 + 3, client["screenY"] + 5 + 3)
        if expect == "banner":
            assert red < 60 and 50 < green < 130 and 50 < blue < 130, (name, red, green, blue)
        else:
            assert (red, green, blue) == (200, 30, 40), name
        driver.close(title)
        assert proc.wait(30) == EXIT_CLOSED, name


def test_the_makers_addresses_replace_ours_and_a_program_is_never_one(addons, driver, tessaro_log):
    title = "品牌测试"
    folder = addons.make(ini=ONE_TASK.format(title=title) + "homepage=C:\\Windows\\notepad.exe\n"
                         "website1=www.maker.cn\nwebsite2=https://maker.cn/en\n")
    proc = folder.start("/log")
    driver.wait_window(title, timeout=30)
    assert driver.text(title, LBWWW) == "www.maker.cn / https://maker.cn/en"
    driver.close(title)
    assert proc.wait(30) == EXIT_CLOSED
    assert "忽略无效的网址：C:\\Windows\\notepad.exe" in tessaro_log.messages()


def test_a_log_that_cannot_be_written_is_no_obstacle(addons, driver, wine_env):
    log_as_folder = wine_env.drive_c / "Tessaro.log"
    log_as_folder.unlink(missing_ok=True)
    log_as_folder.mkdir()
    try:
        title = "无法写日志"
        folder = addons.make(ini=ONE_TASK.format(title=title))
        proc = folder.start("/log")
        driver.wait_window(title, timeout=30)
        driver.close(title)
        assert proc.wait(30) == EXIT_CLOSED
        assert list(log_as_folder.iterdir()) == []
    finally:
        log_as_folder.rmdir()
