"""End-to-end harness for Tessaro under Wine: Xvfb, a private Wine prefix, add-on folders, the UI driver, the log.

Standard library only. pytest fixtures wrapping all this live in conftest.py; README.md describes the whole thing.
Every external command runs under a timeout, so a wedged Wine fails a test instead of hanging the run.
"""

from __future__ import annotations

import json
import os
import queue
import shutil
import signal
import subprocess
import tempfile
import threading
import time
from pathlib import Path
from typing import Any, Iterable, Optional

REPO_ROOT = Path(__file__).resolve().parents[2]
BUILD_DIR = Path(os.environ.get("TESSARO_BUILD_DIR", REPO_ROOT / "build" / "win64"))
TESSARO_EXE = BUILD_DIR / "Tessaro.exe"
UIDRIVER_EXE = BUILD_DIR / "uidriver.exe"
UIDRIVER_HOOK_DLL = BUILD_DIR / "uidriver_hook.dll"
FIXTURE_WINDOW_EXE = BUILD_DIR / "e2e_fixture_window.exe"



def pe_bits(exe: Path) -> int:
    """32 or 64, from the machine field of a PE file's header."""
    data = exe.read_bytes()[:4096]
    pe = int.from_bytes(data[0x3C:0x40], "little")
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
        raise HarnessError(f"{exe} is not a PE file")
    machines = {0x14C: 32, 0x8664: 64}
    machine = int.from_bytes(data[pe + 4:pe + 6], "little")
    if machine not in machines:
        raise HarnessError(f"{exe}: unexpected machine {machine:#x}")
    return machines[machine]


DEFAULT_DISPLAYS = range(71, 80)
DEFAULT_LOCALE = "zh_CN.UTF-8"
MSGBOX_TITLE = "Tessaro"
LOG_NAME = "Tessaro.log"
ANSI_ENCODING = "gbk"  # code page 936, what Wine uses as the ANSI code page under zh_CN.UTF-8


class HarnessError(RuntimeError):
    pass


class HarnessTimeout(HarnessError):
    pass


# ------------------------------------------------------------------------------------------------------------------
# Host tools


def wait_until(predicate, timeout: float = 10.0, interval: float = 0.05) -> bool:
    """Polls `predicate()` until it is true or `timeout` seconds pass; returns its last value as a bool."""
    deadline = time.monotonic() + timeout
    while True:
        if predicate():
            return True
        if time.monotonic() >= deadline:
            return False
        time.sleep(interval)


def find_wine_loader() -> str:
    """The 64-bit Wine loader: $E2E_WINE, Debian's /usr/lib/wine/wine64, or wine64 on PATH."""
    candidates = [os.environ.get("E2E_WINE"), "/usr/lib/wine/wine64", shutil.which("wine64")]
    for candidate in candidates:
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    raise HarnessError("no 64-bit Wine loader found (tried $E2E_WINE, /usr/lib/wine/wine64, wine64 on PATH)")


def find_wineserver(loader: str) -> str:
    beside = Path(loader).parent
    candidates = [os.environ.get("E2E_WINESERVER"), str(beside / "wineserver64"), str(beside / "wineserver"),
                  shutil.which("wineserver")]
    for candidate in candidates:
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    raise HarnessError("no wineserver found")


def locale_available(name: str = DEFAULT_LOCALE) -> bool:
    wanted = name.lower().replace("-", "")
    out = subprocess.run(["locale", "-a"], capture_output=True, text=True, timeout=30).stdout
    return any(line.strip().lower().replace("-", "") == wanted for line in out.splitlines())


def ensure_locale(name: str = DEFAULT_LOCALE) -> None:
    """Makes sure the locale exists; as root it is generated on the spot (Debian's `locales` package)."""
    if locale_available(name):
        return
    gen = Path("/etc/locale.gen")
    if os.geteuid() == 0 and gen.exists() and shutil.which("locale-gen"):
        text = gen.read_text()
        lang = name.split(".")[0]
        lines = []
        for line in text.splitlines():
            stripped = line.lstrip("# ").strip()
            lines.append(stripped if stripped.startswith(f"{lang}.UTF-8") else line)
        gen.write_text("\n".join(lines) + "\n")
        subprocess.run(["locale-gen"], capture_output=True, timeout=300)
    if not locale_available(name):
        raise HarnessError(f"locale {name} is missing: enable it in /etc/locale.gen and run locale-gen")


