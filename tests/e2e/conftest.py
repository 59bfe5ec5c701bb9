"""pytest fixtures for the Tessaro end-to-end tests (see README.md).

Session: one Wine prefix + Xvfb (`wine_env`) and one UI driver (`driver`, restarted if it dies).
Per test: `addons` makes add-on folders and kills whatever they started, `tessaro_log` starts from an empty log.
On failure a screenshot and the window list land in the artifacts folder ($E2E_ARTIFACTS, else build/e2e-artifacts).
"""

from __future__ import annotations

import json
import os
import re
import signal
import time
from pathlib import Path
from typing import Callable, Optional

import pytest

import harness

TIMINGS: dict[str, float] = {}


def _displays() -> range:
    low, _, high = os.environ.get("E2E_DISPLAYS", "71-79").partition("-")
    return range(int(low), int(high or low) + 1)


def _safe_name(nodeid: str) -> str:
    return re.sub(r"[^A-Za-z0-9_.-]+", "_", nodeid)[-150:]


# ------------------------------------------------------------------------------------------------------------------
# Session-wide


@pytest.fixture(scope="session")
def artifacts_dir() -> Path:
    path = Path(os.environ.get("E2E_ARTIFACTS", harness.REPO_ROOT / "build" / "e2e-artifacts"))
    path.mkdir(parents=True, exist_ok=True)
    return path


@pytest.fixture(scope="session")
def wine_env(artifacts_dir: Path):
    env = harness.WineEnv(displays=_displays(), keep_prefix=os.environ.get("E2E_KEEP_PREFIX") == "1")
    env.start()
    TIMINGS.update(env.timings)
    yield env
    t0 = time.monotonic()
    env.stop()
    TIMINGS["env_stop_s"] = time.monotonic() - t0
    (artifacts_dir / "timings.json").write_text(json.dumps(TIMINGS, indent=2))


@pytest.fixture(scope="session")
def tessaro_exe() -> Path:
    if not harness.TESSARO_EXE.exists():
        pytest.skip(f"{harness.TESSARO_EXE} is not built (cmake --preset win64 && cmake --build --preset win64)")
    return harness.TESSARO_EXE


@pytest.fixture(scope="session")
def uidriver_exe() -> Path:
    for path in (harness.UIDRIVER_EXE, harness.UIDRIVER_HOOK_DLL):
        if not path.exists():
            pytest.skip(f"{path} is not built (cmake --build --preset win64 --target uidriver)")
    return harness.UIDRIVER_EXE


class _DriverHolder:
    def __init__(self, env: harness.WineEnv, exe: Path):
        self.env = env
        self.exe = exe
        self.driver: Optional[harness.Driver] = None

    def get(self) -> harness.Driver:
        if self.driver is None or not self.driver.alive():
            self.driver = harness.Driver(self.env, self.exe)
            TIMINGS.setdefault("driver_start_s", self.driver.start_seconds)
        return self.driver

    def stop(self) -> None:
        if self.driver is not None:
            self.driver.quit()


@pytest.fixture(scope="session")
def _driver_holder(wine_env: harness.WineEnv, uidriver_exe: Path):
    holder = _DriverHolder(wine_env, uidriver_exe)
    yield holder
    holder.stop()


@pytest.fixture
def driver(_driver_holder: _DriverHolder) -> harness.Driver:
    """The session's UI driver (started once; restarted if an earlier test killed it)."""
    return _driver_holder.get()


# ------------------------------------------------------------------------------------------------------------------
# Per test


