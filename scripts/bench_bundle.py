"""Setup.exe against NSIS and against Tessaro.exe in an unpacked folder: the part of scripts/bench.py that measures
the bundles tessaro-pack makes (docs/performance.md explains the figures).

- Size: tessaro-pack's Setup.exe (x86 and x64) against makensis with `SetCompressor /SOLID lzma` of the very same
  files and icon, for the demo add-on and a generated add-on of about 1 MB.
- Start-to-window: the x64 Setup.exe against Tessaro.exe started in the same add-on unpacked, with payloads of about
  1 MB and 20 MB; round robin, the median counts.
"""

from __future__ import annotations

import random
import shutil
import struct
import subprocess
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
BUILD = REPO / "build"
PACK = BUILD / "host" / "tools" / "tessaro_pack" / "tessaro-pack"
ICON = REPO / "src" / "ui" / "res" / "tessaro.ico"
NSIS_SCRIPT = REPO / "bench" / "nsis" / "bundle_installer.nsi"
DEMO = REPO / "samples" / "demo-addon"
MIB = 1024 * 1024

# What a macro project holds, roughly: module source (much of it alike) and compressed or binary streams.
_WORDS = ("ActiveDocument", "ActiveLayer", "Shapes", "Selection", "Application", "Optimization", "Refresh",
          "Dim", "As", "Long", "Double", "String", "If", "Then", "End", "For", "Next", "Each", "In", "With")


def _macro_text(rng: random.Random, size: int) -> bytes:
    lines = []
    length = 0
    module = 0
    while length < size:
        module += 1
        block = [f'Attribute VB_Name = "Module{module}"', f"Sub Macro{module}()"]
        for _ in range(rng.randint(4, 14)):
            words = " ".join(rng.choice(_WORDS) for _ in range(rng.randint(2, 6)))
            block.append(f"    {words} {rng.randint(0, 9999)}, {rng.random():.4f}")
        block.append("End Sub")
        text = "\r\n".join(block) + "\r\n"
        lines.append(text)
        length += len(text)
    return "".join(lines).encode("ascii")[:size]


def _macro_project(rng: random.Random, size: int) -> bytes:
    """Three parts text to two parts random bytes, in 4 KiB runs: source and already-compressed streams."""
    out = bytearray()
    while len(out) < size:
        run = min(4096, size - len(out))
        out += _macro_text(rng, run) if rng.random() < 0.6 else rng.randbytes(run)
    return bytes(out)


