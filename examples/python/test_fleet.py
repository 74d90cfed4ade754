# SPDX-License-Identifier: Apache-2.0
"""Tests of fleet against three simulated SPs: one answers, one hangs, one is gone."""
import asyncio
import time

from qel.sim import Simulator

import fleet


def test_a_hung_sp_costs_its_own_deadline_only(qel_sim):
    with Simulator() as hung:
        qel_sim.sensor("cpu0-temp", 52.5)
        hung.fault("SysGetSensorValue", "hang")
        targets = [f"localhost:{qel_sim.program}", f"localhost:{hung.program}", "localhost:1"]
        start = time.monotonic()
        readings = asyncio.run(fleet.poll(targets, "cpu0-temp", deadline=0.5))
        assert time.monotonic() - start < 1.0
        hung.clear()
    assert readings == {
        targets[0]: "52.5",
        targets[1]: "qelSysGetSensorValue('cpu0-temp'): no reply within 0.5 s (the connection "
                    "was dropped)",
        targets[2]: "qelConnect('localhost', 0x1): the program is not registered with the port "
                    "mapper: no server runs under it"}