def _kill_group(proc: subprocess.Popen, grace: float = 3.0) -> None:
    """Ends a process started with start_new_session=True, together with anything it spawned (Wine starts a
    program's child processes in the same process group), and waits until the whole group is gone. A leader that
    was reaped earlier is left alone: its group id may belong to someone else by now."""
    if proc.returncode is not None:
        return
    if proc.poll() is None:
        for sig, wait in ((signal.SIGTERM, grace), (signal.SIGKILL, 10.0)):
            try:
                os.killpg(proc.pid, sig)
            except ProcessLookupError:
                break
            try:
                proc.wait(timeout=wait)
                break
            except subprocess.TimeoutExpired:
                continue
    deadline = time.monotonic() + 5.0
    while time.monotonic() < deadline:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            return
        time.sleep(0.05)


# ------------------------------------------------------------------------------------------------------------------
# Xvfb


def x11_warp_pointer(display: str, x: int, y: int, timeout: float = 5.0) -> None:
    """Moves the X pointer like a user would, speaking just enough of the X11 protocol (connection set-up, then
    WarpPointer and a GetInputFocus round trip so the move is processed before we return). Our Xvfb has no
    access control, so no authentication is needed."""
    import socket
    import struct

    number = display.lstrip(":").split(".")[0]
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as sock:
        sock.settimeout(timeout)
        sock.connect(f"/tmp/.X11-unix/X{number}")

        def read(n: int) -> bytes:
            data = b""
            while len(data) < n:
                chunk = sock.recv(n - len(data))
                if not chunk:
                    raise HarnessError("X server closed the connection")
                data += chunk
            return data

        sock.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
        head = read(8)
        if head[0] != 1:
            raise HarnessError(f"X server refused the connection: {read(head[1]).decode('latin-1', 'replace')}")
        extra = read(struct.unpack_from("<H", head, 6)[0] * 4)
        vendor_len = struct.unpack_from("<H", extra, 16)[0]
        formats = extra[21]
        root_at = 32 + (vendor_len + 3) // 4 * 4 + 8 * formats
        root = struct.unpack_from("<I", extra, root_at)[0]
        sock.sendall(struct.pack("<BxHIIhhHHhh", 41, 6, 0, root, 0, 0, 0, 0, x, y))
        sock.sendall(struct.pack("<BxH", 43, 1))
        reply = read(32)
        if reply[0] != 1:
            raise HarnessError(f"X error {reply[1]} after WarpPointer")



class Xvfb:
    """A private X server on the first free display of `displays`."""

    def __init__(self, displays: Iterable[int] = DEFAULT_DISPLAYS, size: str = "1024x768x24",
                 log_dir: Optional[Path] = None):
        self.displays = list(displays)
        self.size = size
        self.log_dir = log_dir
        self.display: Optional[str] = None
        self.proc: Optional[subprocess.Popen] = None

    def start(self, timeout: float = 10.0) -> str:
        if shutil.which("Xvfb") is None:
            raise HarnessError("Xvfb is not installed")
        for number in self.displays:
            if Path(f"/tmp/.X11-unix/X{number}").exists() or Path(f"/tmp/.X{number}-lock").exists():
                continue
            log = open(self.log_dir / f"xvfb-{number}.log", "wb") if self.log_dir else subprocess.DEVNULL
            proc = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", self.size, "-nolisten", "tcp"],
                                    stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
            if log is not subprocess.DEVNULL:
                log.close()
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline:
                if proc.poll() is not None:
                    break  # lost a race for this display: try the next one
                if Path(f"/tmp/.X11-unix/X{number}").exists():
                    self.proc = proc
                    self.display = f":{number}"
                    return self.display
                time.sleep(0.05)
            _kill_group(proc)
        raise HarnessError(f"no free X display in :{self.displays[0]}..:{self.displays[-1]}")

    def stop(self) -> None:
        if self.proc is not None:
            _kill_group(self.proc)
            self.proc = None


# ------------------------------------------------------------------------------------------------------------------
# Wine


