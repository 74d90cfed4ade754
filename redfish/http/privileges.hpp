// SPDX-License-Identifier: Apache-2.0
// Privileges and the three fixed roles, as DMTF's privilege map names them.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace qel::redfish {

enum Privilege : unsigned {
  kLogin = 1,
  kConfigureManager = 2,
  kConfigureUsers = 4,
  kConfigureSelf = 8,
  kConfigureComponents = 16,
  kOpen = 1u << 31,  // no credentials needed: the service root, $metadata, logging in
};

enum class Role { kAdministrator, kOperator, kReadOnly };

inline constexpr Role kRoles[] = {Role::kAdministrator, Role::kOperator, Role::kReadOnly};

// "Administrator", "Operator", "ReadOnly"
std::string_view roleName(Role role);
std::optional<Role> roleNamed(std::string_view name);
// The privileges a role holds, as bits of Privilege.
unsigned privilegesOf(Role role);
// Their names, in the order of Privilege.
std::vector<std::string_view> privilegeNames(unsigned privileges);

// What an operation on a resource needs: `privilege`, or ConfigureSelf when the resource is the
// caller's own (own account, own session) and `self` says so. The default is no one, so that a
// write declared without its privilege is refused, never allowed.
enum class Own { kNothing, kAccount, kSession };
struct Access {
  unsigned privilege = 0;  // 0: nobody
  Own self = Own::kNothing;
};

}  // namespace qel::redfish
