# SPDX-License-Identifier: Apache-2.0
"""qel for asyncio: one SP per client, its calls awaited.

    async with qel.aio.Client("sp-7.example.org", timeout=2) as sp:
        reading = await sp.sensors.get_value("cpu0-temp")

A client runs its calls one after another on a thread of its own, on a connection of its own,
while the event loop goes on; clients of several SPs run side by side (see docs/python.md for a
fleet). A call waits at most the client's timeout, or its own ``timeout=``, counted from when it
is sent; a call that is cancelled (asyncio.wait_for, asyncio.timeout, task.cancel()) is ended at
once and its connection dropped. The thread never holds up the end of the program, nor of
asyncio.run. The operations, arguments, results and exceptions are those of qel.Client.
"""
from __future__ import annotations

import asyncio
import functools
import queue
import threading
from types import TracebackType
from typing import Any, Callable, Concatenate, Coroutine, ParamSpec, TypeVar

from ._default import DEFAULT_TIMEOUT
from ._native import lib
from .admin import Admin
from .client import Client as _SyncClient
from .network import Network
from .platform import Platform
from .sensors import Sensors
from .server import Server

__all__ = ["Client"]

P = ParamSpec("P")
R = TypeVar("R")


class _Job:
    __slots__ = ("call", "loop", "future", "cancelled")

    def __init__(self, call: Callable[[], Any], loop: asyncio.AbstractEventLoop,
                 future: asyncio.Future[Any]) -> None:
        self.call = call
        self.loop = loop
        self.future = future
        self.cancelled = False


def _settle(future: asyncio.Future[Any], result: Any, error: BaseException | None) -> None:
    if future.cancelled():
        return
    if error is not None:
        future.set_exception(error)
    else:
        future.set_result(result)


class _Worker:
    """The thread that makes one client's calls, in the order they come."""

    def __init__(self, client: _SyncClient) -> None:
        self._client = client
        self._jobs: queue.SimpleQueue[_Job | None] = queue.SimpleQueue()
        self._lock = threading.Lock()
        self._current: _Job | None = None
        self._session: Any = None
        self._stopped = False
        threading.Thread(target=self._serve, name=f"qel.aio {client.host}", daemon=True).start()

    def _serve(self) -> None:
        self._session = self._client._caller.session()
        while (job := self._jobs.get()) is not None:
            with self._lock:
                if job.cancelled:
                    continue
                self._current = job
            result, error = None, None
            try:
                result = job.call()
            except BaseException as raised:  # handed to the awaiting task
                error = raised
            with self._lock:
                self._current = None
            if not job.cancelled:
                try:
                    job.loop.call_soon_threadsafe(_settle, job.future, result, error)
                except RuntimeError:
                    pass  # the loop has closed: nobody waits

    async def run(self, call: Callable[[], R]) -> R:
        if self._stopped:
            raise ValueError("the client is closed")
        loop = asyncio.get_running_loop()
        job = _Job(call, loop, loop.create_future())
        self._jobs.put(job)
        try:
            result: R = await job.future
            return result
        except asyncio.CancelledError:
            self.cancel(job)
            raise

    def cancel(self, job: _Job) -> None:
        """Takes a job back, ending its call when it is in progress."""
        with self._lock:
            job.cancelled = True
            if self._current is job:
                lib.qelpy_abort(self._session)

    def stop(self) -> None:
        with self._lock:
            self._stopped = True
            if self._current is not None:
                self._current.cancelled = True
                lib.qelpy_abort(self._session)
        self._jobs.put(None)


class _Group:
    __slots__ = ("_worker", "_sync")

    def __init__(self, worker: _Worker, sync: Any) -> None:
        self._worker = worker
        self._sync = sync


def _asynced(method: Callable[Concatenate[Any, P], R]
             ) -> Callable[Concatenate[_Group, P], Coroutine[Any, Any, R]]:
    """The operation of a group of qel.Client, awaited."""
    @functools.wraps(method)
    async def run(self: _Group, /, *args: P.args, **kwargs: P.kwargs) -> R:
        return await self._worker.run(functools.partial(method, self._sync, *args, **kwargs))
    return run


class AsyncServer(_Group):
    """qel.server's operations, awaited."""
    stop = _asynced(Server.stop)
    configure = _asynced(Server.configure)
    reboot_sp = _asynced(Server.reboot_sp)