class WineProcess:
    """One Windows program started through the Wine loader. Its Unix exit status is the Windows exit code modulo
    256 (Wine passes the code to exit(), which keeps only the low byte)."""

    def __init__(self, proc: subprocess.Popen, name: str, stdout_path: Path, stderr_path: Path):
        self.proc = proc
        self.name = name
        self.stdout_path = stdout_path
        self.stderr_path = stderr_path
        self.started = time.monotonic()

    @property
    def pid(self) -> int:
        return self.proc.pid

    def poll(self) -> Optional[int]:
        return self.proc.poll()

    def running(self) -> bool:
        return self.proc.poll() is None

    def wait(self, timeout: float = 30.0) -> int:
        """Waits for the exit code; raises HarnessTimeout (and leaves the process running) on timeout."""
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessTimeout(f"{self.name} still running after {timeout:.1f}s") from None

    def kill(self) -> None:
        """Ends this program only. Not its process group: the first window program of a prefix session starts
        Wine's desktop (explorer.exe) as its child, and taking the desktop down with it would leave every later
        window of the session without a screen."""
        if self.proc.poll() is not None:
            return
        try:
            self.proc.kill()
            self.proc.wait(timeout=10)
        except (ProcessLookupError, subprocess.TimeoutExpired):
            pass

    def output(self) -> tuple[str, str]:
        def read(path: Path) -> str:
            return path.read_bytes().decode("utf-8", "replace") if path.exists() else ""

        return read(self.stdout_path), read(self.stderr_path)


