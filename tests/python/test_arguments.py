# SPDX-License-Identifier: Apache-2.0
"""Arguments are refused before anything is sent: TypeError for a wrong type, ValueError for a
value the library or the wire cannot carry, naming the argument; nothing is sent."""
import pytest

import qel
from qel.sensors import SensorThresholds

REFUSALS = [
    (lambda c: c.sensors.get_value(5), TypeError, "sensor_id must be a str, not int"),
    (lambda c: c.sensors.get_value(b"cpu0-temp"), TypeError, "sensor_id must be a str, not bytes"),
    (lambda c: c.network.set_hostname(None), TypeError, "hostname must be a str, not NoneType"),
    (lambda c: c.network.set_hostname("sp\0evil"), ValueError,
     "hostname holds a NUL character, which would end it there"),
    (lambda c: c.network.set_hostname("x" * 65001), ValueError,
     "hostname is 65001 bytes long; a request text holds at most 65000"),
    (lambda c: c.network.set_dns("10.0.0.1"), TypeError,
     "servers must be a sequence of str, not one str"),
    (lambda c: SensorThresholds(lower_critical_flag=1000), ValueError,
     "lower_critical_flag must be 0 to 255, not 1000"),
    (lambda c: SensorThresholds(upper_critical=1e39), ValueError,
     "upper_critical must be a finite number a 32-bit float holds, not 1e+39"),
    (lambda c: c.sensors.set_thresholds("cpu0-temp", {}), TypeError,
     "thresholds must be a SensorThresholds, not dict"),
    (lambda c: c.sensors.get_vrm_goodness(0, count=10**9), ValueError,
     "count must be 0 to 1024, not 1000000000"),
    (lambda c: c.sensors.set_value("cpu0-temp", float("nan")), ValueError,
     "reading must be a finite number a 32-bit float holds, not nan"),
    (lambda c: c.sensors.set_value("cpu0-temp", "97"), TypeError,
     "reading must be a number, not str"),
    (lambda c: c.platform.set_action(1, 256, 0), ValueError,
     "action_option must be 0 to 255, not 256"),
    (lambda c: c.platform.set_power_level(2**31), ValueError,
     "level must be -2147483648 to 2147483647, not 2147483648"),
    (lambda c: c.platform.button(1.0), TypeError, "button must be an int, not float"),
    (lambda c: c.admin.register_pid(1, -1), ValueError,
     "process_tag must be 0 to 4294967295, not -1"),
    (lambda c: c.platform.get_state(timeout=0), ValueError,
     "timeout must be more than 0 and at most 100000000 seconds, not 0"),
    (lambda c: c.platform.get_state(timeout="1"), TypeError,
     "timeout must be a number of seconds or None, not str"),
    (lambda c: qel.Client(host="sp\0a"), ValueError,
     "host must be 1 to 255 bytes without NUL, not 'sp\\x00a'"),
    (lambda c: qel.Client(program=0), ValueError, "program must be 1 to 4294967295, not 0"),
]


@pytest.mark.parametrize("call, error, message", REFUSALS)
def test_refused_before_anything_is_sent(qel_sim, call, error, message):
    client = qel_sim.client()
    assert client.platform.get_state() == 2
    sent = qel_sim.stats()["total"]
    with pytest.raises(error) as raised:
        call(client)
    assert str(raised.value) == message
    assert client.platform.get_state() == 2
    assert qel_sim.stats()["total"] == sent + 1
    assert qel_sim.trace(last=1)[0]["proc"] == "PlatformGetState"
