"""DLL planting: copies of plant.dll named like system libraries lie in the add-on folder, beside Tessaro.exe, and
must never be loaded into it. plant.dll appends the loading program and its own path to "<its path>.loaded", so a
planted copy that ran leaves a marker file behind.

Wine loads a library it ships as builtin even when a file of that name lies beside the program, so a test with
Wine's default load order would pass whatever Tessaro did. Tessaro is therefore started with the planted names set
to "n,b" (native first), and with WINEDEBUG=+pid,+loaddll, whose trace names every module each process loaded and
from where. The control run shows that the same set-up does catch a program that does not restrict its library
search. One whole install (a copy to gmspath, after a click on the cover picture) serves all Tessaro checks; it runs
twice: once as on Windows 8 and later, and once by the test build Tessaro-api-fallback.exe told to behave as if
SetDefaultDllDirectories were missing, which is the road of XP, Vista and 7 without KB2533623 (only the current folder
leaves the search, so the system libraries loaded later by bare name must already be loaded from the system
folder), and once more with every newer function missing, as on Windows 2000."""

from __future__ import annotations

import os
import re
import shutil
import signal
import subprocess
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Optional

import pytest

import harness
from corel_standin import kill_leftover_servers, StandIn
from tessaro_ui import EXIT_INSTALLED, EXIT_LINES, PIC_FLAGS, SUCCESS
from test_install_runs import install

PLANT_DLL = harness.BUILD_DIR / "plant.dll"
API_FALLBACK_EXE = harness.BUILD_DIR / "Tessaro-api-fallback.exe"
PLANT_CONTROL_EXE = harness.BUILD_DIR / "plant_control.exe"

# What an installer, COM or the shell is known to load by bare name, plus what Tessaro's process loads under Wine
# that is no KnownDLL on Windows (actxprxy: the proxies for the automation calls; urlmon, wininet and mpr: what
# opening the web page pulls in; kerberos, msv1_0, dnsapi, iphlpapi, netapi32 and msacm32: what the security
# packages and winmm that Tessaro loads early need themselves).
PLANTED = ("uxtheme", "dwmapi", "winmm", "cryptbase", "profapi", "propsys", "userenv", "wtsapi32", "comctl32",
           "msimg32", "oleacc", "textshaping", "dbghelp", "actxprxy", "urlmon", "wininet", "mpr", "apphelp", "sspicli",
           "secur32", "kerberos", "msv1_0", "dnsapi", "iphlpapi", "netapi32", "msacm32")

# Wine's own user32 and sechost import these, so its loader resolves them before the first instruction of any
# program that links user32, from the program's folder first and with no KnownDLLs list to stop it. No program can
# restrict that search, and on Windows user32 imports neither version.dll nor zlib1.dll, while win32u.dll and
# ucrtbase.dll come from the KnownDLLs closure. Planted with "n,b" they would only measure Wine's loader, so they
# are not planted; the build check (Tessaro.exe imports only KnownDLLs) covers the program's own part.
BEFORE_ENTRY = ("version", "win32u", "ucrtbase", "zlib1")

# Windows 10's KnownDLLs (HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs), plus ntdll and
# kernelbase, which every process has before its first instruction: always taken from the system folder.
KNOWN_DLLS = frozenset({
    "advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus", "imagehlp", "imm32",
    "kernel32", "msctf", "msvcrt", "normaliz", "nsi", "ole32", "oleaut32", "psapi", "rpcrt4", "sechost", "setupapi",
    "shcore", "shell32", "shlwapi", "user32", "wldap32", "ws2_32", "ntdll", "kernelbase"})
WINE_ONLY = frozenset({"winex11.drv"})  # Wine's display driver, loaded from the system folder by full path

DEFAULT_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"
TRACE_LINE = re.compile(r'^([0-9a-f]+):[0-9a-f]+:trace:loaddll:\w+ Loaded L"(.*)" at [0-9A-Fa-f]+: (\w+)$')

