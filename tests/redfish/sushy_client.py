# SPDX-License-Identifier: Apache-2.0
"""What a sushy client (OpenStack Ironic's driver library) sees of qel-redfishd: the system,
its power state and reset, the manager and the chassis, over a session, checking the service's
certificate. Prints one line per fact; redfishd_test.cpp compares them.

    sushy_client.py BASE_URL USER PASSWORD CERTIFICATE
"""
import sys

import sushy

base_url, user, password, certificate = sys.argv[1:5]
root = sushy.Sushy(base_url, username=user, password=password, verify=certificate)
system = root.get_system()
allowed = sorted(value.value for value in system.get_allowed_reset_system_values())
print("system", system.identity, system.power_state.value, allowed)
print("processors", len(system.processors.get_members()))
system.reset_system(sushy.ResetType.FORCE_OFF)
system.refresh()
print("after ForceOff", system.power_state.value)
manager = root.get_manager()
print("manager", manager.identity, manager.manager_type.value,
      sorted(value.value for value in manager.get_allowed_reset_manager_values()))
chassis = root.get_chassis("/redfish/v1/Chassis/chassis")
print("chassis", chassis.identity, chassis.chassis_type.value, chassis.power_state.value)
print("sessions", len(root.get_session_service().sessions.get_members()))