class WineEnv:
    """A throw-away Wine prefix under /tmp, an Xvfb display and the environment to run Windows programs in them.

    The prefix uses a Wine virtual desktop of the screen's size by default: with no window manager on Xvfb, Wine
    would otherwise leave captions and frames undrawn, and screenshots would not look like Windows.

    `headless` makes a prefix with no display at all, as a deployment tool's session has none: no Xvfb, no
    $DISPLAY, and Wine's null graphics driver, so that a program can still make its hidden windows (COM's
    apartment window among them) while nothing can be shown.
    """

    def __init__(self, displays: Iterable[int] = DEFAULT_DISPLAYS, screen: tuple[int, int] = (1024, 768),
                 virtual_desktop: bool = True, locale: str = DEFAULT_LOCALE, keep_prefix: bool = False,
                 prefix_parent: str = "/tmp", headless: bool = False):
        self.headless = headless
        self.screen = screen
        self.virtual_desktop = virtual_desktop and not headless
        self.locale = locale
        self.keep_prefix = keep_prefix
        self.prefix_parent = prefix_parent
        self.prefix: Optional[Path] = None
        self.loader = ""
        self.wineserver = ""
        self.xvfb = Xvfb(displays, size=f"{screen[0]}x{screen[1]}x24")
        self.env: dict[str, str] = {}
        self.timings: dict[str, float] = {}
        self._seq = 0
        self._procs: list[WineProcess] = []

    # -- life cycle --

    def start(self) -> "WineEnv":
        t0 = time.monotonic()
        self.loader = find_wine_loader()
        self.wineserver = find_wineserver(self.loader)
        ensure_locale(self.locale)
        self.prefix = Path(tempfile.mkdtemp(prefix="e2e-", dir=self.prefix_parent))
        (self.prefix / "harness").mkdir()
        self.xvfb.log_dir = self.prefix / "harness"
        env = {k: v for k, v in os.environ.items() if not k.startswith(("WINE", "LC_", "DISPLAY", "WAYLAND"))}
        env.update({
            "WINEPREFIX": str(self.prefix),
            "WINEDEBUG": "-all",
            # No Mono/Gecko installer dialogs, no desktop menu entries written to $HOME.
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
            "LANG": self.locale,
            "LC_ALL": self.locale,
        })
        if not self.headless:
            env["DISPLAY"] = self.xvfb.start()
        self.env = env
        try:
            t1 = time.monotonic()
            self.run(["wineboot", "-i"], timeout=300, check=True)
            self.timings["wineboot_s"] = time.monotonic() - t1
            if self.headless:
                self.run(["reg", "add", "HKCU\\Software\\Wine\\Drivers", "/v", "Graphics", "/d", "null", "/f"],
                         timeout=60, check=True)
                # The driver is picked when the desktop is created.
                self.kill_wineserver()
            if self.virtual_desktop:
                reg = self.prefix / "harness" / "desktop.reg"
                reg.write_text("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"
                               "\"Desktop\"=\"Default\"\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"
                               f"\"Default\"=\"{self.screen[0]}x{self.screen[1]}\"\r\n", encoding="ascii")
                self.run(["reg", "import", self.windows_path(reg)], timeout=60, check=True)
                # The desktop mode is picked when the desktop is created: restart the server so the next program
                # gets the virtual desktop.
                self.kill_wineserver()
            t2 = time.monotonic()
            self.run(["cmd", "/c", "exit", "0"], timeout=60, check=True)
            self.timings["first_wine_start_s"] = time.monotonic() - t2
            t3 = time.monotonic()
            self.run(["cmd", "/c", "exit", "0"], timeout=60, check=True)
            self.timings["warm_wine_start_s"] = time.monotonic() - t3
        except BaseException:
            self.stop()
            raise
        self.timings["env_start_s"] = time.monotonic() - t0
        return self

    def stop(self) -> None:
        for proc in self._procs:
            proc.kill()
        self._procs.clear()
        if self.prefix is not None and self.env:
            self.kill_wineserver()
        self.xvfb.stop()
        if self.prefix is not None and not self.keep_prefix:
            shutil.rmtree(self.prefix, ignore_errors=True)

    def kill_wineserver(self) -> None:
        """`wineserver -k` for this prefix only, then wait until the server is gone."""
        try:
            subprocess.run([self.wineserver, "-k"], env=self.env, timeout=30, capture_output=True)
            subprocess.run([self.wineserver, "-w"], env=self.env, timeout=30, capture_output=True)
        except subprocess.TimeoutExpired:
            pass

    def __enter__(self) -> "WineEnv":
        return self.start()

    def __exit__(self, *exc: Any) -> None:
        self.stop()

    # -- paths --

    @property
    def display(self) -> str:
        assert self.xvfb.display is not None
        return self.xvfb.display

    @property
    def drive_c(self) -> Path:
        assert self.prefix is not None
        return self.prefix / "drive_c"

    @property
    def log_dir(self) -> Path:
        assert self.prefix is not None
        return self.prefix / "harness"

    def windows_path(self, path: os.PathLike | str) -> str:
        """C:\\... for paths inside drive_c, Z:\\... for everything else (Wine maps Z: to /)."""
        path = Path(path).resolve()
        try:
            rel = path.relative_to(self.drive_c.resolve())
            return "C:\\" + str(rel).replace("/", "\\") if str(rel) != "." else "C:\\"
        except ValueError:
            return "Z:" + str(path).replace("/", "\\")

    # -- running programs --

    def run(self, args: list[str], timeout: float = 60.0, cwd: Optional[Path] = None,
            check: bool = False) -> subprocess.CompletedProcess:
        """Runs a Windows command line to completion (stdout/stderr captured as bytes)."""
        proc = subprocess.Popen([self.loader, *args], env=self.env, cwd=cwd, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, start_new_session=True)
        try:
            out, err = proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            # Programs it started run in the same process group: end them all.
            _kill_group(proc, grace=1.0)
            proc.communicate()
            error = HarnessTimeout(f"wine {' '.join(args)} did not finish in {timeout}s")
            error.pgid = proc.pid
            raise error from None
        result = subprocess.CompletedProcess(proc.args, proc.returncode, out, err)
        if check and result.returncode != 0:
            raise HarnessError(f"wine {' '.join(args)} exited with {result.returncode}: "
                               f"{result.stderr.decode('utf-8', 'replace')[-2000:]}")
        return result

    def popen(self, args: list[str], cwd: Optional[Path] = None, name: Optional[str] = None,
              stdin: Any = subprocess.DEVNULL, stdout: Any = None) -> WineProcess:
        """Starts a Windows program in the background; output goes to files in the harness folder."""
        self._seq += 1
        name = name or Path(args[0].replace("\\", "/")).name
        out_path = self.log_dir / f"{self._seq:03d}-{name}.stdout"
        err_path = self.log_dir / f"{self._seq:03d}-{name}.stderr"
        err = open(err_path, "wb")
        out = open(out_path, "wb") if stdout is None else stdout
        try:
            proc = subprocess.Popen([self.loader, *args], env=self.env, cwd=cwd, stdin=stdin, stdout=out,
                                    stderr=err, start_new_session=True)
        finally:
            err.close()
            if stdout is None:
                out.close()
        wp = WineProcess(proc, name, out_path, err_path)
        self._procs.append(wp)
        return wp

    # -- screenshots --

    def screenshot(self, path: os.PathLike | str, rect: Optional[dict] = None) -> Path:
        """Saves the X screen (or `rect`, a dict with left/top/width/height in screen pixels) as an image; the format
        follows the file name (png, ppm, ...)."""
        path = Path(path)
        path.parent.mkdir(parents=True, exist_ok=True)
        cmd = ["import", "-display", self.display, "-window", "root", "-depth", "8"]
        if rect is not None:
            cmd += ["-crop", f"{rect['width']}x{rect['height']}+{rect['left']}+{rect['top']}", "+repage"]
        cmd.append(str(path))
        try:
            subprocess.run(cmd, check=True, timeout=60, capture_output=True)
        except subprocess.TimeoutExpired:
            raise HarnessTimeout("screenshot timed out") from None
        return path

    def screenshot_window(self, driver: "Driver", title: str, path: os.PathLike | str) -> Path:
        return self.screenshot(path, driver.describe(title)["rect"])

    def grab(self, rect: Optional[dict] = None) -> "Image":
        """The screen (or a part of it) as pixels, for colour checks without image libraries."""
        with tempfile.TemporaryDirectory(dir=self.log_dir) as tmp:
            path = self.screenshot(Path(tmp) / "grab.ppm", rect)
            return Image.from_ppm(path.read_bytes())


