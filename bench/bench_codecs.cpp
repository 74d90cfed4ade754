// Each record codec with leading fixed-size integers, through a memory stream that grants the
// inline block and through one that refuses it: encode, decode and free of one record.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "paired.hpp"
#include "qel.h"
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
  benchmark::DoNotOptimize(decoded);
  return ok;
}

char kText[] = "text";
unsigned char kHardware[6] = {0, 0x11, 0x22, 0x33, 0x44, 0x55};

// Round trips are a few dozen nanoseconds: each side is timed over a batch of them.
constexpr int kRoundTripsPerTiming = 64;

template <typename Record>
void registerCodec(const char *name, bool_t (*codec)(XDR *, Record *), Record record) {
  benchmark::RegisterBenchmark(
      (std::string("Codec_") + name).c_str(), [=](benchmark::State &state) mutable {
        std::vector<uint8_t> buffer(4096);
        paired(
            state, [&] { return roundTrip(codec, record, buffer, Inline::kGranted); },
            [&] { return roundTrip(codec, record, buffer, Inline::kRefused); },
            {"inline_ns", "primitive_ns"}, kRoundTripsPerTiming);
      });
}

const bool registered = [] {
  registerCodec("IPState", xdr_rpc_IPState,
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
  registerCodec("DNSState", xdr_rpc_DNSState,
                rpc_DNSState{0, 0, 0x01010101, 1, 0x08080808, 1, 0, 0, kText});
  registerCodec("PlatformSetAction", xdr_rpc_PlatformSetAction,
                rpc_PlatformSetAction{1, 2, 3, kText});
  registerCodec("PlatformMCEvent", xdr_rpc_PlatformMCEvent, rpc_PlatformMCEvent{1, 2, 3, kText});
  registerCodec("PlatformDimmEvent", xdr_rpc_PlatformDimmEvent,
                rpc_PlatformDimmEvent{1, 2, 3, 4, kText});
  registerCodec("FanDebugState", xdr_rpc_FanDebugState,
                rpc_FanDebugState{0, 1, 2, 3, 4, 5, 6, 7, 8, 16, {1, 2, 3, 4, 5, 6, 7, 8}});
  registerCodec("ConsoleConfig", xdr_rpc_ConsoleConfig, rpc_ConsoleConfig{0, 3, 2, 4, 5, 1});
  registerCodec("CPUConfig", xdr_rpc_CPUConfig, rpc_CPUConfig{1, 2, 3, 4, 5});
  return true;
}();

}  // namespace
}  // namespace qel::bench