def environment(env: harness.WineEnv, overrides: str = "", debug: str = "-all",
                extra: Optional[dict[str, str]] = None) -> dict[str, str]:
    """The harness's environment with more DLL overrides (its own ones kept), another WINEDEBUG and `extra`."""
    changed = dict(env.env)
    changed.update(extra or {})
    changed["WINEDLLOVERRIDES"] = DEFAULT_OVERRIDES + (";" + overrides if overrides else "")
    changed["WINEDEBUG"] = debug
    return changed


def start_tessaro(env: harness.WineEnv, folder: Path, name: str, overrides: str, debug: str = "-all",
                  extra: Optional[dict[str, str]] = None) -> harness.WineProcess:
    """Tessaro.exe /log from `folder` (also its current folder) in the test's prefix, with more DLL overrides and
    another WINEDEBUG; stdout and stderr (the Wine trace) go to files in the harness folder."""
    out_path, err_path = env.log_dir / f"{name}.stdout", env.log_dir / f"{name}.stderr"
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        popen = subprocess.Popen([env.loader, env.windows_path(folder / "Tessaro.exe"), "/log"],
                                 env=environment(env, overrides, debug, extra), cwd=folder, stdin=subprocess.DEVNULL,
                                 stdout=out, stderr=err, start_new_session=True)
    return harness.WineProcess(popen, name, out_path, err_path)


def run_control(env: harness.WineEnv, folder: Path, mode: str, overrides: str) -> tuple[int, str]:
    exe = env.windows_path(folder / "plant_control.exe")
    result = subprocess.run([env.loader, exe, mode, "version.dll"], env=environment(env, overrides), cwd=folder,
                            capture_output=True, timeout=60, start_new_session=True)
    return result.returncode, result.stdout.decode("utf-8").strip()


def markers(folder: Path) -> dict[str, list[str]]:
    return {m.name: m.read_bytes().decode("utf-8").splitlines() for m in sorted(folder.glob("*.loaded"))}


def test_control_program_picks_up_a_planted_dll_unless_it_restricts_the_search(wine_env):
    if not PLANT_CONTROL_EXE.exists() or not PLANT_DLL.exists():
        pytest.skip("plant_control.exe / plant.dll are not built (cmake --build --preset win64)")
    folder = wine_env.drive_c / "addons" / "plant-control"
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    shutil.copy2(PLANT_CONTROL_EXE, folder / "plant_control.exe")
    shutil.copy2(PLANT_DLL, folder / "version.dll")
    here = wine_env.windows_path(folder)
    marker = folder / "version.dll.loaded"

    # Wine's default order takes its builtin even though the planted file is what the search found: no marker.
    # This is the pass for the wrong reason that the overrides exist to prevent.
    assert run_control(wine_env, folder, "plain", "") == (0, f"loaded {here}\\version.dll")
    assert not marker.exists()

    # Native first: the program that loads by bare name gets the planted copy, and the marker says who loaded it.
    assert run_control(wine_env, folder, "plain", "version=n,b") == (0, f"loaded {here}\\version.dll")
    assert markers(folder) == {"version.dll.loaded": [f"{here}\\plant_control.exe\t{here}\\version.dll"]}
    marker.unlink()

    # Taking only the current folder out of the search, as Windows before 8 can without KB2533623, still finds the
    # planted copy: on that road only loading the system's copy first keeps it out.
    assert run_control(wine_env, folder, "no-current-folder", "version=n,b") == (0, f"loaded {here}\\version.dll")
    assert markers(folder) == {"version.dll.loaded": [f"{here}\\plant_control.exe\t{here}\\version.dll"]}
    marker.unlink()

    # The same program after restricting its search as Tessaro does gets the system's copy.
    assert run_control(wine_env, folder, "restricted", "version=n,b") == (
        0, "loaded C:\\windows\\system32\\version.dll")
    assert markers(folder) == {}