class Image:
    """RGB pixels from a binary PPM (P6, maxval 255)."""

    def __init__(self, width: int, height: int, data: bytes):
        self.width = width
        self.height = height
        self.data = data

    @classmethod
    def from_ppm(cls, raw: bytes) -> "Image":
        fields: list[bytes] = []
        pos = 0
        while len(fields) < 4:
            while raw[pos:pos + 1].isspace():
                pos += 1
            if raw[pos:pos + 1] == b"#":
                pos = raw.index(b"\n", pos) + 1
                continue
            end = pos
            while not raw[end:end + 1].isspace():
                end += 1
            fields.append(raw[pos:end])
            pos = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise HarnessError(f"unsupported PPM header {fields}")
        width, height = int(fields[1]), int(fields[2])
        data = raw[pos + 1:pos + 1 + width * height * 3]
        return cls(width, height, data)

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        i = (y * self.width + x) * 3
        return self.data[i], self.data[i + 1], self.data[i + 2]

    def colours(self) -> set[tuple[int, int, int]]:
        return {self.pixel(x, y) for y in range(self.height) for x in range(self.width)}


# ------------------------------------------------------------------------------------------------------------------
# Add-on folders


def to_crlf(text: str) -> str:
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


class AddonFolder:
    """drive_c/addons/<name>/ with a copy of the installer and its InstInfo.ini."""

    def __init__(self, env: WineEnv, name: str, exe: Optional[Path] = None, exe_name: str = "Tessaro.exe"):
        self.env = env
        self.name = name
        self.path = env.drive_c / "addons" / name
        self.path.mkdir(parents=True, exist_ok=True)
        self.exe_name = exe_name
        if exe is not None:
            shutil.copy2(exe, self.path / exe_name)

    @property
    def windows_path(self) -> str:
        return self.env.windows_path(self.path)

    def write_ini(self, text: str, encoding: str = ANSI_ENCODING, name: str = "InstInfo.ini") -> Path:
        """Writes `text` with CR LF line ends in code page 936 (or `encoding`), as the add-on's author would."""
        return self.write_file(name, to_crlf(text).encode(encoding))

    def write_file(self, relpath: str, data: bytes | str, encoding: str = ANSI_ENCODING) -> Path:
        target = self.path / relpath
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data.encode(encoding) if isinstance(data, str) else data)
        return target

    def start(self, *args: str, exe_name: Optional[str] = None) -> WineProcess:
        """Starts the installer from this folder (also its current directory) with the given arguments."""
        exe = exe_name or self.exe_name
        return self.env.popen([f"{self.windows_path}\\{exe}", *args], cwd=self.path, name=f"{self.name}-{exe}")


