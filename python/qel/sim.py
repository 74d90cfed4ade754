# SPDX-License-Identifier: Apache-2.0
"""qel-simd, the simulated management server, for tests.

    with qel.sim.Simulator() as sim:
        client = sim.client()
        sim.fault("SysGetSensorValue", "code", 16, arg="cpu0-temp", count=1)

The server runs in the foreground as a child process on a free program number of its own, with
its control socket in a private directory, and is stopped on leaving. It dies with the thread
that started it (a parent-death signal), so that a test run killed outright leaves none behind,
and the directory of such a run is removed by the next start. The control methods send the
requests of `qel-simd ctl` (see docs/simulator.md); a request the server refuses raises
SimulatorError.
"""
from __future__ import annotations

import json
import os
import random
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
from pathlib import Path
from types import TracebackType
from typing import TYPE_CHECKING, Any, Union

if TYPE_CHECKING:
    from .client import Client

__all__ = ["Simulator", "SimulatorError", "find_executable"]

Scenario = Union[str, "os.PathLike[str]", dict[str, Any], None]

# Transient program numbers; qel-simd refuses one that is taken, and another is tried.
_PROGRAMS = (0x40000000, 0x5FFFFFFF)
_ATTEMPTS = 8
_START_SECONDS = 10.0
_REPLY_SECONDS = 30.0
_EXIT_BAD_INPUT = 2
# A run's directory: the prefix, and the file naming the process that owns it.
_PREFIX = "qel-sim-"
_OWNER = "owner"
_UNOWNED_SECONDS = 3600


class SimulatorError(Exception):
    """qel-simd did not start, or refused a control request."""


def find_executable() -> str:
    """qel-simd: QEL_SIMD, else the one on PATH, else a build tree's (the one this package was
    built in, or the current directory's build/default)."""
    chosen = os.environ.get("QEL_SIMD")
    if chosen and os.access(chosen, os.X_OK):
        return chosen
    tried = [f"QEL_SIMD ({chosen or 'not set'})"]
    found = shutil.which("qel-simd")
    if found:
        return found
    tried.append(f"PATH ({os.environ.get('PATH', '')})")
    for tree in (Path(__file__).parents[2], Path.cwd() / "build" / "default"):
        candidate = tree / "simulator" / "qel-simd"
        if os.access(candidate, os.X_OK):
            return str(candidate)
        tried.append(str(candidate))
    raise SimulatorError("qel-simd not found; tried " + ", ".join(tried) +
                         ". Install qel-tools (or cmake --install a build), or set QEL_SIMD.")


def _started(pid: int) -> str | None:
    """When a process started (clock ticks after boot), to tell it from a later one with its
    number; None when there is none."""
    try:
        return Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[19]
    except (OSError, IndexError):
        return None


def _clean_stale_runs() -> None:
    """Removes the directories of runs whose owner is gone, stopping a server left running."""
    for directory in Path(tempfile.gettempdir()).glob(_PREFIX + "*"):
        try:
            made = directory.stat()
        except OSError:
            continue
        if made.st_uid != os.getuid():
            continue
        try:
            owner, started, server = (directory / _OWNER).read_text().split()
        except (OSError, ValueError):
            # Another run's, being set up, unless it was left so long ago.
            if time.time() - made.st_mtime > _UNOWNED_SECONDS:
                shutil.rmtree(directory, ignore_errors=True)
            continue
        if _started(int(owner)) == started:
            continue
        control = str(directory / "control.sock")
        try:
            if control in Path(f"/proc/{server}/cmdline").read_text(errors="replace"):
                os.kill(int(server), signal.SIGTERM)
        except (OSError, ValueError):
            pass
        shutil.rmtree(directory, ignore_errors=True)


