# SPDX-License-Identifier: Apache-2.0
"""qel.sim and the qel_sim fixture: control requests reach the server the binding calls."""
import pytest

import qel
from qel.sim import SimulatorError

SCENARIO = {
    "hostname": "lab-7",
    "interfaces": [{"label": "eth0", "hardwareAddress": "02:00:00:00:00:07", "enabled": True,
                    "dhcp": False, "ipAddress": "10.0.0.7", "netmask": "255.0.0.0",
                    "gateway": "10.0.0.1"}],
    "components": [{"name": "system", "description": "board"}],
    "sensors": [{"id": "inlet", "component": "system", "kind": "temperature", "value": 30}],
}


@pytest.mark.qel_scenario(SCENARIO)
def test_scenario_marker(qel_sim):
    assert (qel.network.get_hostname(), qel.sensors.get_value("inlet")) == ("lab-7", 30.0)


@pytest.mark.parametrize("change, read, expected", [
    (lambda sim: sim.sensor("cpu0-temp", 97.0), lambda: qel.sensors.get_value("cpu0-temp"), 97.0),
    (lambda sim: sim.sensor("cpu0-temp", available=False),
     lambda: qel.sensors.get_value("cpu0-temp"), qel.NO_READING),
    (lambda sim: sim.power(False, reason=2), lambda: qel.platform.get_shutdown_reason(), 2),
    (lambda sim: sim.component("cpu1", status=2), lambda: qel.sensors.get_component_status("cpu1"),
     2),
    (lambda sim: sim.fan(target_temperature=70), lambda: qel.sensors.get_fan_state().debug_value2,
     70),
])
def test_changes_reach_the_server(qel_sim, change, read, expected):
    change(qel_sim)
    assert read() == expected


def test_calls_are_counted_and_traced(qel_sim):
    qel_sim.stats(reset=True)
    qel.sensors.get_value("cpu1-temp")
    assert qel_sim.stats()["procedures"] == {"SysGetSensorValue": 1}
    assert qel_sim.trace(last=1)[0]["args"] == "cpu1-temp"


def test_restart_drops_connections(qel_sim):
    qel_sim.restart()
    with pytest.raises(qel.CallFailed):
        qel.platform.get_state()
    assert qel.platform.get_state() == 2


def test_refused_request_raises(qel_sim):
    with pytest.raises(SimulatorError, match="no-such"):
        qel_sim.sensor("no-such", 1.0)