# ------------------------------------------------------------------------------------------------------------------
# The log


def log_path(env: WineEnv) -> Path:
    return env.drive_c / LOG_NAME


def read_log(env_or_path: WineEnv | Path) -> list[str]:
    """The log's lines, decoded from code page 936 and split on CR LF; [] when there is no log."""
    path = log_path(env_or_path) if isinstance(env_or_path, WineEnv) else Path(env_or_path)
    if not path.exists():
        return []
    lines = path.read_bytes().decode(ANSI_ENCODING).split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def strip_stamp(line: str) -> str:
    """Drops the "<date> <time> " stamp: everything up to and including the second blank."""
    parts = line.split(" ", 2)
    return parts[2] if len(parts) == 3 else ""


def log_messages(env_or_path: WineEnv | Path) -> list[str]:
    return [strip_stamp(line) for line in read_log(env_or_path)]


def clear_log(env: WineEnv) -> None:
    log_path(env).unlink(missing_ok=True)


# ------------------------------------------------------------------------------------------------------------------
# The UI driver


class DriverError(HarnessError):
    pass


class DriverCommandError(DriverError):
    """The driver answered {"ok": false, ...}; `error` is its error code ("timeout", "no-window", ...)."""

    def __init__(self, response: dict):
        self.response = response
        self.error = response.get("error", "")
        super().__init__(f"{self.error}: {response.get('detail', '')}")


