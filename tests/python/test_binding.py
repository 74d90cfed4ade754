# SPDX-License-Identifier: Apache-2.0
"""The binding against qel-simd's built-in scenario (examples/scenario.json): every group of
operations, the records and numbers they give, result codes as exceptions, the faults."""
import os
import subprocess
import sys
import threading

import pytest

import qel
from qel._native import lib
from qel.admin import ConsoleConfig
from qel.network import DNSInfo, IPInfo
from qel.platform import PlatformState, PowerState
from qel.sensors import ComponentStatus, FanState, Presence, SensorThresholds

THRESHOLDS = SensorThresholds(lower_critical=0.0, lower_warning=5.0, upper_warning=85.0,
                              upper_critical=95.0, lower_critical_flag=1, lower_warning_flag=1,
                              upper_warning_flag=1, upper_critical_flag=1)
READS = [
    (lambda: qel.platform.get_state(), PlatformState.RUNNING),
    (lambda: qel.platform.get_power_state(), PowerState.ON),
    (lambda: qel.platform.get_power_level(), 100),
    (lambda: qel.platform.get_type("board"), 17),
    (lambda: qel.network.get_ip(0), IPInfo(True, False, "192.0.2.10", "255.255.255.0",
                                           "192.0.2.1", "mgmt0", b"\x02\x00\x5e\x10\x00\x01")),
    (lambda: qel.network.get_dns(), DNSInfo(["192.0.2.53", "192.0.2.54"], "search lab.example")),
    (lambda: qel.network.get_hostname(), "sp-sim"),
    (lambda: qel.sensors.get_thresholds("cpu0-temp"), THRESHOLDS),
    (lambda: qel.sensors.get_thresholds("cpu0-vcore").lower_warning, 0.95),
    (lambda: (qel.sensors.get_info("cpu0-temp").label, qel.sensors.get_info("cpu0-temp").unit),
     ("CPU 0 die", "C")),
    (lambda: qel.sensors.get_info("dimm1-temp").status, "unavailable"),
    (lambda: qel.sensors.get_list()[:2], ["ambient-temp", "cpu0-temp"]),
    (lambda: qel.sensors.get_vrm_goodness(1), [1, 1, 0, 0]),
    (lambda: qel.sensors.get_presence_detect("dimm1"), Presence.ABSENT),
    (lambda: qel.sensors.get_component_status("cpu0"), ComponentStatus.OK),
    (lambda: "cpu1-temp" in qel.sensors.get_values_xml(), True),
    (lambda: type(qel.sensors.get_fan_state()), FanState),
    (lambda: len(qel.sensors.get_fan_state().speeds), 2),
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
     lambda: qel.sensors.get_thresholds("cpu0-temp"),
     SensorThresholds(lower_critical=1.1, lower_warning=2.2, upper_warning=3.3,
                      upper_critical=97.3, lower_warning_flag=1, upper_warning_flag=255)),
    (lambda v: qel.sensors.set_value("cpu0-temp", v), lambda: qel.sensors.get_value("cpu0-temp"),
     97.3),
])
def test_writes_read_back(qel_sim, write, read, value):
    write(value)
    assert read() == value


ERRORS = [(2, qel.CallFailed, "RESULT_CALL_FAILED", ConnectionError),
          (3, qel.NotConnected, "RESULT_NOT_CONNECTED", None),
          (4, qel.InvalidArgument, "RESULT_INVALID_ARGUMENT", None),
          (5, qel.NotAvailable, "RESULT_NOT_AVAILABLE", None),
          (7, qel.NullArgument, "RESULT_NULL_ARGUMENT", None),
          (8, qel.NoResources, "RESULT_NO_RESOURCES", None),
          (12, qel.ConnectionRefused, "RESULT_CONNECTION_REFUSED", ConnectionRefusedError),
          (13, qel.HostUnreachable, "RESULT_HOST_UNREACHABLE", ConnectionError),
          (14, qel.HostDown, "RESULT_HOST_DOWN", ConnectionError),
          (18, qel.FileUnavailable, "RESULT_FILE_UNAVAILABLE", None),
          (24, qel.NotRegistered, "RESULT_NOT_REGISTERED", ConnectionError),
          (26, qel.TooManyValues, "RESULT_TOO_MANY_VALUES", None),
          (16, qel.ServerError, None, None), (4294967295, qel.ServerError, None, None)]


@pytest.mark.parametrize("code, cls, name, builtin", ERRORS)
def test_codes_raise_their_class(code, cls, name, builtin):
    with pytest.raises(cls) as raised:
        qel.errors.check(code, "qelNotify", (7,))
    error = raised.value
    assert (type(error), error.code, error.name, error.operation) == (cls, code, name, "qelNotify")
    assert isinstance(error, builtin or qel.Error) and error.args == (code, name, "qelNotify")
    assert str(error).startswith("qelNotify(7): ")


def test_every_library_code_has_its_class():
    codes = {name for name in dir(lib) if name.startswith("RESULT_")}
    assert codes == {name for _, _, name, _ in ERRORS if name} | {"RESULT_OK"}


@pytest.mark.parametrize("fault, message", [
    (("code", 16), "qelSysGetSensorValue('cpu0-temp'): the server answered 16"),
    (("close",), "qelSysGetSensorValue('cpu0-temp'): no reply (the connection was dropped)"),
])
def test_messages_name_the_operation_and_its_argument(qel_sim, fault, message):
    qel_sim.fault("SysGetSensorValue", *fault, count=1)
    with pytest.raises(qel.Error) as raised:
        qel.sensors.get_value("cpu0-temp")
    assert str(raised.value) == message


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
    with pytest.raises(qel.NotRegistered) as raised:
        qel.connect(program=qel_sim.program)
    assert str(raised.value).startswith(f"qelConnect('localhost', {qel_sim.program:#x}): the "
                                        "program is not registered")
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
    run = subprocess.run([sys.executable, "-c", "import qel; print(int(qel.platform.get_state()))"],
                         env=env, capture_output=True, text=True)
    assert (run.returncode, run.stdout) == (0, "2\n"), run.stderr
