#!/usr/bin/python3
"""Installs the sample add-on (samples/demo-addon) under Wine, into a stand-in CorelDRAW X3, through the Setup.exe
that tessaro-pack makes of the add-on's folder, and shows what happened: the folders before and after, the log,
what CorelDRAW was asked.

    /usr/bin/python3 scripts/demo.py        (scripts/demo sets the machine up and builds first)

With DISPLAY set, the windows open on that display and you click; without it everything runs on a private Xvfb,
confirms by itself and saves screenshots under build/demo/. DEMO_KEEP_PREFIX=1 keeps the Wine prefix.
Exit status 0 only when the installer said "安装成功！" and exited with status 0.

scripts/screenshots.py reuses the pieces below for the documentation pictures.
"""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
import time
from pathlib import Path
from typing import Optional

REPO_ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO_ROOT / "tests" / "e2e"))

import harness  # noqa: E402

BUILD_DIR = harness.BUILD_DIR
SAMPLE = REPO_ROOT / "samples" / "demo-addon"
SHOTS_DIR = REPO_ROOT / "build" / "demo"

CMD_INSTALL = 102
BOX_TITLE = "Tessaro"
SUCCESS = "安装成功！"
INITIALISING = "正在初始化，请稍候..."
STANDIN_TITLE = "CorelDRAW X3 (stand-in)"

COREL_SUITE = r"C:\Program Files\Corel\CorelDRAW Graphics Suite 13"
ADDON_DIR = r"C:\Tessaro Demo\宏工具箱"
RUNNING_COREL_DIR = r"C:\Tessaro Demo\CorelDRAW (running)"
SETUP_EXE = r"C:\Tessaro Demo\Downloads\宏工具箱-Setup.exe"
PACK = REPO_ROOT / "build" / "host" / "tools" / "tessaro_pack" / "tessaro-pack"


def displays() -> range:
    low, _, high = os.environ.get("E2E_DISPLAYS", "71-79").partition("-")
    return range(int(low), int(high or low) + 1)


def say(text: str = "") -> None:
    print(text, flush=True)


def heading(text: str) -> None:
    say()
    say(f"== {text}")


class UserDisplay:
    """Takes the place of the harness's Xvfb when the user has a display of their own."""

    def __init__(self, display: str):
        self.display = display
        self.log_dir: Optional[Path] = None
        self.proc = None

    def start(self) -> str:
        return self.display

    def stop(self) -> None:
        pass


def make_env(user_display: Optional[str], keep_prefix: bool) -> harness.WineEnv:
    """A fresh prefix. On the user's display Wine's windows join their desktop (DEMO_VIRTUAL_DESKTOP=1 asks for
    Wine's own desktop window, for displays without a window manager); on Xvfb the harness's virtual desktop
    draws the frames the screenshots need."""
    if user_display:
        env = harness.WineEnv(virtual_desktop=os.environ.get("DEMO_VIRTUAL_DESKTOP") == "1",
                              keep_prefix=keep_prefix)
        env.xvfb = UserDisplay(user_display)  # type: ignore[assignment]
    else:
        env = harness.WineEnv(displays=displays(), keep_prefix=keep_prefix)
    return env


def host_path(env: harness.WineEnv, windows_path: str) -> Path:
    assert windows_path[:3].upper() == "C:\\"
    return env.drive_c / windows_path[3:].replace("\\", "/")


def wine_user(env: harness.WineEnv) -> str:
    """The profile folder wineboot made for us (Wine names it after the Unix user)."""
    users = [p.name for p in (env.drive_c / "users").iterdir() if p.is_dir() and p.name.lower() != "public"]
    if len(users) != 1:
        raise harness.HarnessError(f"cannot tell the Wine user from {users}")
    return users[0]


