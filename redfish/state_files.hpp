// SPDX-License-Identifier: Apache-2.0
// The state directory (/var/lib/qel-redfishd by default): the accounts file, the service's
// UUID and the self-signed TLS identity. Its files are written whole or not at all, readable
// by their owner only, and owned by the directory's owner.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qel::redfish {

// Creates `directory` (mode 0700) unless it exists; false with a reason when it is not a
// directory this process can write, or others than its owner may write to it.
bool prepareStateDirectory(const std::string &directory, std::string &error);

// Replaces `path` with `text`: a temporary file (mode 0600) beside it, written, synced and
// renamed over it; the directory synced after. Run as root, the file is given the directory's
// owner, so that a service running as that owner can read it.
bool writeAtomically(const std::string &path, std::string_view text, std::string &error);

// The service's UUID, kept in DIRECTORY/uuid: made on the first start.
std::optional<std::string> serviceUuid(const std::string &directory, std::string &error);

}  // namespace qel::redfish
