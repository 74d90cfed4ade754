# SPDX-License-Identifier: Apache-2.0
"""The pytest plugin of the qel package: the fixture qel_sim.

    def test_alarm(qel_sim):
        qel_sim.sensor("cpu0-temp", 97)
        assert qel.sensors.get_value("cpu0-temp") == 97

qel_sim is a running qel.sim.Simulator (the built-in scenario, or the one a test names with
@pytest.mark.qel_scenario(path_or_dict)). The default client goes to it, the test's thread is
connected, and QELPROGID names its program, so that clients made without a program, other
threads and the programs a test starts reach it too.
"""
from __future__ import annotations

from collections.abc import Iterator

import pytest

import qel
from qel.sim import Simulator

__all__ = ["qel_sim"]


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line("markers",
                            "qel_scenario(scenario): the scenario qel_sim starts qel-simd with")


@pytest.fixture
def qel_sim(request: pytest.FixtureRequest,
            monkeypatch: pytest.MonkeyPatch) -> Iterator[Simulator]:
    marker = request.node.get_closest_marker("qel_scenario")
    with Simulator(marker.args[0] if marker else None) as sim:
        monkeypatch.setenv("QELPROGID", str(sim.program))
        with qel.connect(program=sim.program):
            yield sim
