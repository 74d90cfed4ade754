# SPDX-License-Identifier: Apache-2.0
"""Tests of sp_watch against qel-simd, through the qel_sim fixture of the qel package's pytest
plugin: each test gets its own simulated SP, changes it, and checks what the tool reports.
Run: ~/qel-venv/bin/python -m pytest -v -s examples/python (the interpreter that has qel)"""
import sp_watch


def test_normal_reading(qel_sim):
    qel_sim.sensor("cpu0-temp", 52.0)
    assert sp_watch.check() == "ok cpu0-temp 52.0 C"


def test_sensor_alarm(qel_sim):
    qel_sim.sensor("cpu0-temp", 97.0)
    assert sp_watch.check() == "ALARM cpu0-temp 97.0 C"


def test_hung_call(qel_sim):
    qel_sim.fault("SysGetSensorValue", "hang", arg="cpu0-temp")
    assert sp_watch.check(deadline=0.5) == "no answer from the SP within 0.5 s"
    print("\n  injected:", qel_sim.faults())


def test_server_code(qel_sim):
    qel_sim.fault("SysGetSensorValue", "code", 16, arg="cpu0-temp", count=1)
    assert sp_watch.check() == "error 16 (server code)"
    print("\n  answered:", qel_sim.trace(last=1))