class CorelSetup:
    """The folders of a CorelDRAW X3 installation, with the stand-in automation server in its Programs folder."""

    def __init__(self, env: harness.WineEnv):
        user = wine_user(env)
        user_draw = rf"C:\users\{user}\Application Data\Corel\Graphics13\User Draw"
        self.env = env
        self.exe = COREL_SUITE + r"\Programs\CorelDRW.exe"
        self.folders = {
            "UserDataPath": user_draw + "\\",
            "GMSPath": COREL_SUITE + r"\Draw\GMS" + "\\",
            "UserGMSPath": user_draw + r"\GMS" + "\\",
            "ApplicationPath": COREL_SUITE + r"\Programs" + "\\",
        }
        self.trees = [r"C:\Program Files\Corel", rf"C:\users\{user}\Application Data\Corel"]
        self.journal = host_path(env, COREL_SUITE + r"\Programs\CorelDRW.journal")

    def install(self) -> None:
        for folder in self.folders.values():
            host_path(self.env, folder).mkdir(parents=True, exist_ok=True)
        for extra in (r"\Draw\Workspace", r"\Languages\CHS"):
            host_path(self.env, COREL_SUITE + extra).mkdir(parents=True, exist_ok=True)
        host_path(self.env, self.folders["UserDataPath"] + "Workspace").mkdir(exist_ok=True)
        exe = host_path(self.env, self.exe)
        shutil.copy2(BUILD_DIR / "CorelDRW.exe", exe)
        lines = [f"{key}={value}" for key, value in self.folders.items()]
        lines.append("CommandBars=Standard|Toolbox|Old Toolbox")
        (exe.parent / "CorelDRW.ini").write_bytes(("\r\n".join(lines) + "\r\n").encode("utf-8"))
        # Version 0.9 of the same add-on, which task k deletes.
        gms = host_path(self.env, self.folders["GMSPath"])
        (gms / "OldToolbox.gms").write_bytes(b"OldToolbox 0.9 (outdated macro storage of the demo add-on)\r\n")
        (gms / "GlobalMacros.gms").write_bytes(b"CorelDRAW's own global macros (left alone)\r\n")
        result = self.env.run([self.exe, "/RegServer"], timeout=60)
        if result.returncode != 0:
            raise harness.HarnessError(f"CorelDRW.exe /RegServer exited with {result.returncode}")


def start_running_corel(env: harness.WineEnv, driver: Optional[harness.Driver]) -> harness.WineProcess:
    """A "running CorelDRAW": the stand-in without arguments, under the process name the installer ends."""
    exe = host_path(env, RUNNING_COREL_DIR + r"\coreldrw.exe")
    exe.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy2(BUILD_DIR / "CorelDRW.exe", exe)
    proc = env.popen([RUNNING_COREL_DIR + r"\coreldrw.exe"], cwd=exe.parent, name="coreldrw")
    if driver is not None:
        driver.wait_window(STANDIN_TITLE, timeout=30)
    else:
        time.sleep(2)
    return proc


def make_addon(env: harness.WineEnv, windows_dir: str = ADDON_DIR) -> Path:
    """The sample add-on as a user receives it: its files, Tessaro.exe, and marker.exe as welcome.exe."""
    folder = host_path(env, windows_dir)
    folder.mkdir(parents=True, exist_ok=True)
    for item in SAMPLE.iterdir():
        if item.is_file():
            shutil.copy2(item, folder / item.name)
    shutil.copy2(BUILD_DIR / "Tessaro.exe", folder / "Tessaro.exe")
    shutil.copy2(BUILD_DIR / "marker.exe", folder / "welcome.exe")
    return folder


def setup_title(addon: Path) -> str:
    for line in (addon / "InstInfo.ini").read_bytes().decode("gbk").splitlines():
        key, sep, value = line.partition("=")
        if sep and key.strip().lower() == "setuptitle":
            return value
    return BOX_TITLE


def tree(env: harness.WineEnv, windows_root: str) -> list[str]:
    root = host_path(env, windows_root)
    lines = [windows_root + ("" if root.exists() else "  (missing)")]

    def walk(folder: Path, indent: str) -> None:
        entries = sorted(folder.iterdir(), key=lambda p: (not p.is_dir(), p.name.lower()))
        for i, entry in enumerate(entries):
            last = i == len(entries) - 1
            branch = "└── " if last else "├── "
            if entry.is_dir():
                lines.append(f"{indent}{branch}{entry.name}\\")
                walk(entry, indent + ("    " if last else "│   "))
            else:
                lines.append(f"{indent}{branch}{entry.name}  ({entry.stat().st_size} bytes)")

    if root.exists():
        walk(root, "")
    return lines


def print_trees(env: harness.WineEnv, corel: CorelSetup) -> None:
    for root in corel.trees:
        for line in tree(env, root):
            say("  " + line)


def union(*rects: dict, margin: int = 0) -> dict:
    left = min(r["left"] for r in rects) - margin
    top = min(r["top"] for r in rects) - margin
    right = max(r["right"] for r in rects) + margin
    bottom = max(r["bottom"] for r in rects) + margin
    return {"left": max(left, 0), "top": max(top, 0), "width": right - max(left, 0), "height": bottom - max(top, 0)}