# ------------------------------------------------------------------------------------------------------------------
# One whole install of Tessaro beside the planted copies


class OwnStandIn(StandIn):
    """The stand-in server under a name of its own. Other test runs on this machine end every process whose command
    line holds "CorelDRW.exe"; ours must not be hit in the middle of a run, and we end only our own prefix's."""

    EXE = "CorelX3Server.exe"

    def __init__(self, env: harness.WineEnv, name: str):
        super().__init__(env, name)
        (self.programs / "CorelDRW.exe").rename(self.programs / self.EXE)

    def register(self) -> None:
        self.configure()
        result = self.env.run([self.env.windows_path(self.programs / self.EXE), "/RegServer"], timeout=60)
        assert result.returncode == 0, result.stderr

    def end_servers(self) -> None:
        kill_leftover_servers(self.env)


@dataclass
class PlantedRun:
    folder: Path
    windows_folder: str
    problem: str  # how driving the window failed, if it did
    box: Optional[dict]
    exit_code: Optional[int]
    target: Path
    markers: dict[str, list[str]]
    log: list[str]
    # Windows process id (hex, as the trace writes it) -> [(module path, "native"/"builtin")], in load order.
    modules: dict[str, list[tuple[str, str]]] = field(default_factory=dict)
    tessaro_pid: str = ""


def parse_trace(text: str) -> dict[str, list[tuple[str, str]]]:
    modules: dict[str, list[tuple[str, str]]] = {}
    for line in text.splitlines():
        match = TRACE_LINE.match(line)
        if match:
            modules.setdefault(match[1], []).append((match[2].replace("\\\\", "\\"), match[3]))
    return modules


# How each run restricts the library search: the exe that runs and what it is told to treat as missing.
SEARCH_ROADS = {
    "SetDefaultDllDirectories": (harness.TESSARO_EXE, {}),
    "SetDllDirectory-only": (API_FALLBACK_EXE, {"TESSARO_TEST_HIDE_APIS": "SetDefaultDllDirectories"}),
    # Windows 2000, or a damaged system: none of the newer functions, so the preloads carry it alone.
    "no-search-calls": (API_FALLBACK_EXE, {"TESSARO_TEST_HIDE_APIS": "*"}),
}


PROGRAMS_STARTED_BY_CLICKS: set[str] = set()


@pytest.fixture(scope="module", params=list(SEARCH_ROADS))
def planted_run(request, wine_env, _driver_holder):
    exe, extra = SEARCH_ROADS[request.param]
    if not PLANT_DLL.exists():
        pytest.skip(f"{PLANT_DLL} is not built (cmake --build --preset win64)")
    if not exe.exists():
        pytest.skip(f"{exe} is not built")
    driver = _driver_holder.get()
    standin = OwnStandIn(wine_env, "dll-planting")
    standin.end_servers()
    standin.register()

    folder = harness.AddonFolder(wine_env, f"plant-tessaro-{request.param}", exe)
    for name in PLANTED:
        shutil.copy2(PLANT_DLL, folder.path / f"{name}.dll")
    title = "种植检查"
    folder.write_ini(f"setuptitle={title}\nfileitem=c|A.gms|1|gmspath|正在复制...\n")
    folder.write_file("A.gms", b"planted run")
    harness.clear_log(wine_env)

    # winedbg is switched off too: a planted copy that crashed Tessaro must end it, not leave a debugger waiting.
    proc = start_tessaro(wine_env, folder.path, f"plant-tessaro-{request.param}",
                         ",".join(PLANTED) + "=n,b;winedbg.exe=d", "+pid,+loaddll", extra)
    box, problem = None, ""
    try:
        driver.wait_window(title, timeout=30)
        # The picture opens the maker's web page (ShellExecute); give the shell a moment before the run holds the
        # window.
        driver.click(title, PIC_FLAGS, via="command")
        time.sleep(2)
        box = install(driver, title, proc)
        proc.wait(30)
    except (harness.HarnessError, AssertionError) as error:
        # A planted copy may well kill the program: the markers and the trace still tell the tests what happened.
        problem = f"{type(error).__name__}: {error}"
    finally:
        proc.kill()
        standin.end_servers()
    modules = parse_trace(proc.stderr_path.read_bytes().decode("utf-8", "replace"))
    tessaro_pid = next((pid for pid, loaded in modules.items()
                        if loaded and loaded[0][0].lower() == f"{folder.windows_path}\\Tessaro.exe".lower()), "")
    yield PlantedRun(folder.path, folder.windows_path, problem, box, proc.poll(),
                     standin.folders["GMSPath"] / "A.gms", markers(folder.path), harness.log_messages(wine_env),
                     modules, tessaro_pid)


