# SPDX-License-Identifier: Apache-2.0
"""qel.Client and qel.aio.Client: each SP on connections of its own, whatever other threads and
clients do; calls that end in time on a hung server, on Ctrl-C, on close and on cancellation."""
import asyncio
import json
import os
import signal
import threading
import time
from pathlib import Path

import pytest

import qel
import qel.aio
from qel.sim import Simulator

SCENARIO = json.loads((Path(__file__).parents[2] / "examples" / "scenario.json").read_text())


def test_two_clients_never_cross_while_one_server_restarts():
    with Simulator({**SCENARIO, "hostname": "sp-a"}) as a, \
            Simulator({**SCENARIO, "hostname": "sp-b"}) as b:
        clients = {"sp-a": a.client(), "sp-b": b.client()}
        crossed, failed = [], []

        def read(name):
            for _ in range(60):
                try:
                    got = clients[name].network.get_hostname()
                except ConnectionError:  # a call or a connection while a restarts
                    failed.append(name)
                    continue
                if got != name:
                    crossed.append((name, got))

        threads = [threading.Thread(target=read, args=(name,)) for name in clients for _ in "12"]
        for thread in threads:
            thread.start()
        for _ in range(3):
            a.restart()
            qel.connect(program=b.program)  # the default client names b: no client follows
        for thread in threads:
            thread.join()
        assert crossed == [] and set(failed) <= {"sp-a"}
        assert {name: c.network.get_hostname() for name, c in clients.items()} == \
            {"sp-a": "sp-a", "sp-b": "sp-b"}


def hung(sim):
    client = sim.client(timeout=5)
    assert client.platform.get_state() == 2
    sim.fault("PlatformGetState", "hang")
    return client


def test_a_call_on_a_hung_server_ends_at_its_timeout(qel_sim):
    client = hung(qel_sim)
    start = time.monotonic()
    with pytest.raises(qel.CallTimeout) as raised:
        client.platform.get_state(timeout=0.5)
    assert 0.5 <= time.monotonic() - start < 0.7
    assert isinstance(raised.value, TimeoutError)
    assert str(raised.value) == \
        "qelPlatformGetState(): no reply within 0.5 s (the connection was dropped)"


@pytest.mark.parametrize("end, raised", [
    (lambda client: os.kill(os.getpid(), signal.SIGINT), KeyboardInterrupt),
    (lambda client: client.close(), qel.CallFailed),
])
def test_a_call_on_a_hung_server_ends_at_once(qel_sim, end, raised):
    client = hung(qel_sim)
    start = time.monotonic()
    threading.Timer(0.2, end, (client,)).start()
    with pytest.raises(raised):
        client.platform.get_state()
    assert 0.2 <= time.monotonic() - start < 0.4
    qel_sim.clear()
    if client.closed:
        with pytest.raises(ValueError, match="the client is closed"):
            client.platform.get_state()
    else:
        assert client.platform.get_state() == 2


def test_asyncio_cancels_a_call_and_exits_promptly(qel_sim):
    async def main():
        async with qel.aio.Client(program=qel_sim.program) as client:
            assert await client.platform.get_state() == 2
            qel_sim.fault("PlatformGetState", "hang", count=1)
            with pytest.raises(asyncio.TimeoutError):
                await asyncio.wait_for(client.platform.get_state(), 0.3)
            assert await client.platform.get_state() == 2  # the cancelled call is gone
            qel_sim.fault("PlatformGetState", "hang")
            await asyncio.wait_for(client.platform.get_state(), 0.3)

    start = time.monotonic()
    with pytest.raises(asyncio.TimeoutError):
        asyncio.run(main())
    assert time.monotonic() - start < 1.0
