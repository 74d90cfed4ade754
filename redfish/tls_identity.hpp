// SPDX-License-Identifier: Apache-2.0
// The certificate the service shows when the operator names none: a self-signed one, made at
// the first start and kept in STATE_DIR/tls/ (the key with mode 0600).
#pragma once

#include <optional>
#include <string>

#include "tools/http/server.hpp"

namespace qel::redfish {

// The files of the self-signed identity in `stateDirectory`, made when there are none yet (an
// EC P-256 key and a certificate for this host's name, localhost and 127.0.0.1, valid ten
// years). Nothing, with a reason, when they cannot be made, or only one of them is there.
std::optional<http::TlsFiles> selfSignedIdentity(const std::string &stateDirectory,
                                                 std::string &error);

}  // namespace qel::redfish