class Shots:
    """Screenshots of the run, cropped to what they show."""

    def __init__(self, env: harness.WineEnv, folder: Path):
        self.env = env
        self.folder = folder
        self.paths: dict[str, Path] = {}
        folder.mkdir(parents=True, exist_ok=True)
        for stale in folder.glob("*.png"):
            stale.unlink()

    def take(self, name: str, rect: dict) -> Path:
        time.sleep(0.4)  # let Wine finish painting
        path = self.env.screenshot(self.folder / f"{name}.png", rect)
        self.paths[name] = path
        return path


class RunResult:
    def __init__(self) -> None:
        self.exit_status: Optional[int] = None
        self.final_message: Optional[str] = None
        self.captions: list[str] = []


def drive_install(env: harness.WineEnv, driver: harness.Driver, proc: harness.WineProcess, title: str,
                  shots: Shots) -> RunResult:
    """What a user does: look at the window, click Install, confirm, watch, read the result, press OK."""
    result = RunResult()
    driver.wait_window(title, timeout=60)
    window = driver.describe(title)["rect"]
    shots.take("window", window)
    say(f"  window \"{title}\" is up; clicking \"{driver.text(title, CMD_INSTALL)}\"")

    driver.click(title, CMD_INSTALL)
    box = driver.wait_msgbox(BOX_TITLE, timeout=15)
    shots.take("confirm", union(window, box["rect"], margin=8))
    say("  confirmation box: " + box["text"].replace("\r\n", " / "))
    driver.press_msgbox("OK")

    caption = driver.wait_text(title, CMD_INSTALL, INITIALISING, timeout=10)
    if caption == INITIALISING:
        shots.take("running", window)
    result.captions.append(caption)
    say(f"  pressed OK; the button says \"{caption}\" (the installer waits 10 s after ending CorelDRAW)")

    deadline = time.monotonic() + 60
    box = None
    while time.monotonic() < deadline and proc.running():
        answer = driver.request("wait-msgbox", title=BOX_TITLE, timeout=300)
        if answer.get("ok"):
            box = answer
            break
        try:
            caption = driver.text(title, CMD_INSTALL)
        except harness.DriverError:
            continue
        if caption != result.captions[-1]:
            result.captions.append(caption)
    if box is None:
        raise harness.HarnessTimeout("no final message box within 60 s")
    result.final_message = box["text"]
    try:
        caption = driver.text(title, CMD_INSTALL)
        if caption != result.captions[-1]:
            result.captions.append(caption)
    except harness.DriverError:
        pass
    shots.take("success" if box["text"] == SUCCESS else "failure", union(window, box["rect"], margin=8))
    say(f"  final message box ({box['icon']}): {box['text']}")
    driver.press_msgbox("OK")
    result.exit_status = proc.wait(30)
    return result


def wait_for_user(proc: harness.WineProcess, title: str) -> RunResult:
    say(f"  The window \"{title}\" is open on {os.environ.get('DISPLAY')}.")
    say("  Click \"点这里开始安装\", confirm with 确定, wait about 15 s for \"安装成功！\" and press 确定.")
    say("  (Closing the window instead ends the installer without installing.) Waiting for it to end...")
    result = RunResult()
    result.exit_status = proc.proc.wait()
    return result


def final_message_from_log(messages: list[str]) -> Optional[str]:
    dialogs = [m[len("对话框："):] for m in messages if m.startswith("对话框：")]
    return dialogs[-1] if dialogs else None


def read_ran(path: Path, timeout: float) -> Optional[str]:
    """welcome.exe writes its .ran file when it starts, which may be a moment after the installer ended."""
    harness.wait_until(path.exists, timeout)
    if not path.exists():
        return None
    time.sleep(0.2)
    return path.read_bytes().decode("utf-8", "replace")


def pack_setup(env: harness.WineEnv, addon: Path) -> Path:
    """What a maker ships: one Setup.exe made of the add-on's folder by tessaro-pack."""
    setup = host_path(env, SETUP_EXE)
    setup.parent.mkdir(parents=True, exist_ok=True)
    result = subprocess.run([str(PACK), "--stub", str(BUILD_DIR / "Tessaro.exe"), str(addon), "-o", str(setup)],
                            capture_output=True, text=True, timeout=120)
    for line in (result.stdout + result.stderr).splitlines():
        say("  " + line.replace(str(setup), SETUP_EXE))
    if result.returncode != 0:
        raise harness.HarnessError(f"tessaro-pack ended with exit status {result.returncode}")
    return setup


