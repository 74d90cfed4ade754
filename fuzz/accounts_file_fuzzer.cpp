// SPDX-License-Identifier: Apache-2.0
// The accounts file of qel-redfishd, as it might be found on disk: refused with a reason, or
// read into accounts that are valid (names, ids, roles, hashes, policy) and that read back the
// same once written out again.
#include <cstdlib>
#include <set>
#include <string>

#include "redfish/accounts/accounts_file.hpp"

using namespace qel::redfish;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string error;
  const auto state =
      parseAccounts(std::string_view(reinterpret_cast<const char *>(data), size), error);
  if (!state) {
    if (error.empty()) std::abort();
    return 0;
  }
  std::set<std::string> names;
  for (const StoredAccount &account : state->accounts) {
    if (!isValidUserName(account.userName) || !names.insert(account.userName).second ||
        account.passwordHash.empty() || account.passwordHash[0] != '$') {
      std::abort();
    }
  }
  if (state->accounts.size() > kMostAccounts || !policyProblem(state->policy).empty()) std::abort();
  const auto again = parseAccounts(accountsText(*state), error);
  if (!again || !(*again == *state)) std::abort();
  return 0;
}