def _cover_picture(rng: random.Random) -> bytes:
    """A 420 x 78 24-bit BMP: a gradient with a little noise, the size of the window's picture."""
    width, height = 420, 78
    row = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in range(height):
        line = bytearray()
        for x in range(width):
            noise = rng.randint(-6, 6)
            line += bytes((max(0, min(255, 40 + x // 3 + noise)), max(0, min(255, 90 + y + noise)), 160))
        pixels += line + b"\0" * (row - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info)) + info + bytes(pixels)


def make_addon(folder: Path, title: str, total_bytes: int) -> Path:
    """An add-on of one macro project and a cover picture, about `total_bytes` in all."""
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    rng = random.Random(total_bytes)
    picture = _cover_picture(rng)
    (folder / "cover.bmp").write_bytes(picture)
    (folder / "Project.gms").write_bytes(_macro_project(rng, max(0, total_bytes - len(picture))))
    ini = (f"[Tessaro]\r\nsetuptitle={title}\r\nflagspicture=cover.bmp\r\n"
           "fileitem=c|Project.gms|1|gmspath|正在复制宏文件...\r\n")
    (folder / "InstInfo.ini").write_bytes(ini.encode("gbk"))
    return folder


def pack(folder: Path, arch: str, out: Path) -> Path:
    stub = BUILD / ("win32" if arch == "x86" else "win64") / "Tessaro.exe"
    subprocess.run([str(PACK), "--arch", arch, "--stub", str(stub), str(folder), "-o", str(out)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
    return out


def packed_files(folder: Path) -> list[Path]:
    """What tessaro-pack puts in the bundle: the files its output names as packed."""
    stub = BUILD / "win32" / "Tessaro.exe"
    out = subprocess.run([str(PACK), "--stub", str(stub), str(folder), "-o", "/dev/null"], capture_output=True,
                         text=True, timeout=600).stdout
    return [folder / line.split(": ", 1)[1] for line in out.splitlines() if line.startswith("packed: ")]


def nsis(files: list[Path], target: str, out: Path) -> Path:
    listing = out.with_suffix(".nsh")
    listing.write_text("".join(f'File "{f}"\n' for f in files), encoding="utf-8")
    subprocess.run(["makensis", "-V1", f"-DTARGET={target}", f"-DOUTFILE={out}", f"-DICON={ICON}",
                    f"-DFILES={listing}", str(NSIS_SCRIPT)], check=True, timeout=600)
    return out


def measure_sizes(out_dir: Path) -> dict:
    """Bytes of Setup.exe and of the NSIS installer, per payload and architecture."""
    payloads = {"demo": DEMO, "1mb": make_addon(out_dir / "addon-1mb", "Bench Setup 1 MB", MIB)}
    sizes: dict = {}
    for name, folder in payloads.items():
        files = packed_files(folder)
        sizes[name] = {"payload_bytes": sum(f.stat().st_size for f in files)}
        for arch, target in (("x86", "x86-unicode"), ("x64", "amd64-unicode")):
            setup = pack(folder, arch, out_dir / f"setup-{name}-{arch}.exe")
            installer = nsis(files, target, out_dir / f"nsis-{name}-{arch}.exe")
            stub = BUILD / ("win32" if arch == "x86" else "win64") / "Tessaro.exe"
            sizes[name][arch] = {"setup": setup.stat().st_size, "nsis": installer.stat().st_size,
                                 "stub": stub.stat().st_size}
    return sizes


def _one_start(env, watch, driver, exe: Path, cwd: Path, title: str) -> float:
    t0, proc = env.start_timed(exe, cwd)
    try:
        mapped = watch.wait_map(title, t0, timeout=120)
        # Closed, not killed: Setup.exe removes its folder at exit, and a killed one would leave it for the next
        # start to sweep, inside its measured time.
        driver.close(title)
        proc.wait(timeout=120)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait(timeout=30)
    if mapped.pid not in (0, proc.pid):
        raise RuntimeError(f"{exe.name}: the window belongs to pid {mapped.pid}, not {proc.pid}")
    left = list(env.drive_c.glob("users/*/AppData/Local/Temp/Tessaro-*"))
    if left:
        raise RuntimeError(f"{exe.name} left {left} behind")
    return (mapped.at_ns - t0) / 1e6


def measure_starts(env, watch, driver, runs: int) -> dict:
    """Start-to-window of Setup.exe and of Tessaro.exe in the unpacked folder, for about 1 MB and 20 MB."""
    results: dict = {}
    for megabytes in (1, 20):
        title = f"Bench Setup {megabytes} MB"
        folder = make_addon(env.drive_c / "addons" / f"bundle{megabytes}", title, megabytes * MIB)
        setup = pack(folder, "x64", env.drive_c / f"Setup{megabytes}.exe")
        shutil.copy2(BUILD / "win64" / "Tessaro.exe", folder / "Tessaro.exe")
        programs = {"setup": (setup, setup.parent), "folder": (folder / "Tessaro.exe", folder)}
        times: dict[str, list[float]] = {key: [] for key in programs}
        for exe, cwd in programs.values():  # one unmeasured start each
            _one_start(env, watch, driver, exe, cwd, title)
        order = random.Random(megabytes)
        for _ in range(runs):
            for key in order.sample(list(programs), len(programs)):
                exe, cwd = programs[key]
                times[key].append(_one_start(env, watch, driver, exe, cwd, title))
                time.sleep(0.3)
        results[megabytes] = times
    return results
