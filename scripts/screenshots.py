#!/usr/bin/python3
"""Refreshes the pictures in docs/ from the real Tessaro.exe under Wine (always on a private Xvfb):

    docs/window.png          the demo add-on's window with the built-in banner, frame included
    docs/window-cover.png    the same window with a cover picture (flags.bmp drawn here with ImageMagick)
    docs/demo/confirm.png    the confirmation box over the window
    docs/demo/running.png    the window while the install runs ("正在初始化，请稍候...")
    docs/demo/success.png    the final "安装成功！" box

The install is the demo's (scripts/demo.py): the stand-in CorelDRAW, a running coreldrw.exe, the sample add-on.
The PNGs are stripped and stored with an 8-bit palette, so they stay small in the repository.
"""

from __future__ import annotations

import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import demo  # noqa: E402
import harness  # noqa: E402

DOCS = demo.REPO_ROOT / "docs"
COVER_ADDON_DIR = r"C:\Tessaro Demo\宏工具箱 (封面)"
FONT = Path("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc")
EXIT_CLOSED = 2


def make_cover(path: Path) -> None:
    """A 420x78 cover: a blue gradient, the add-on's name in WenQuanYi Micro Hei and a few tiles."""
    if not FONT.exists():
        raise harness.HarnessError(f"{FONT} is missing (package fonts-wqy-microhei; scripts/setup installs it)")
    tiles = []
    for row in range(2):
        for col in range(3):
            x, y = 318 + col * 30 + row * 6, 12 + row * 28
            alpha = 0.10 + 0.07 * ((row + col) % 3)
            tiles += ["-fill", f"rgba(255,255,255,{alpha:.2f})", "-draw", f"rectangle {x},{y} {x + 24},{y + 24}"]
    subprocess.run(["convert", "-size", "78x420", "gradient:#0b3d6b-#3f8fc9", "-rotate", "-90", *tiles,
                    "-font", str(FONT), "-gravity", "west",
                    "-fill", "white", "-pointsize", "38", "-annotate", "+28-6", "宏工具箱",
                    "-fill", "#d8e8f5", "-pointsize", "14", "-annotate", "+30+25", "CorelDRAW X3 宏插件  1.0",
                    "-type", "TrueColor", f"BMP3:{path}"], check=True, timeout=60)


def publish(source: Path, target: Path) -> None:
    """Stripped PNG with an 8-bit palette: lossless when the shot has at most 256 colours (the plain window
    does), quantised otherwise (the gradient cover)."""
    target.parent.mkdir(parents=True, exist_ok=True)
    colours = int(subprocess.run(["identify", "-format", "%k", str(source)], capture_output=True, text=True,
                                 check=True, timeout=60).stdout)
    quantise = [] if colours <= 256 else ["-dither", "FloydSteinberg", "-colors", "256"]
    subprocess.run(["convert", str(source), "-strip", *quantise, "-define", "png:compression-level=9",
                    f"PNG8:{target}"], check=True, timeout=60)
    print(f"  {target.relative_to(demo.REPO_ROOT)}  {target.stat().st_size} bytes"
          f" ({colours} colours{', quantised' if quantise else ''})", flush=True)


def cover_window(env: harness.WineEnv, driver: harness.Driver, title: str, shots: demo.Shots) -> None:
    folder = demo.make_addon(env, COVER_ADDON_DIR)
    make_cover(folder / "flags.bmp")
    proc = env.popen([COVER_ADDON_DIR + r"\Tessaro.exe"], cwd=folder, name="Tessaro-cover")
    driver.wait_window(title, timeout=60)
    shots.take("window-cover", driver.describe(title)["rect"])
    driver.close(title)
    status = proc.wait(30)
    if status != EXIT_CLOSED:
        raise harness.HarnessError(f"the cover window's Tessaro.exe exited with {status}, not {EXIT_CLOSED}")


def main() -> int:
    for exe in ("Tessaro.exe", "CorelDRW.exe", "marker.exe", "uidriver.exe", "uidriver_hook.dll"):
        if not (demo.BUILD_DIR / exe).exists():
            print(f"screenshots: {demo.BUILD_DIR / exe} is missing; run scripts/build win64 first")
            return 2
    started = time.monotonic()
    env = demo.make_env(None, keep_prefix=False)
    env.start()
    driver = None
    try:
        with tempfile.TemporaryDirectory(prefix="tessaro-shots-") as tmp:
            driver = harness.Driver(env)
            shots = demo.Shots(env, Path(tmp))
            _, _, addon = demo.stage(env, driver)
            title = demo.setup_title(addon)
            proc = env.popen([demo.ADDON_DIR + r"\Tessaro.exe", "/log"], cwd=addon, name="Tessaro")
            result = demo.drive_install(env, driver, proc, title, shots)
            if result.exit_status != 0 or result.final_message != demo.SUCCESS:
                print(f"screenshots: the install ended with {result.final_message!r}, status {result.exit_status}")
                return 1
            cover_window(env, driver, title, shots)

            print("== Pictures")
            targets = {"window": DOCS / "window.png", "window-cover": DOCS / "window-cover.png",
                       "confirm": DOCS / "demo" / "confirm.png", "running": DOCS / "demo" / "running.png",
                       "success": DOCS / "demo" / "success.png"}
            for name, target in targets.items():
                publish(shots.paths[name], target)
    except harness.HarnessError as exc:
        print(f"screenshots: FAILED: {exc}")
        return 1
    finally:
        if driver is not None:
            driver.quit()
        env.stop()
    print(f"screenshots: done in {time.monotonic() - started:.0f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
