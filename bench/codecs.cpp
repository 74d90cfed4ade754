// SPDX-License-Identifier: Apache-2.0
// Each record codec with leading fixed-size integers, through a memory stream that grants the
// inline block and through one that refuses it: encode, decode and free of one record.
#include <string>
#include <vector>

#include "qel.h"
#include "sections.hpp"
#include "table.hpp"
#include "xdr_bytes.hpp"

namespace qel::bench {
namespace {

using test::Inline;

// Encodes, decodes and frees one record; false when a direction fails.
template <typename Record>
bool roundTrip(bool_t (*codec)(XDR *, Record *), Record &record, std::vector<uint8_t> &buffer,
               Inline policy) {
  XDR out;
  test::openMemoryStream(&out, buffer.data(), static_cast<u_int>(buffer.size()), XDR_ENCODE,
                         policy);
  if (!codec(&out, &record)) return false;
  XDR in;
  test::openMemoryStream(&in, buffer.data(), static_cast<u_int>(buffer.size()), XDR_DECODE, policy);
  Record decoded{};
  const bool ok = codec(&in, &decoded);
  xdr_free(reinterpret_cast<xdrproc_t>(codec), reinterpret_cast<char *>(&decoded));
  return ok;
}

char kText[] = "text";
unsigned char kHardware[6] = {0, 0x11, 0x22, 0x33, 0x44, 0x55};

template <typename Record>
void codecRow(const Bench &bench, const char *name, bool_t (*codec)(XDR *, Record *),
              Record record) {
  std::vector<uint8_t> buffer(4096);
  const auto through = [&](Inline policy) {
    return [&, policy](long n) {
      return repeat(n, [&] { return roundTrip(codec, record, buffer, policy); });
    };
  };
  const auto s = interleave({through(Inline::kGranted), through(Inline::kRefused)}, bench.plan);
  const char *placement = placements().front().name;
  printRow({std::string(name) + " codec round trip, inline, ns", placement, "-"}, s[0], 0);
  printRow({std::string(name) + " codec round trip, primitives, ns", placement, "-"}, s[1], 0);
  printRow({"  ratio inline / primitives", placement, "-"}, combine(s[0], s[1], ratio), 3,
           {Target::Kind::kAtMost, 1});
}

}  // namespace

void codecRows(const Bench &bench) {
  printSection("Record codecs: encode, decode and free of one record in memory");
  bench.place(placements().front());
  codecRow(bench, "IPState", xdr_rpc_IPState,
           rpc_IPState{{1, 0},
                       0,
                       0x0A000001,
                       0xFFFFFF00,
                       0x0A0000FE,
                       1,
                       1,
                       1,
                       1,
                       0,
                       kText,
                       6,
                       kHardware,
                       kText});
  codecRow(bench, "DNSState", xdr_rpc_DNSState,
           rpc_DNSState{0, 0, 0x01010101, 1, 0x08080808, 1, 0, 0, kText});
  codecRow(bench, "PlatformSetAction", xdr_rpc_PlatformSetAction,
           rpc_PlatformSetAction{1, 2, 3, kText});
  codecRow(bench, "PlatformMCEvent", xdr_rpc_PlatformMCEvent, rpc_PlatformMCEvent{1, 2, 3, kText});
  codecRow(bench, "PlatformDimmEvent", xdr_rpc_PlatformDimmEvent,
           rpc_PlatformDimmEvent{1, 2, 3, 4, kText});
  codecRow(bench, "FanDebugState", xdr_rpc_FanDebugState,
           rpc_FanDebugState{0, 1, 2, 3, 4, 5, 6, 7, 8, 16, {1, 2, 3, 4, 5, 6, 7, 8}});
  codecRow(bench, "ConsoleConfig", xdr_rpc_ConsoleConfig, rpc_ConsoleConfig{0, 3, 2, 4, 5, 1});
  codecRow(bench, "CPUConfig", xdr_rpc_CPUConfig, rpc_CPUConfig{1, 2, 3, 4, 5});
}

}  // namespace qel::bench
