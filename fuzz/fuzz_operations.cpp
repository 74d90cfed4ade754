#include "fuzz_operations.hpp"

#include "protocol/procedures.hpp"

namespace qel::fuzz {
namespace {

using H = RemoteOperation::Handle;

}  // namespace

const std::vector<RemoteOperation> &remoteOperations() {
  static const std::vector<RemoteOperation> operations = {
      {proc::StopServer::kNumber, qelStopServer, H::kAlwaysDropped},
      {proc::ConfigureServer::kNumber, qelConfigureServer, H::kDroppedOnFailure},
      {proc::RebootSP::kNumber, qelRebootSP, H::kDroppedOnFailure},
  };
  return operations;
}

}  // namespace qel::fuzz
