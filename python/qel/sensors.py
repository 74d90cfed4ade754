# SPDX-License-Identifier: Apache-2.0
"""Sensors: reports, single values and thresholds, VRM goodness, the catalogue, the fan.

Readings travel as 32-bit floats and come back as the decimal the server meant (97.3, not
97.30000305175781). The module's functions call the default client; ``client.sensors`` has the
same operations on a client of one's own."""
from __future__ import annotations

from dataclasses import dataclass

from . import _checks
from ._calls import CLIENT_TIMEOUT, Caller, ServerNumber, Timeout, decimal, take_text
from ._default import caller as _default_caller
from ._native import ffi, lib

__all__ = ["Sensors", "SensorThresholds", "SensorInfo", "FanState", "Presence",
           "ComponentStatus", "get_values_xml", "get_values_ascii",
           "get_values_for_component_xml", "get_values_for_component_ascii",
           "get_component_status", "get_component_status_all", "get_es_values_for_component_xml",
           "get_presence_detect", "get_presence_detect_all", "get_value", "set_value",
           "get_thresholds", "set_thresholds", "get_vrm_goodness", "get_info", "get_list",
           "get_fan_state"]


class Presence(ServerNumber):
    """Whether a component is fitted."""

    ABSENT = 0
    PRESENT = 1


class ComponentStatus(ServerNumber):
    """A component's health."""

    OK = 0
    WARNING = 1
    CRITICAL = 2
    ABSENT = 3


# The four thresholds by the roles qelctl and qel-exporter give them, with their C fields.
_THRESHOLDS = {"lower_critical": 1, "lower_warning": 2, "upper_warning": 3, "upper_critical": 4}


@dataclass(frozen=True, kw_only=True)
class SensorThresholds:
    """A sensor's four thresholds, and a flag for each (0 to 255, only 8 bits travel): 0 marks
    a threshold not in use."""
    lower_critical: float = 0.0
    lower_warning: float = 0.0
    upper_warning: float = 0.0
    upper_critical: float = 0.0
    lower_critical_flag: int = 0
    lower_warning_flag: int = 0
    upper_warning_flag: int = 0
    upper_critical_flag: int = 0

    def __post_init__(self) -> None:
        for role in _THRESHOLDS:
            _checks.number(getattr(self, role), role)
            _checks.integer(getattr(self, role + "_flag"), role + "_flag", _checks.BYTE)


@dataclass(frozen=True)
class SensorInfo:
    """A sensor's description from the catalogue. Its meaning is the server's; the names say
    what qel-simd serves in each field (and qelctl and qel-exporter read): the seven texts, then
    the kind's number, whether it has a reading, its range, its nominal reading, its
    thresholds in use (bit 0 the first), whether a reading is held, and its place in the
    catalogue."""
    sensor_id: str
    label: str
    description: str
    unit: str
    component: str
    kind: str
    status: str
    kind_number: int
    available: int
    minimum: float
    maximum: float
    nominal: float
    thresholds_in_use: int
    held: int
    index: int


@dataclass(frozen=True)
class FanState:
    """The fan controller's state, named as qel-simd fills it (and qel-exporter reads it): its
    mode (0 automatic), target temperature, duty in percent, duty limits, period and failed
    fans; then each fan's speed."""
    mode: int
    target_temperature: int
    duty: int
    minimum_duty: int
    maximum_duty: int
    period_ms: int
    failed_fans: int
    speeds: list[int]


