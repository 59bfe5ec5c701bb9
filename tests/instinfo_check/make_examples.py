#!/usr/bin/env python3
"""Writes the example InstInfo.ini files and the files beside them into examples/.

The examples are committed as bytes; this script is how they were made. Files that hold Chinese are written
in code page 936, as Notepad on a Chinese Windows saves them, with CR LF line ends.
Run it from anywhere: python3 tests/instinfo_check/make_examples.py [--check]
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "examples")


def bmp_1x1():
    pixels = b"\x20\x80\xC0\x00"  # one pixel, padded to four bytes
    info = struct.pack("<IiiHHIIiiII", 40, 1, 1, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def ini(*lines, encoding="cp936", bom=b""):
    text = "\r\n".join(lines) + "\r\n"
    return bom + text.encode(encoding)


FILES = {
    # Files the tasks name.
    "macros.gms": b"GMS stand-in\r\n",
    "宏工具.gms": b"GMS stand-in\r\n",
    "MyAddon.cdws": b"workspace stand-in\r\n",
    "setup.exe": b"MZ stand-in",
    "my setup.exe": b"MZ stand-in",
    "extras/icons.gms": b"GMS stand-in\r\n",
    "cover.bmp": bmp_1x1(),
    "cover.png": b"\x89PNG\r\n\x1a\n stand-in",
    # A ready add-on folder: the file has its real name and the default picture lies beside it.
    "addon/InstInfo.ini": ini(
        "setuptitle=示例插件 安装程序",
        "fileitem=c|宏工具.gms|1|gmspath|正在复制宏文件...",
        "fileitem=c|工作空间.cdws|0|importworkspace|正在导入工作空间...",
        "fileitem=m|示例工具栏|0||正在删除旧工具栏...",
    ),
    "addon/flags.bmp": bmp_1x1(),
    "addon/宏工具.gms": b"GMS stand-in\r\n",
    "addon/工作空间.cdws": b"workspace stand-in\r\n",
    # A folder where InstInfo.ini should be: the installer cannot read it.
    "unreadable/InstInfo.ini/.keep": b"",
    "good.ini": ini(
        "[Tessaro]",
        "; 我的插件的安装配置",
        "setuptitle=我的插件 安装程序",
        "flagspicture=cover.bmp",
        "",
        "fileitem=c|宏工具.gms|1|gmspath|正在复制宏文件...",
        "fileitem=c|MyAddon.cdws|0|importworkspace|正在导入工作空间...",
        "fileitem=k|OldTools.gms|0|usergmspath|正在删除旧版本...",
        "fileitem=r|setup.exe|0|/quiet|正在运行附加安装...",
        "fileitem=m|旧工具栏|0||正在删除旧工具栏...",
    ),
    "ignored-lines.ini": ini(
        "setuptitle=Ignored lines",
        "This line has no equals sign",
        "fileitem＝c|宏工具.gms|1|gmspath|正在复制...",
        "title=My add-on",
        "file item=c|宏工具.gms|1|gmspath|正在复制...",
        "\tfileitem=c|宏工具.gms|1|gmspath|正在复制...",
        "fileitems=c|宏工具.gms|1|gmspath|正在复制...",
        "=c|宏工具.gms|1|gmspath",
        ";fileitem=c|old.gms|1|gmspath",
        "fileitem=c|宏工具.gms|1|gmspath|正在复制...",
    ),
    "short-tasks.ini": ini(
        "setuptitle=Short task lines",
        "flagspicture=cover.bmp",
        "fileitem=c|宏工具.gms|1",
        "fileitem=c|宏工具.gms|1|gmspath|正在复制宏文件...",
        "fileitem=k|OldTools.gms|0|usergmspath|正在删除旧版本...",
        "fileitem=r|setup.exe",
    ),
    "fields.ini": ini(
        "setuptitle=Setup = My add-on",
        "flagspicture=cover.bmp",
        "fileitem=c|宏工具.gms|1|gmspath",
        "fileitem=c|MyAddon.cdws|0|importworkspace|正在导入工作空间...|extra|more",
        "fileitem=r|setup.exe|0|/dir=c:\\addon|正在运行...",
    ),
    "kinds-targets.ini": ini(
        "setuptitle=Kinds and targets",
        "flagspicture=cover.bmp",
        "fileitem=c |宏工具.gms|1|gmspath|正在复制...",
        "fileitem=x|宏工具.gms|1|gmspath|请稍候...",
        "fileitem=c|宏工具.gms|1|gmspath |正在复制...",
        "fileitem=c|宏工具.gms|0|gms|正在复制...",
        "fileitem=k|OldTools.gms|1|importworkspace|正在删除...",
        "fileitem=C|宏工具.gms|1|GMSPath|正在复制...",
    ),
    "required-flags.ini": ini(
        "setuptitle=Required flags",
        "flagspicture=cover.bmp",
        "fileitem=c|宏工具.gms| 1|gmspath|正在复制...",
        "fileitem=c|宏工具.gms|1 |gmspath|正在复制...",
        "fileitem=c|宏工具.gms|01|gmspath|正在复制...",
        "fileitem=c|宏工具.gms|true|gmspath|正在复制...",
        "fileitem=c|宏工具.gms|yes|gmspath|正在复制...",
        "fileitem=c|宏工具.gms|0|gmspath|正在复制...",
        "fileitem=k|OldTools.gms|1|gmspath|正在删除...",
    ),
    "missing-files.ini": ini(
        "setuptitle=Missing files",
        "flagspicture=cover.bmp",
        "fileitem=c|不存在.gms|1|gmspath|正在复制...",
        "fileitem=c|nothere.cdws|0|importworkspace|正在导入...",
        "fileitem=r|nosetup.exe|1||正在运行...",
        "fileitem=c||1|gmspath|正在复制...",
        "fileitem=c|extras|0|gmspath|正在复制...",
        "fileitem=c| 宏工具.gms|0|gmspath|正在复制...",
        "fileitem=c|MACROS.GMS|0|userdatapath|正在复制...",
        "fileitem=m||0||正在删除工具栏...",
        "fileitem=k||0|gmspath|正在删除...",
    ),
    "run-tasks.ini": ini(
        "setuptitle=Run tasks",
        "flagspicture=cover.bmp",
        "fileitem=r|my setup.exe|1|/S /NoRestart|正在运行...",
        'fileitem=r|"setup.exe"|0||正在运行...',
        "fileitem=r|setup.exe|0|/quiet|正在运行...",
    ),
    "copy-subfolder.ini": ini(
        "setuptitle=Copy from a subfolder",
        "flagspicture=cover.bmp",
        "fileitem=c|extras\\icons.gms|1|gmspath|正在复制图标...",
        "fileitem=k|extras\\icons.gms|0|gmspath|正在删除旧图标...",
    ),
    "picture-missing.ini": ini(
        "setuptitle=Picture missing",
        "flagspicture=nocover.bmp",
        "fileitem=c|宏工具.gms|1|gmspath|正在复制...",
    ),
    "picture-format.ini": ini(
        "setuptitle=Picture format",
        "flagspicture=cover.png",
        "fileitem=c|宏工具.gms|1|gmspath|正在复制...",
    ),
    "repeated.ini": ini(
        "setuptitle=First title",
        "flagspicture=cover.bmp",
        "setuptitle=Second title",
        "flagspicture=",
        "fileitem=c|宏工具.gms|1|gmspath|正在复制...",
    ),
    "no-fileitem.ini": ini(
        "setuptitle=No task line",
        "flagspicture=cover.bmp",
        "file item=c|宏工具.gms|1|gmspath|正在复制...",
    ),
    "utf8-no-bom.ini": ini(
        "setuptitle=UTF-8 without BOM",
        "flagspicture=cover.bmp",
        "fileitem=c|宏工具.gms|1|gmspath|正在复制宏文件...",
        encoding="utf-8",
    ),
    "utf8-bom.ini": ini(
        "setuptitle=带 BOM 的 UTF-8",
        "flagspicture=cover.bmp",
        "fileitem=c|宏工具.gms|1|gmspath|正在复制宏文件...",
        encoding="utf-8",
        bom=b"\xEF\xBB\xBF",
    ),
    "utf16.ini": ini(
        "setuptitle=Unicode（UTF-16）",
        "flagspicture=cover.bmp",
        "fileitem=c|宏工具.gms|1|gmspath|正在复制宏文件...",
        encoding="utf-16-le",
        bom=b"\xFF\xFE",
    ),
    "undecodable.ini": b"setuptitle=Broken \xFF title\r\nflagspicture=cover.bmp\r\n"
    + "fileitem=c|宏工具.gms|1|gmspath|正在复制...\r\n".encode("cp936"),
}


def main():
    check = "--check" in sys.argv[1:]
    stale = []
    for name, content in sorted(FILES.items()):
        path = os.path.join(EXAMPLES, *name.split("/"))
        if check:
            try:
                with open(path, "rb") as f:
                    if f.read() != content:
                        stale.append(name)
            except OSError:
                stale.append(name)
            continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)
    if stale:
        print("examples differ from make_examples.py: " + ", ".join(stale))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
