// Each record codec with leading fixed-size integers, through a memory stream that grants the
// inline block and through one that refuses it: encode, decode and free of one record.
#include <benchmark/benchmark.h>

#include <vector>

#include "qel.h"
#include "xdr_bytes.hpp"

namespace qel::bench {
namespace {

using test::Inline;

template <typename Record>
void roundTrip(benchmark::State &state, bool_t (*codec)(XDR *, Record *), Record record,
               Inline policy) {
  std::vector<uint8_t> buffer(4096);
  for (auto _ : state) {
    XDR out;
    test::openMemoryStream(&out, buffer.data(), static_cast<u_int>(buffer.size()), XDR_ENCODE,
                           policy);
    if (!codec(&out, &record)) state.SkipWithError("encode failed");
    XDR in;
    test::openMemoryStream(&in, buffer.data(), static_cast<u_int>(buffer.size()), XDR_DECODE,
                           policy);
    Record decoded{};
    if (!codec(&in, &decoded)) state.SkipWithError("decode failed");
    xdr_free(reinterpret_cast<xdrproc_t>(codec), reinterpret_cast<char *>(&decoded));
    benchmark::DoNotOptimize(decoded);
  }
}

char kText[] = "text";
unsigned char kHardware[6] = {0, 0x11, 0x22, 0x33, 0x44, 0x55};

template <typename Record>
void registerCodec(const char *name, bool_t (*codec)(XDR *, Record *), Record record) {
  for (Inline policy : {Inline::kGranted, Inline::kRefused}) {
    const std::string label =
        std::string("Codec_") + name + (policy == Inline::kGranted ? "/inline" : "/primitive");
    benchmark::RegisterBenchmark(
        label.c_str(), [=](benchmark::State &state) { roundTrip(state, codec, record, policy); });
  }
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