class AddonFactory:
    """Makes add-on folders under drive_c/addons/ and remembers what they started, to kill it afterwards."""

    def __init__(self, env: harness.WineEnv, prefix: str):
        self.env = env
        self.prefix = prefix
        self.folders: list[harness.AddonFolder] = []
        self._count = 0

    def make(self, ini: Optional[str] = None, name: Optional[str] = None, exe: Optional[Path] = None,
             exe_name: str = "Tessaro.exe", copy_exe: bool = True, encoding: str = harness.ANSI_ENCODING
             ) -> harness.AddonFolder:
        """A fresh folder holding `exe` (default: the built Tessaro.exe; the test is skipped if it is not built)
        and, when given, InstInfo.ini written from `ini` in code page 936 with CR LF."""
        self._count += 1
        name = name or f"{self.prefix}-{self._count}"
        if copy_exe and exe is None:
            if not harness.TESSARO_EXE.exists():
                pytest.skip(f"{harness.TESSARO_EXE} is not built")
            exe = harness.TESSARO_EXE
        folder = harness.AddonFolder(self.env, name, exe if copy_exe else None, exe_name=exe_name)
        if ini is not None:
            folder.write_ini(ini, encoding=encoding)
        self.folders.append(folder)
        return folder

    def cleanup(self) -> list[str]:
        leftovers = []
        for proc in list(self.env._procs):
            if proc.name.startswith(self.prefix) and proc.running():
                leftovers.append(proc.name)
                proc.kill()
        return leftovers


@pytest.fixture
def addons(wine_env: harness.WineEnv, request: pytest.FixtureRequest):
    factory = AddonFactory(wine_env, _safe_name(request.node.name)[-60:])
    yield factory
    factory.cleanup()


class LogReader:
    def __init__(self, env: harness.WineEnv):
        self.env = env
        self.path = harness.log_path(env)

    def lines(self) -> list[str]:
        return harness.read_log(self.env)

    def messages(self) -> list[str]:
        return harness.log_messages(self.env)

    def wait_for(self, predicate: Callable[[list[str]], bool], timeout: float = 10.0) -> list[str]:
        """Polls the log's messages until `predicate(messages)` holds; returns the last messages read."""
        deadline = time.monotonic() + timeout
        messages = self.messages()
        while not predicate(messages) and time.monotonic() < deadline:
            time.sleep(0.1)
            messages = self.messages()
        return messages


@pytest.fixture
def tessaro_log(wine_env: harness.WineEnv) -> LogReader:
    """drive_c/Tessaro.log, removed before the test so it holds only this test's lines."""
    harness.clear_log(wine_env)
    return LogReader(wine_env)


# ------------------------------------------------------------------------------------------------------------------
# Watchdog and failure artifacts


@pytest.fixture(autouse=True)
def _watchdog():
    """No test may hang the run: after $E2E_TEST_TIMEOUT seconds (default 300) the test fails."""
    limit = int(os.environ.get("E2E_TEST_TIMEOUT", "300"))

    def expire(signum, frame):
        raise harness.HarnessTimeout(f"test exceeded {limit}s")

    previous = signal.signal(signal.SIGALRM, expire)
    signal.alarm(limit)
    yield
    signal.alarm(0)
    signal.signal(signal.SIGALRM, previous)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item: pytest.Item, call):
    outcome = yield
    report = outcome.get_result()
    # Right after the test body fails, before fixtures tear its windows down.
    if report.when == "call" and report.failed:
        env = item.funcargs.get("wine_env") if hasattr(item, "funcargs") else None
        if isinstance(env, harness.WineEnv) and env.xvfb.display:
            out = Path(os.environ.get("E2E_ARTIFACTS", harness.REPO_ROOT / "build" / "e2e-artifacts"))
            base = str(out / _safe_name(item.nodeid))
            try:
                env.screenshot(base + ".png")
                report.sections.append(("e2e", f"screenshot: {base}.png"))
            except Exception as exc:  # a failed screenshot must not hide the real failure
                report.sections.append(("e2e", f"screenshot failed: {exc}"))
            driver = item.funcargs.get("driver")
            if isinstance(driver, harness.Driver) and driver.alive():
                try:
                    windows = driver.list_windows()
                    Path(base + ".windows.json").write_text(json.dumps(windows, ensure_ascii=False, indent=1))
                except Exception:
                    pass


def pytest_terminal_summary(terminalreporter, exitstatus, config):
    if TIMINGS:
        terminalreporter.section("e2e timings")
        for key, value in TIMINGS.items():
            terminalreporter.write_line(f"{key}: {value:.2f}")
