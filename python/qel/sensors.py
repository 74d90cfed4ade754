# SPDX-License-Identifier: Apache-2.0
"""Sensors: reports, single values and thresholds, VRM goodness, the catalogue, the fan."""
from __future__ import annotations

from dataclasses import dataclass

from ._calls import c_record, record, status, take_text, text, text_in, value
from ._native import ffi, lib
from .errors import check


@dataclass
class SensorThresholds:
    """A sensor's four thresholds and their flags (0 to 255)."""
    threshold_flag1: int = 0
    threshold_flag2: int = 0
    threshold_flag3: int = 0
    threshold_flag4: int = 0
    threshold1: float = 0.0
    threshold2: float = 0.0
    threshold3: float = 0.0
    threshold4: float = 0.0


@dataclass
class SensorInfo:
    """A sensor's description, as the server gives it."""
    text1: str
    text2: str
    text3: str
    text4: str
    text5: str
    text6: str
    text7: str
    int_value1: int
    int_value2: int
    real_value1: float
    real_value2: float
    real_value3: float
    int_value3: int
    int_value4: int
    int_value5: int


@dataclass
class FanState:
    """The fan controller's debug state; entries past entry_count are 0."""
    debug_value1: int
    debug_value2: int
    debug_value3: int
    debug_value4: int
    debug_value5: int
    debug_value7: int
    debug_value8: int
    entry_count: int
    entries: list[int]


def get_values_xml() -> str:
    """Every sensor's value, as an XML report."""
    return text(lib.qelSysGetSensorValuesXML)


def get_values_ascii() -> str:
    return text(lib.qelSysGetSensorValuesASCII)


def get_values_for_component_xml(component: str) -> str:
    return text(lib.qelSysGetSensorValuesForComponentXML, text_in(component))


def get_values_for_component_ascii(component: str) -> str:
    return text(lib.qelSysGetSensorValuesForComponentASCII, text_in(component))


def get_component_status(component: str) -> int:
    return value(lib.qelSysGetComponentStatus, "int *", text_in(component))


def get_component_status_all() -> str:
    return text(lib.qelSysGetComponentStatusAll)


def get_es_values_for_component_xml(component: str) -> str:
    return text(lib.qelSysGetESValuesForComponentXML, text_in(component))


def get_presence_detect_all() -> str:
    return text(lib.qelSysGetPresenceDetectAll)


def get_presence_detect(component: str) -> int:
    """An empty component raises InvalidArgument."""
    return value(lib.qelSysGetPresenceDetect, "int *", text_in(component))


def get_value(sensor_id: str) -> float:
    """A sensor's reading; qel.NO_READING when it has none."""
    return value(lib.qelSysGetSensorValue, "float *", text_in(sensor_id))


def set_value(sensor_id: str, reading: float) -> None:
    """Sets a sensor's reading; NotAvailable when the server refuses (15) a sensor without a
    reading."""
    status(lib.qelSysSetSensorValue, text_in(sensor_id), reading)


def get_thresholds(sensor_id: str) -> SensorThresholds:
    return record(SensorThresholds, "SensorThresholds", lib.qelSysGetSensorThresholds,
                  text_in(sensor_id))


def set_thresholds(sensor_id: str, thresholds: SensorThresholds) -> None:
    """NotAvailable, without sending, for a sensor that has no reading."""
    status(lib.qelSysSetSensorThresholds, text_in(sensor_id),
           c_record("SensorThresholds", thresholds))


def get_vrm_goodness(vrm_selector: int, count: int = 4) -> list[int]:
    """count values: the server's (at most 4), then zeros."""
    values = ffi.new("int[]", max(count, 1))
    status(lib.qelSysGetVRMGoodness, vrm_selector, count, values)
    return list(values)[:count]


def get_info(sensor_id: str) -> SensorInfo:
    """A sensor's description from the catalogue."""
    return record(SensorInfo, "SensorInfo", lib.qelGetSensorInfo, text_in(sensor_id))


def get_list(selector1: int = 0, selector2: int = 0) -> list[str]:
    """The sensor identifiers of the catalogue."""
    operation = lib.qelGetSensorList
    count = ffi.new("unsigned int *")
    ids = ffi.new("char ***")
    code = operation(selector1, selector2, count, ids)
    check(code, operation.__name__)
    try:
        return [take_text(ids[0][i]) or "" for i in range(count[0])]
    finally:
        lib.free(ids[0])


def get_fan_state() -> FanState:
    return record(FanState, "FanState", lib.qelGetFanState)