class Driver:
    """uidriver.exe as a long-lived REPL in the same prefix as the program under test.

    Timeouts are seconds on this side (the driver takes milliseconds). Each request also has a reply deadline; a
    driver that misses it is killed and DriverError raised, so a test never hangs on it.
    """

    def __init__(self, env: WineEnv, exe: Path = UIDRIVER_EXE, start_timeout: float = 60.0):
        if not Path(exe).exists():
            raise HarnessError(f"{exe} is not built")
        self.env = env
        self._seq = 0
        self._lines: "queue.Queue[Optional[bytes]]" = queue.Queue()
        t0 = time.monotonic()
        self.process = env.popen([env.windows_path(exe)], name="uidriver", stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        ready = self._next(start_timeout)
        if not ready.get("ready"):
            raise DriverError(f"unexpected first line {ready}")
        self.start_seconds = time.monotonic() - t0

    def _read(self) -> None:
        stdout = self.process.proc.stdout
        assert stdout is not None
        for raw in stdout:
            self._lines.put(raw)
        self._lines.put(None)

    def _next(self, timeout: float) -> dict:
        try:
            raw = self._lines.get(timeout=timeout)
        except queue.Empty:
            self.kill()
            raise DriverError(f"driver gave no answer within {timeout:.1f}s") from None
        if raw is None:
            raise DriverError(f"driver exited (status {self.process.poll()}): {self.process.output()[1][-2000:]}")
        return json.loads(raw.decode("utf-8"))

    def alive(self) -> bool:
        return self.process.running()

    def request(self, cmd: str, reply_timeout: Optional[float] = None, **args: Any) -> dict:
        """Sends one command and returns the driver's answer as is ({"ok": false} included)."""
        if not self.alive():
            raise DriverError("driver is not running")
        self._seq += 1
        payload = {"cmd": cmd, "seq": self._seq, **{k: v for k, v in args.items() if v is not None}}
        if reply_timeout is None:
            reply_timeout = args.get("timeout", 0) / 1000.0 + 20.0
        stdin = self.process.proc.stdin
        assert stdin is not None
        try:
            stdin.write((json.dumps(payload, ensure_ascii=False) + "\n").encode("utf-8"))
            stdin.flush()
        except (BrokenPipeError, OSError) as exc:
            raise DriverError(f"driver pipe closed: {exc}") from None
        deadline = time.monotonic() + reply_timeout
        while True:
            answer = self._next(max(0.0, deadline - time.monotonic()))
            if answer.get("seq") == self._seq:
                return answer

    def raw_line(self, line: str, reply_timeout: float = 20.0) -> dict:
        """Sends a line in the plain-words syntax (for protocol tests)."""
        stdin = self.process.proc.stdin
        assert stdin is not None
        stdin.write((line + "\n").encode("utf-8"))
        stdin.flush()
        return self._next(reply_timeout)

    def call(self, cmd: str, **args: Any) -> dict:
        answer = self.request(cmd, **args)
        if not answer.get("ok"):
            raise DriverCommandError(answer)
        return answer

    # -- commands --

    def info(self) -> dict:
        return self.call("info")

    def list_windows(self) -> list[dict]:
        return self.call("list")["windows"]

    def wait_window(self, title: str, timeout: float = 15.0, cls: Optional[str] = None) -> dict:
        return self.call("wait-window", title=title, timeout=int(timeout * 1000), **{"class": cls})

    def describe(self, title: str, cls: Optional[str] = None) -> dict:
        return self.call("describe", title=title, **{"class": cls})

    def child(self, title: str, control_id: int) -> dict:
        for child in self.describe(title)["children"]:
            if child["id"] == control_id:
                return child
        raise DriverError(f"no control {control_id} in {title!r}")

    def text(self, title: str, control_id: int) -> str:
        return self.call("text", title=title, id=control_id)["text"]

    def enabled(self, title: str, control_id: int) -> bool:
        return self.call("enabled", title=title, id=control_id)["enabled"]

    def click(self, title: str, control_id: int, force: bool = False, via: str = "bm_click") -> dict:
        return self.call("click", title=title, id=control_id, force=force, via=via)

    def key(self, title: str, key: str) -> dict:
        return self.call("key", title=title, key=key)

    def send_input(self, title: str, keys: str) -> dict:
        return self.call("sendinput", title=title, keys=keys)

    def wait_msgbox(self, title: str = MSGBOX_TITLE, timeout: float = 15.0) -> dict:
        return self.call("wait-msgbox", title=title, timeout=int(timeout * 1000))

    def press_msgbox(self, button: str, title: str = MSGBOX_TITLE, via: str = "bm_click") -> dict:
        return self.call("press-msgbox", title=title, button=button, via=via)

    def close(self, title: str) -> dict:
        return self.call("close", title=title)

    def syscommand_close(self, title: str) -> dict:
        return self.call("syscommand-close", title=title)

    def gone(self, title: str, timeout: float = 15.0, cls: Optional[str] = None) -> dict:
        return self.call("gone", title=title, timeout=int(timeout * 1000), **{"class": cls})

    def cursor_at(self, title: str, control_id: int, x: int, y: int, wait_ms: int = 250,
                  x_pointer: bool = True) -> dict:
        """The cursor over client point (x, y) of a control (id 0: the window itself).

        "real" is what GetCursorInfo reports after the pointer moved there, "probe" a replay of the hit test and
        WM_SETCURSOR inside the program. By default the pointer is moved on the X server, as a user's mouse would
        (reliable under Wine); with x_pointer=False the driver moves it with SendInput, which inside Wine's
        virtual desktop sometimes leaves a stale cursor.
        """
        if not x_pointer:
            return self.call("cursor-at", title=title, id=control_id, x=x, y=y, wait=wait_ms)
        where = self.call("cursor-at", title=title, id=control_id, x=x, y=y, wait=0, move=False)["screenPoint"]
        x11_warp_pointer(self.env.display, where["x"], where["y"])
        time.sleep(wait_ms / 1000.0)
        return self.call("cursor-at", title=title, id=control_id, x=x, y=y, wait=0, move=False)

    def wait_enabled(self, title: str, control_id: int, expected: bool = True, timeout: float = 10.0) -> bool:
        """Polls until the control's enabled state is `expected`; returns the last state seen."""
        wait_until(lambda: self.enabled(title, control_id) == expected, timeout)
        return self.enabled(title, control_id)

    def wait_text(self, title: str, control_id: int, expected: str, timeout: float = 10.0) -> str:
        """Polls a control until its text equals `expected` (the program updates it asynchronously)."""
        deadline = time.monotonic() + timeout
        text = self.text(title, control_id)
        while text != expected and time.monotonic() < deadline:
            time.sleep(0.05)
            text = self.text(title, control_id)
        return text

    def quit(self, timeout: float = 10.0) -> None:
        if not self.alive():
            return
        try:
            self.request("quit", reply_timeout=timeout)
            self.process.wait(timeout)
        except (DriverError, HarnessTimeout):
            pass
        self.kill()

    def kill(self) -> None:
        self.process.kill()