def base_name(path: str) -> str:
    name = path.rsplit("\\", 1)[-1].lower()
    return name[:-4] if name.endswith(".dll") else name


def from_folder(run: PlantedRun) -> list[str]:
    """Modules any process loaded from the add-on folder, apart from Tessaro.exe itself."""
    prefix = run.windows_folder.lower() + "\\"
    return sorted({path.rsplit("\\", 1)[-1].lower() for loaded in run.modules.values() for path, _ in loaded
                   if path.lower().startswith(prefix) and not path.lower().endswith("\\tessaro.exe")})


def test_install_succeeds_beside_planted_dlls(planted_run):
    assert planted_run.problem == "", planted_run.markers
    assert planted_run.box["text"] == SUCCESS
    assert planted_run.exit_code == EXIT_INSTALLED
    assert planted_run.target.read_bytes() == b"planted run"
    assert planted_run.log[-3:] == ["对话框：" + SUCCESS] + EXIT_LINES
    # The click on the picture reached the shell. Wine runs every program with a full administrator token, so
    # Tessaro asks the desktop's shell (an explorer.exe that COM starts) to open the page as the desktop user;
    # where that shell does not answer, its own ShellExecute opens it with winebrowser.exe (which finds no browser
    # here).
    # That explorer.exe keeps running, so a later road's click goes to the one an earlier road's click started.
    programs = {loaded[0][0].lower() for loaded in planted_run.modules.values() if loaded}
    PROGRAMS_STARTED_BY_CLICKS.update(programs)
    assert {"c:\\windows\\system32\\explorer.exe", "c:\\windows\\system32\\winebrowser.exe"} & \
        PROGRAMS_STARTED_BY_CLICKS


def test_msimg32_is_not_loaded_from_the_addon_folder(planted_run):
    # Wine's theme code loads msimg32 by bare name while drawing; Tessaro loads it from the system folder first.
    assert planted_run.markers == {}
    assert from_folder(planted_run) == []


def test_every_library_tessaro_loads_is_planted_or_known(planted_run, artifacts_dir):
    loaded = planted_run.modules.get(planted_run.tessaro_pid, [])
    assert loaded, "the trace names no module of Tessaro's process"
    report = "\n".join(f"{path} ({kind})" for path, kind in loaded)
    (artifacts_dir / f"dll-planting-tessaro-modules-{planted_run.folder.name}.txt").write_text(report + "\n", encoding="utf-8")
    system = [base_name(path) for path, _ in loaded if path.lower().startswith("c:\\windows\\")]
    unplanted = sorted(set(system) - set(PLANTED) - KNOWN_DLLS - set(BEFORE_ENTRY) - WINE_ONLY)
    assert unplanted == [], f"plant these too (or list them as KnownDLLs): {unplanted}\n{report}"
    # Every library came from the system folder (or the side-by-side store), except the driver's hook, which the
    # UI driver injects by its full path from the build folder.
    elsewhere = [path for path, _ in loaded if not path.lower().startswith("c:\\windows\\")
                 and not path.lower().startswith(planted_run.windows_folder.lower() + "\\")
                 and not path.lower().endswith("\\uidriver_hook.dll")]
    assert elsewhere == []
