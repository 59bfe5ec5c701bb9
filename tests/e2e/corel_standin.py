"""The stand-in CorelDRAW X3 (build/win64/CorelDRW.exe) inside a test's Wine prefix."""

from __future__ import annotations

import os
import shutil
import signal
import time
from pathlib import Path
from typing import Optional

import harness

STANDIN_EXE = harness.BUILD_DIR / "CorelDRW.exe"
MARKER_EXE = harness.BUILD_DIR / "marker.exe"


class StandIn:
    """One registered stand-in server with its own folders, CorelDRW.ini and journal."""

    def __init__(self, env: harness.WineEnv, name: str):
        self.env = env
        self.root = env.drive_c / "corel" / name
        shutil.rmtree(self.root, ignore_errors=True)
        self.programs = self.root / "Programs"
        self.programs.mkdir(parents=True)
        shutil.copy2(STANDIN_EXE, self.programs / "CorelDRW.exe")
        self.folders = {key: self.root / sub for key, sub in
                        (("UserDataPath", "User Data"), ("GMSPath", "GMS"), ("UserGMSPath", "User GMS"))}
        self.folders["ApplicationPath"] = self.programs
        for folder in self.folders.values():
            folder.mkdir(parents=True, exist_ok=True)
        self.settings: dict[str, str] = {key: env.windows_path(path) for key, path in self.folders.items()}
        self.settings["CommandBars"] = "Standard|Toolbox"

    def configure(self, **settings: str) -> None:
        """CorelDRW.ini keys, e.g. configure(CommandBars="A|B", **{"Fail.GMSPath": "48"})."""
        self.settings.update(settings)
        text = "".join(f"{key}={value}\r\n" for key, value in self.settings.items())
        (self.programs / "CorelDRW.ini").write_text(text, encoding="utf-8")

    def register(self) -> None:
        self.configure()
        result = self.env.run([self.env.windows_path(self.programs / "CorelDRW.exe"), "/RegServer"], timeout=60)
        assert result.returncode == 0, result.stderr

    def unregister(self) -> None:
        self.env.run([self.env.windows_path(self.programs / "CorelDRW.exe"), "/UnregServer"], timeout=60)

    def journal(self) -> list[str]:
        path = self.programs / "CorelDRW.journal"
        if not path.exists():
            return []
        return [line for line in path.read_bytes().decode("utf-8-sig").split("\r\n") if line]

    def running_corel(self, name: str) -> harness.WineProcess:
        """A running "CorelDRAW": a copy of the stand-in named coreldrw.exe, started without arguments."""
        folder = self.root / "running" / name
        folder.mkdir(parents=True, exist_ok=True)
        shutil.copy2(STANDIN_EXE, folder / "coreldrw.exe")
        process = self.env.popen([self.env.windows_path(folder / "coreldrw.exe")], cwd=folder, name=f"coreldrw-{name}")
        time.sleep(1.5)
        assert process.running(), "the running CorelDRAW stand-in ended at once"
        return process


SERVER_NAMES = (b"coreldrw.exe", b"corelx3server.exe")


def kill_leftover_servers(env: harness.WineEnv, restart_services: bool = True) -> bool:
    """A server left from an earlier run can make the next creation hang: none may survive a test. Only this
    prefix's processes are ended; other test runs on the machine have their own. A COM server ended this way
    stays registered with the prefix's COM services, which would hand its dead address to the next creation, so
    the prefix's services are restarted after it (a "CorelDRAW" in window mode needs no such care)."""
    prefix = str(env.prefix).encode()
    killed = False
    killed_server = False
    for proc in Path("/proc").iterdir():
        if not proc.name.isdigit():
            continue
        try:
            command = (proc / "cmdline").read_bytes().lower()
            environ = (proc / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if any(name in command for name in SERVER_NAMES) and b"WINEPREFIX=" + prefix in environ:
            try:
                os.kill(int(proc.name), signal.SIGKILL)
                killed = True
                killed_server = killed_server or b"embedding" in command
            except OSError:
                pass
    if killed_server and restart_services:
        restart_wine_services(env)
    return killed


def restart_wine_services(env: harness.WineEnv) -> None:
    """Ends everything in the prefix and brings its services back before the next test starts a program."""
    env.kill_wineserver()
    env.run(["cmd", "/c", "exit"], timeout=120)


def read_ran(path: Path) -> Optional[list[str]]:
    """The command lines marker.exe recorded, or None when it never ran."""
    if not path.exists():
        return None
    return [line for line in path.read_bytes().decode("utf-8").split("\r\n") if line]