class Sensors:
    """The sensor operations on one client's connections."""

    __slots__ = ("_caller",)

    def __init__(self, caller: Caller) -> None:
        self._caller = caller

    def get_values_xml(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> str:
        """Every sensor's value, as an XML report (qelSysGetSensorValuesXML)."""
        return self._caller.text(lib.qelpy_qelSysGetSensorValuesXML, (), timeout)

    def get_values_ascii(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> str:
        """Every sensor's value, as a text report (qelSysGetSensorValuesASCII)."""
        return self._caller.text(lib.qelpy_qelSysGetSensorValuesASCII, (), timeout)

    def get_values_for_component_xml(self, component: str, *,
                                     timeout: Timeout = CLIENT_TIMEOUT) -> str:
        """One component's sensor values, as an XML report
        (qelSysGetSensorValuesForComponentXML)."""
        return self._caller.text(lib.qelpy_qelSysGetSensorValuesForComponentXML, (component,),
                                 timeout, _checks.text(component, "component"))

    def get_values_for_component_ascii(self, component: str, *,
                                       timeout: Timeout = CLIENT_TIMEOUT) -> str:
        """One component's sensor values, as a text report
        (qelSysGetSensorValuesForComponentASCII)."""
        return self._caller.text(lib.qelpy_qelSysGetSensorValuesForComponentASCII,
                                 (component,), timeout, _checks.text(component, "component"))

    def get_component_status(self, component: str, *,
                             timeout: Timeout = CLIENT_TIMEOUT) -> ComponentStatus:
        """A component's status (qelSysGetComponentStatus)."""
        return ComponentStatus.of(self._caller.value(lib.qelpy_qelSysGetComponentStatus, "int *",
                                                  (component,), timeout,
                                                  _checks.text(component, "component")))

    def get_component_status_all(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> str:
        """Every component's status, as a report (qelSysGetComponentStatusAll)."""
        return self._caller.text(lib.qelpy_qelSysGetComponentStatusAll, (), timeout)

    def get_es_values_for_component_xml(self, component: str, *,
                                        timeout: Timeout = CLIENT_TIMEOUT) -> str:
        """One component's ES values, as an XML report (qelSysGetESValuesForComponentXML)."""
        return self._caller.text(lib.qelpy_qelSysGetESValuesForComponentXML, (component,),
                                 timeout, _checks.text(component, "component"))

    def get_presence_detect_all(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> str:
        """Every component's presence, as a report (qelSysGetPresenceDetectAll)."""
        return self._caller.text(lib.qelpy_qelSysGetPresenceDetectAll, (), timeout)

    def get_presence_detect(self, component: str, *,
                            timeout: Timeout = CLIENT_TIMEOUT) -> Presence:
        """Whether a component is fitted (qelSysGetPresenceDetect); an empty component raises
        InvalidArgument."""
        return Presence.of(self._caller.value(lib.qelpy_qelSysGetPresenceDetect, "int *",
                                           (component,), timeout,
                                           _checks.text(component, "component")))

    def get_value(self, sensor_id: str, *, timeout: Timeout = CLIENT_TIMEOUT) -> float:
        """A sensor's reading (qelSysGetSensorValue); qel.NO_READING when it has none."""
        return decimal(self._caller.value(lib.qelpy_qelSysGetSensorValue, "float *",
                                          (sensor_id,), timeout,
                                          _checks.text(sensor_id, "sensor_id")))

    def set_value(self, sensor_id: str, reading: float, *,
                  timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Sets a sensor's reading (qelSysSetSensorValue); NotAvailable when the server refuses
        (15) a sensor without a reading."""
        self._caller.status(lib.qelpy_qelSysSetSensorValue, (sensor_id, reading), timeout,
                            _checks.text(sensor_id, "sensor_id"),
                            _checks.number(reading, "reading"))

    def get_thresholds(self, sensor_id: str, *,
                       timeout: Timeout = CLIENT_TIMEOUT) -> SensorThresholds:
        """A sensor's thresholds and their flags (qelSysGetSensorThresholds)."""
        out = ffi.new("SensorThresholds *")
        self._caller.status(lib.qelpy_qelSysGetSensorThresholds, (sensor_id,), timeout,
                            _checks.text(sensor_id, "sensor_id"), out)
        fields: dict[str, float] = {}
        for role, number in _THRESHOLDS.items():
            fields[role] = decimal(getattr(out, f"threshold{number}"))
            fields[role + "_flag"] = getattr(out, f"thresholdFlag{number}")
        return SensorThresholds(**fields)  # type: ignore[arg-type]

    def set_thresholds(self, sensor_id: str, thresholds: SensorThresholds, *,
                       timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Sets a sensor's thresholds (qelSysSetSensorThresholds); NotAvailable, without
        sending, for a sensor that has no reading."""
        if not isinstance(thresholds, SensorThresholds):
            raise TypeError("thresholds must be a SensorThresholds, not "
                            f"{type(thresholds).__name__}")
        record = ffi.new("SensorThresholds *")
        for role, number in _THRESHOLDS.items():
            setattr(record, f"threshold{number}", getattr(thresholds, role))
            setattr(record, f"thresholdFlag{number}", getattr(thresholds, role + "_flag"))
        self._caller.status(lib.qelpy_qelSysSetSensorThresholds, (sensor_id, thresholds),
                            timeout, _checks.text(sensor_id, "sensor_id"), record)

    def get_vrm_goodness(self, vrm_selector: int, count: int = 4, *,
                         timeout: Timeout = CLIENT_TIMEOUT) -> list[int]:
        """count values (qelSysGetVRMGoodness): the server's (at most 4), then zeros."""
        count = _checks.integer(count, "count", (0, _checks.COUNT_LIMIT))
        values = ffi.new("int[]", max(count, 1))
        self._caller.status(lib.qelpy_qelSysGetVRMGoodness, (vrm_selector, count), timeout,
                            _checks.integer(vrm_selector, "vrm_selector"), count, values)
        return list(values)[:count]

    def get_info(self, sensor_id: str, *, timeout: Timeout = CLIENT_TIMEOUT) -> SensorInfo:
        """A sensor's description from the catalogue (qelGetSensorInfo)."""
        out = ffi.new("SensorInfo *")
        self._caller.status(lib.qelpy_qelGetSensorInfo, (sensor_id,), timeout,
                            _checks.text(sensor_id, "sensor_id"), out)
        texts = [ffi.string(getattr(out, f"text{i}")).decode("utf-8", "surrogateescape")
                 for i in range(1, 8)]
        return SensorInfo(texts[0], texts[1], texts[2], texts[3], texts[4], texts[5], texts[6],
                          out.intValue1, out.intValue2, decimal(out.realValue1),
                          decimal(out.realValue2), decimal(out.realValue3), out.intValue3,
                          out.intValue4, out.intValue5)

    def get_list(self, selector1: int = 0, selector2: int = 0, *,
                 timeout: Timeout = CLIENT_TIMEOUT) -> list[str]:
        """The sensor identifiers of the catalogue (qelGetSensorList)."""
        count = ffi.new("unsigned int *")
        ids = ffi.new("char ***")
        self._caller.status(lib.qelpy_qelGetSensorList, (selector1, selector2), timeout,
                            _checks.integer(selector1, "selector1"),
                            _checks.integer(selector2, "selector2"), count, ids)
        try:
            return [take_text(ids[0][i]) or "" for i in range(count[0])]
        finally:
            lib.free(ids[0])

    def get_fan_state(self, *, timeout: Timeout = CLIENT_TIMEOUT) -> FanState:
        """The fan controller's state (qelGetFanState)."""
        out = ffi.new("FanState *")
        self._caller.status(lib.qelpy_qelGetFanState, (), timeout, out)
        return FanState(out.debugValue1, out.debugValue2, out.debugValue3, out.debugValue4,
                        out.debugValue5, out.debugValue7, out.debugValue8,
                        list(out.entries)[:out.entryCount])


_default = Sensors(_default_caller)
get_values_xml = _default.get_values_xml
get_values_ascii = _default.get_values_ascii
get_values_for_component_xml = _default.get_values_for_component_xml
get_values_for_component_ascii = _default.get_values_for_component_ascii
get_component_status = _default.get_component_status
get_component_status_all = _default.get_component_status_all
get_es_values_for_component_xml = _default.get_es_values_for_component_xml
get_presence_detect = _default.get_presence_detect
get_presence_detect_all = _default.get_presence_detect_all
get_value = _default.get_value
set_value = _default.set_value
get_thresholds = _default.get_thresholds
set_thresholds = _default.set_thresholds
get_vrm_goodness = _default.get_vrm_goodness
get_info = _default.get_info
get_list = _default.get_list
get_fan_state = _default.get_fan_state
