// SPDX-License-Identifier: Apache-2.0
#include "redfish/http/privileges.hpp"

namespace qel::redfish {
namespace {

constexpr std::string_view kRoleNames[] = {"Administrator", "Operator", "ReadOnly"};
constexpr std::string_view kPrivilegeNames[] = {"Login", "ConfigureManager", "ConfigureUsers",
                                                "ConfigureSelf", "ConfigureComponents"};

}  // namespace

std::string_view roleName(Role role) { return kRoleNames[static_cast<int>(role)]; }

std::optional<Role> roleNamed(std::string_view name) {
  for (Role role : kRoles) {
    if (roleName(role) == name) return role;
  }
  return std::nullopt;
}

unsigned privilegesOf(Role role) {
  switch (role) {
    case Role::kAdministrator:
      return kLogin | kConfigureManager | kConfigureUsers | kConfigureSelf | kConfigureComponents;
    case Role::kOperator:
      return kLogin | kConfigureSelf | kConfigureComponents;
    case Role::kReadOnly:
      return kLogin | kConfigureSelf;
  }
  return 0;
}

std::vector<std::string_view> privilegeNames(unsigned privileges) {
  std::vector<std::string_view> names;
  for (unsigned bit = 0; bit < 5; ++bit) {
    if (privileges & (1u << bit)) names.push_back(kPrivilegeNames[bit]);
  }
  return names;
}

}  // namespace qel::redfish