def stage(env: harness.WineEnv, driver: Optional[harness.Driver]) -> tuple[CorelSetup, harness.WineProcess, Path]:
    heading("CorelDRAW X3 (stand-in) and the add-on")
    corel = CorelSetup(env)
    corel.install()
    say(f"  registered {corel.exe} /RegServer (exit status 0)")
    for key, value in corel.folders.items():
        say(f"  {key} = {value}")
    say("  CommandBars = Standard|Toolbox|Old Toolbox")
    running = start_running_corel(env, driver)
    say(f"  running \"CorelDRAW\": {RUNNING_COREL_DIR}\\coreldrw.exe (window \"{STANDIN_TITLE}\")")
    addon = make_addon(env)
    say(f"  add-on folder: {ADDON_DIR}\\ = " + ", ".join(sorted(p.name for p in addon.iterdir())))
    return corel, running, addon


def main() -> int:
    user_display = os.environ.get("DISPLAY") or None
    keep = os.environ.get("DEMO_KEEP_PREFIX") == "1"
    for path in [BUILD_DIR / exe for exe in ("Tessaro.exe", "CorelDRW.exe", "marker.exe", "uidriver.exe",
                                             "uidriver_hook.dll")] + [PACK]:
        if not path.exists():
            say(f"demo: {path} is missing; run scripts/build host win64 first")
            return 2

    started = time.monotonic()
    env = make_env(user_display, keep)
    heading("Wine prefix")
    env.start()
    where = str(env.prefix) if keep else "a fresh prefix"
    say(f"  {where} on display {env.display} ({env.timings.get('env_start_s', 0):.0f} s to set up)")
    driver: Optional[harness.Driver] = None
    ok = False
    try:
        driver = harness.Driver(env)
        corel, running, addon = stage(env, driver)
        title = setup_title(addon)

        heading("Folders before")
        print_trees(env, corel)

        heading(f"tessaro-pack: the add-on folder as one Setup.exe")
        setup = pack_setup(env, addon)

        heading(f"Running {SETUP_EXE} /log")
        harness.clear_log(env)
        proc = env.popen([SETUP_EXE, "/log"], cwd=setup.parent, name="Setup")
        shots = Shots(env, SHOTS_DIR)
        if user_display:
            result = wait_for_user(proc, title)
        else:
            result = drive_install(env, driver, proc, title, shots)
        messages = harness.log_messages(env)
        if result.final_message is None:
            result.final_message = final_message_from_log(messages)

        heading("Result")
        say(f"  exit status: {result.exit_status}")
        say(f"  final message: {result.final_message}")
        if result.captions:
            say("  button captions seen: " + " → ".join(result.captions))

        heading(r"C:\Tessaro.log (GBK, decoded)")
        for line in harness.read_log(env):
            say("  " + line)

        heading("Folders after")
        print_trees(env, corel)

        heading(f"{COREL_SUITE}\\Programs\\CorelDRW.journal (what CorelDRAW was asked)")
        journal = corel.journal.read_bytes().decode("utf-8", "replace") if corel.journal.exists() else ""
        for line in journal.splitlines():
            say("  " + line)
        if not journal:
            say("  (no journal: CorelDRAW was never started)")

        heading("The running CorelDRAW")
        ended = harness.wait_until(lambda: not running.running(), 5)
        window_left = any(w["title"] == STANDIN_TITLE for w in driver.list_windows())
        if ended and not window_left:
            say("  coreldrw.exe was ended by the installer; its window is gone")
        else:
            say(f"  coreldrw.exe is still running (window shown: {window_left})")

        heading("welcome.exe, started from the folder Setup.exe unpacked")
        started_program = [m for m in messages if m.startswith("准备运行外部程序：")]
        say("  " + (started_program[0] if started_program else "(not started)"))

        if shots.paths:
            heading("Screenshots")
            for path in shots.paths.values():
                say(f"  {path}")

        ok = result.exit_status == 0 and result.final_message == SUCCESS
        say()
        say(f"demo: {'installed: 安装成功！ and exit status 0' if ok else 'FAILED'} "
            f"({time.monotonic() - started:.0f} s)")
    except harness.HarnessError as exc:
        say(f"demo: FAILED: {exc}")
        try:
            env.screenshot(SHOTS_DIR / "error.png")
            say(f"  screen at the time: {SHOTS_DIR / 'error.png'}")
        except Exception:
            pass
    finally:
        if driver is not None:
            driver.quit()
        env.stop()
        if keep:
            say(f"demo: Wine prefix kept: {env.prefix}")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