class Simulator:
    """One qel-simd process. scenario: a scenario file, or a scenario as a dict (None: the
    built-in one); executable: qel-simd's path (default: find_executable()); program: a fixed
    program number instead of a free one."""

    def __init__(self, scenario: Scenario = None, *, executable: str | None = None,
                 program: int | None = None, log_level: int = 1) -> None:
        self._scenario = scenario
        self._executable = executable
        self._fixed_program = program
        self._log_level = log_level
        self._process: subprocess.Popen[bytes] | None = None
        self._directory: tempfile.TemporaryDirectory[str] | None = None
        self._control: socket.socket | None = None
        self._replies: Any = None
        self._lock = threading.Lock()
        self._exit_status: int | None = None
        self.program = 0

    @property
    def pid(self) -> int:
        """The server's process id."""
        assert self._process is not None, "the simulator is not running"
        return self._process.pid

    def __enter__(self) -> Simulator:
        return self.start()

    def __exit__(self, kind: type[BaseException] | None, error: BaseException | None,
                 trace: TracebackType | None) -> None:
        self.stop()

    def client(self, timeout: float | None = 25.0) -> Client:
        """A qel.Client of this server."""
        from .client import Client
        return Client(program=self.program, timeout=timeout)

    def start(self) -> Simulator:
        _clean_stale_runs()
        self._executable = self._executable or find_executable()
        self._directory = tempfile.TemporaryDirectory(prefix=_PREFIX)
        directory = Path(self._directory.name)
        arguments = []
        if isinstance(self._scenario, dict):
            (directory / "scenario.json").write_text(json.dumps(self._scenario))
            arguments = ["--scenario", str(directory / "scenario.json")]
        elif self._scenario is not None:
            arguments = ["--scenario", os.fspath(self._scenario)]
        attempts = 1 if self._fixed_program else _ATTEMPTS
        for _ in range(attempts):
            program = self._fixed_program or random.randint(*_PROGRAMS)
            if self._launch(program, directory, arguments):
                return self
            if self._exit_status == _EXIT_BAD_INPUT:
                break
        log = (directory / "qel-simd.log").read_text(errors="replace")
        self.stop()
        raise SimulatorError(f"qel-simd did not start ({self._executable}):\n{log}")

    def _launch(self, program: int, directory: Path, arguments: list[str]) -> bool:
        """Starts the server and waits for the readiness notice it sends once it is registered;
        False when it ends first (its program number taken, for one) or takes too long."""
        notices = directory / "notify.sock"
        notices.unlink(missing_ok=True)
        control = directory / "control.sock"
        # The server dies with this thread: SIGTERM, on which it leaves the port mapper.
        dies_with_parent = ["setpriv", "--pdeathsig", "TERM"] if shutil.which("setpriv") else []
        with socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM) as ready, \
                open(directory / "qel-simd.log", "ab") as log:
            ready.bind(str(notices))
            ready.settimeout(0.1)
            assert self._executable is not None
            self._process = subprocess.Popen(
                [*dies_with_parent, self._executable, "--foreground", "--log-level",
                 str(self._log_level), "--program", str(program), "--control", str(control),
                 *arguments],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                env={**os.environ, "NOTIFY_SOCKET": str(notices)})
            (directory / _OWNER).write_text(
                f"{os.getpid()} {_started(os.getpid())} {self._process.pid}\n")
            if not self._wait_ready(ready):
                self._exit_status = self._stop_process()
                return False
        self.program = program
        self._control = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._control.settimeout(_REPLY_SECONDS)
        self._control.connect(str(control))
        self._replies = self._control.makefile("rb")
        return True

    def _wait_ready(self, notices: socket.socket) -> bool:
        assert self._process is not None
        deadline = time.monotonic() + _START_SECONDS
        while time.monotonic() < deadline and self._process.poll() is None:
            try:
                if b"READY=1" in notices.recv(256):
                    return True
            except socket.timeout:
                pass
        return False

    def _stop_process(self) -> int | None:
        """Ends the server; its exit status."""
        process, self._process = self._process, None
        if process is None:
            return None
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(_START_SECONDS)
            except subprocess.TimeoutExpired:
                process.kill()
        return process.wait()

    def stop(self) -> None:
        """Stops the server (its clients' next calls fail) and removes its directory."""
        if self._control is not None:
            self._replies.close()
            self._control.close()
            self._control = None
        self._stop_process()
        if self._directory is not None:
            self._directory.cleanup()
            self._directory = None

    def send(self, request: dict[str, Any]) -> dict[str, Any]:
        """Sends one control request as it stands; returns the reply, or raises SimulatorError
        with the server's reason."""
        assert self._control is not None, "the simulator is not running"
        with self._lock:
            self._control.sendall(json.dumps(request).encode() + b"\n")
            line = self._replies.readline()
        if not line:
            raise SimulatorError("qel-simd closed its control channel")
        reply: dict[str, Any] = json.loads(line)
        if not reply.get("ok"):
            raise SimulatorError(reply.get("error", "refused"))
        return reply

    def _command(self, cmd: str, **fields: Any) -> dict[str, Any]:
        """A request of the fields given; None leaves a field out."""
        return self.send({"cmd": cmd, **{k: v for k, v in fields.items() if v is not None}})

    def fault(self, proc: str | int, kind: str, value: int | None = None,
              arg: str | int | None = None, count: int | None = None,
              seconds: float | None = None) -> int:
        """Adds a fault (kind: code, delay, close, cut, garble, hang) on a procedure, by name or
        number; returns its id."""
        return int(self._command("fault", proc=proc, kind=kind, value=value, arg=arg,
                                 count=count, seconds=seconds)["id"])

    def faults(self) -> list[dict[str, Any]]:
        return list(self._command("faults")["faults"])

    def clear(self, fault_id: int | None = None) -> list[int]:
        """Clears one fault or all of them (held replies go out); returns the ids cleared."""
        return list(self._command("clear", id=fault_id)["cleared"])

    def sensor(self, sensor_id: str, value: float | None = None, *, release: bool = False,
               available: bool | None = None) -> None:
        """Holds a sensor at a reading, lets it wander again (release), or takes its reading
        away and gives it back (available)."""
        request: dict[str, Any] = {"cmd": "sensor", "id": sensor_id}
        if value is not None or release:
            request["value"] = value
        if available is not None:
            request["available"] = available
        self.send(request)

    def power(self, on: bool, reason: int | None = None) -> int:
        """Switches the host; returns the platform state."""
        return int(self._command("power", on=on, reason=reason)["state"])

    def component(self, name: str, present: bool | None = None, status: int | None = None,
                  *, status_from_sensors: bool = False) -> int:
        """Sets a component's presence or forces its status; returns its status."""
        request: dict[str, Any] = {"cmd": "component", "name": name}
        if present is not None:
            request["present"] = present
        if status is not None or status_from_sensors:
            request["status"] = status
        return int(self.send(request)["status"])

    def fan(self, mode: int | None = None, target_temperature: int | None = None,
            minimum_duty: int | None = None, maximum_duty: int | None = None,
            period_ms: int | None = None) -> int:
        """Changes the fan controller's settings; returns the duty."""
        return int(self._command("fan", mode=mode, targetTemperature=target_temperature,
                                 minimumDuty=minimum_duty, maximumDuty=maximum_duty,
                                 periodMs=period_ms)["duty"])

    def clock(self, advance: float) -> None:
        """Moves the simulated clocks on by advance seconds."""
        self._command("clock", advance=advance)

    def restart(self, reload: bool = False) -> None:
        """Drops every connection and registers again, keeping the state or reloading it."""
        self._command("restart", reload=reload)

    def away(self, seconds: float) -> None:
        """Drops every connection and the registration, and comes back after seconds."""
        self._command("away", seconds=seconds)

    def stats(self, reset: bool = False) -> dict[str, Any]:
        """Calls counted per procedure: {"total", "faulted", "procedures"}."""
        reply = self._command("stats", reset=reset or None)
        return {key: reply[key] for key in ("total", "faulted", "procedures")}

    def trace(self, last: int | None = None) -> list[dict[str, Any]]:
        """The latest requests with their arguments, answers and faults."""
        return list(self._command("trace", last=last)["requests"])
