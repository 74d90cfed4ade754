# SPDX-License-Identifier: Apache-2.0
"""qel.sim and the qel_sim fixture: control requests reach the server the binding calls; the
server is found, or the places tried are named; a killed run leaves no server behind."""
import os
import subprocess
import sys
import time

import pytest

import qel
import qel.sim
from qel.sim import Simulator, SimulatorError, find_executable

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
    (lambda sim: sim.fan(target_temperature=70),
     lambda: qel.sensors.get_fan_state().target_temperature, 70),
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


def test_no_server_is_found_where_none_is(monkeypatch, tmp_path):
    monkeypatch.setenv("QEL_SIMD", str(tmp_path / "qel-simd"))
    monkeypatch.setenv("PATH", str(tmp_path))
    monkeypatch.setattr(qel.sim, "__file__", str(tmp_path / "lib" / "qel" / "sim.py"))
    monkeypatch.chdir(tmp_path)
    with pytest.raises(SimulatorError) as raised:
        find_executable()
    assert str(raised.value) == (
        f"qel-simd not found; tried QEL_SIMD ({tmp_path}/qel-simd), PATH ({tmp_path}), "
        f"{tmp_path}/simulator/qel-simd, {tmp_path}/build/default/simulator/qel-simd. Install "
        "qel-tools (or cmake --install a build), or set QEL_SIMD.")


def test_a_killed_run_leaves_no_server_behind(tmp_path):
    (tmp_path / "test_held.py").write_text(
        "import time\n"
        "def test_held(qel_sim):\n"
        "    print('\\nheld', qel_sim.program, qel_sim._directory.name, flush=True)\n"
        "    time.sleep(60)\n")
    run = subprocess.Popen([sys.executable, "-m", "pytest", "-s", "-p", "no:cacheprovider",
                            str(tmp_path)], stdout=subprocess.PIPE, text=True)
    line = next(line for line in run.stdout if line.startswith("held"))
    program, directory = int(line.split()[1]), line.split()[2]
    run.kill()
    run.wait()
    for _ in range(50):  # the server goes with its parent, and leaves the port mapper
        try:
            qel.Client(program=program).platform.get_state()
        except qel.NotRegistered:
            break
        except ConnectionError:
            pass
        time.sleep(0.1)
    else:
        pytest.fail("the server outlived the run that started it")
    assert os.path.isdir(directory)
    with Simulator():  # the next start removes what the killed run left
        assert not os.path.exists(directory)