class AsyncNetwork(_Group):
    """qel.network's remote operations, awaited."""
    set_date = _asynced(Network.set_date)
    get_ip = _asynced(Network.get_ip)
    set_ip = _asynced(Network.set_ip)
    get_dns = _asynced(Network.get_dns)
    set_dns = _asynced(Network.set_dns)
    get_hostname = _asynced(Network.get_hostname)
    set_hostname = _asynced(Network.set_hostname)
    reset_to_default_settings = _asynced(Network.reset_to_default_settings)


class AsyncPlatform(_Group):
    """qel.platform's operations, awaited."""
    get_state = _asynced(Platform.get_state)
    set_action = _asynced(Platform.set_action)
    get_power_state = _asynced(Platform.get_power_state)
    set_power_state = _asynced(Platform.set_power_state)
    get_power_level = _asynced(Platform.get_power_level)
    set_power_level = _asynced(Platform.set_power_level)
    get_shutdown_reason = _asynced(Platform.get_shutdown_reason)
    machine_check_event = _asynced(Platform.machine_check_event)
    log_dimm_error = _asynced(Platform.log_dimm_error)
    button = _asynced(Platform.button)
    get_type = _asynced(Platform.get_type)


class AsyncSensors(_Group):
    """qel.sensors' operations, awaited."""
    get_values_xml = _asynced(Sensors.get_values_xml)
    get_values_ascii = _asynced(Sensors.get_values_ascii)
    get_values_for_component_xml = _asynced(Sensors.get_values_for_component_xml)
    get_values_for_component_ascii = _asynced(Sensors.get_values_for_component_ascii)
    get_component_status = _asynced(Sensors.get_component_status)
    get_component_status_all = _asynced(Sensors.get_component_status_all)
    get_es_values_for_component_xml = _asynced(Sensors.get_es_values_for_component_xml)
    get_presence_detect = _asynced(Sensors.get_presence_detect)
    get_presence_detect_all = _asynced(Sensors.get_presence_detect_all)
    get_value = _asynced(Sensors.get_value)
    set_value = _asynced(Sensors.set_value)
    get_thresholds = _asynced(Sensors.get_thresholds)
    set_thresholds = _asynced(Sensors.set_thresholds)
    get_vrm_goodness = _asynced(Sensors.get_vrm_goodness)
    get_info = _asynced(Sensors.get_info)
    get_list = _asynced(Sensors.get_list)
    get_fan_state = _asynced(Sensors.get_fan_state)


class AsyncAdmin(_Group):
    """qel.admin's operations, awaited."""
    get_console_config = _asynced(Admin.get_console_config)
    set_console_config = _asynced(Admin.set_console_config)
    set_cpu_configuration = _asynced(Admin.set_cpu_configuration)
    get_product_id = _asynced(Admin.get_product_id)
    get_pbm_string = _asynced(Admin.get_pbm_string)
    set_pbm_string = _asynced(Admin.set_pbm_string)
    register_pid = _asynced(Admin.register_pid)
    notify = _asynced(Admin.notify)
    internal_state = _asynced(Admin.internal_state)
    set_debug_level = _asynced(Admin.set_debug_level)


class Client:
    """One SP for asyncio: host, program and timeout as for qel.Client. Use it as
    ``async with``, or close() it."""

    def __init__(self, host: str = "localhost", program: int | None = None,
                 timeout: float | None = DEFAULT_TIMEOUT) -> None:
        self._sync = _SyncClient(host, program, timeout)
        self._worker = _Worker(self._sync)
        self.server = AsyncServer(self._worker, self._sync.server)
        self.network = AsyncNetwork(self._worker, self._sync.network)
        self.platform = AsyncPlatform(self._worker, self._sync.platform)
        self.sensors = AsyncSensors(self._worker, self._sync.sensors)
        self.admin = AsyncAdmin(self._worker, self._sync.admin)

    @property
    def host(self) -> str:
        return self._sync.host

    @property
    def program(self) -> int:
        return self._sync.program

    @property
    def timeout(self) -> float | None:
        return self._sync.timeout

    async def connect(self) -> None:
        """Opens the client's connection now (qel.Client.connect)."""
        await self._worker.run(self._sync.connect)

    async def close(self) -> None:
        """Ends the call in progress, drops the connection and lets the thread end; calls
        waiting their turn and later ones raise ValueError."""
        self._sync.close()
        self._worker.stop()

    async def __aenter__(self) -> Client:
        return self

    async def __aexit__(self, kind: type[BaseException] | None, error: BaseException | None,
                        trace: TracebackType | None) -> None:
        await self.close()

    def __repr__(self) -> str:
        return repr(self._sync).replace("qel.Client", "qel.aio.Client", 1)
