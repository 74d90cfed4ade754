# SPDX-License-Identifier: Apache-2.0
"""The binding against qel-simd's built-in scenario (examples/scenario.json)."""
import os
import subprocess
import sys
import threading

import pytest

import qel
from qel._native import lib
from qel.admin import ConsoleConfig
from qel.network import DNSInfo, IPInfo
from qel.sensors import SensorThresholds

READS = [
    (lambda: qel.platform.get_power_level(), 100),
    (lambda: qel.platform.get_type("board"), 17),
    (lambda: qel.network.get_ip(0), IPInfo(True, False, "192.0.2.10", "255.255.255.0",
                                           "192.0.2.1", "mgmt0", b"\x02\x00\x5e\x10\x00\x01")),
    (lambda: qel.network.get_dns(), DNSInfo(["192.0.2.53", "192.0.2.54"], "search lab.example")),
    (lambda: qel.network.get_hostname(), "sp-sim"),
    (lambda: qel.sensors.get_thresholds("cpu0-temp"),
     SensorThresholds(1, 1, 1, 1, 0.0, 5.0, 85.0, 95.0)),
    (lambda: qel.sensors.get_info("cpu0-temp").text2, "CPU 0 die"),
    (lambda: qel.sensors.get_list()[:2], ["ambient-temp", "cpu0-temp"]),
    (lambda: qel.sensors.get_vrm_goodness(1), [1, 1, 0, 0]),
    (lambda: qel.sensors.get_presence_detect("dimm1"), 0),
    (lambda: "cpu1-temp" in qel.sensors.get_values_xml(), True),
    (lambda: qel.sensors.get_fan_state().entry_count, 2),
    (lambda: qel.admin.get_console_config(), ConsoleConfig(115200, 8, 0, 1, 0)),
    (lambda: qel.admin.get_pbm_string(1), "POST complete"),
]


@pytest.mark.parametrize("read, expected", READS)
def test_reads(qel_sim, read, expected):
    assert read() == expected


# Bytes that are not UTF-8 come back as lone surrogates, and go out again as the same bytes.
@pytest.mark.parametrize("write, read, value", [
    (qel.platform.set_power_level, qel.platform.get_power_level, 40),
    (lambda v: qel.network.set_dns(v), lambda: qel.network.get_dns().servers, ["10.0.0.1"]),
    (lambda v: qel.admin.set_pbm_string(2, v), lambda: qel.admin.get_pbm_string(2), "a\udcffb"),
    (lambda v: qel.sensors.set_thresholds("cpu0-temp", v),
     lambda: qel.sensors.get_thresholds("cpu0-temp"), SensorThresholds(0, 1, 1, 0, 1, 2, 3, 4)),
])
def test_writes_read_back(qel_sim, write, read, value):
    write(value)
    assert read() == value


ERRORS = [(2, qel.CallFailed, "RESULT_CALL_FAILED"), (3, qel.NotConnected, "RESULT_NOT_CONNECTED"),
          (4, qel.InvalidArgument, "RESULT_INVALID_ARGUMENT"),
          (5, qel.NotAvailable, "RESULT_NOT_AVAILABLE"),
          (7, qel.NullArgument, "RESULT_NULL_ARGUMENT"),
          (8, qel.NoResources, "RESULT_NO_RESOURCES"),
          (12, qel.ConnectionRefused, "RESULT_CONNECTION_REFUSED"),
          (13, qel.HostUnreachable, "RESULT_HOST_UNREACHABLE"),
          (14, qel.HostDown, "RESULT_HOST_DOWN"),
          (18, qel.FileUnavailable, "RESULT_FILE_UNAVAILABLE"),
          (24, qel.NotRegistered, "RESULT_NOT_REGISTERED"),
          (26, qel.TooManyValues, "RESULT_TOO_MANY_VALUES"),
          (16, qel.ServerError, None), (4294967295, qel.ServerError, None)]


@pytest.mark.parametrize("code, cls, name", ERRORS)
def test_codes_raise_their_class(code, cls, name):
    with pytest.raises(cls) as raised:
        qel.errors.check(code, "qelNotify")
    error = raised.value
    assert (error.code, error.name, error.operation) == (code, name, "qelNotify")


def test_every_library_code_has_its_class():
    codes = {name for name in dir(lib) if name.startswith("RESULT_")}
    assert codes == {name for _, _, name in ERRORS if name} | {"RESULT_OK"}


@pytest.mark.parametrize("kind, value, seconds, error", [
    ("code", -16, None, qel.ServerError), ("delay", 100, None, None),
    ("close", None, None, qel.CallFailed), ("cut", 20, None, qel.CallFailed),
    ("garble", None, None, qel.CallFailed), ("hang", None, 0.3, None)])
def test_fault_kinds(qel_sim, kind, value, seconds, error):
    qel_sim.fault("PlatformGetState", kind, value, count=1, seconds=seconds)
    if error:
        with pytest.raises(error):
            qel.platform.get_state()
    else:
        assert qel.platform.get_state() == 2
    assert qel.platform.get_state() == 2  # a dropped connection is opened anew


def test_program_not_registered(qel_sim):
    qel_sim.away(60)
    with pytest.raises(qel.NotRegistered):
        qel.connect(program=qel_sim.program)
    with pytest.raises(qel.NotConnected):
        qel.disconnect()


def test_threads_have_their_own_connections(qel_sim):
    outcome = []

    def other_thread():
        with pytest.raises(qel.NotConnected):
            qel.disconnect()  # not connected although the test's thread is
        outcome.append(qel.platform.get_state())  # connects itself

    thread = threading.Thread(target=other_thread)
    thread.start()
    thread.join()
    assert outcome == [2]
    qel.disconnect()  # the test's thread still has its own


def test_a_held_call_leaves_other_threads_running(qel_sim):
    qel_sim.fault("SysGetSensorValue", "hang", arg="cpu0-temp")
    qel_sim.sensor("cpu0-temp", 61.5)
    reading = []
    thread = threading.Thread(target=lambda: reading.append(qel.sensors.get_value("cpu0-temp")))
    thread.start()
    while thread.is_alive() and qel_sim.faults()[0]["hits"] == 0:
        threading.Event().wait(0.01)
    assert qel.platform.get_state() == 2  # the GIL is free while the other thread waits
    qel_sim.clear()
    thread.join()
    assert reading == [61.5]


def test_library_finds_the_lock_in_the_extension(qel_sim):
    # RTLD_LOCAL and every symbol bound at load: an unresolved lock fails the import.
    env = dict(os.environ, LD_BIND_NOW="1")
    run = subprocess.run([sys.executable, "-c", "import qel; print(qel.platform.get_state())"],
                         env=env, capture_output=True, text=True)
    assert (run.returncode, run.stdout) == (0, "2\n"), run.stderr
