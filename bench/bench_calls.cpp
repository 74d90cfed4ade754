// Remote calls through the library against the same calls on a plain libtirpc handle and
// against the loopback floor, all served by one scripted server in this process.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "heap_counter.hpp"
#include "loopback_floor.hpp"
#include "paired.hpp"
#include "protocol/sigpipe_guard.hpp"
#include "qel.h"
#include "scripted_server.hpp"

namespace qel::bench {
namespace {

using test::Reply;
using test::ScriptedServer;

// Bytes of a small call on the wire: record mark and call header; and of its reply.
constexpr std::size_t kSmallCallBytes = 4 + 40;
constexpr std::size_t kSmallReplyBytes = 4 + 24 + 4;
const timeval kTimeout{25, 0};
constexpr uint32_t kPlatformGetState = 1001, kSensorValuesXml = 2002;
bool_t noArgument(XDR *, void *) { return TRUE; }

ScriptedServer &server() {
  static ScriptedServer instance;
  static const bool ready = [] {
    instance.keepLog(false);
    instance.answer(kPlatformGetState, Reply::integer(3));
    return true;
  }();
  (void)ready;
  return instance;
}

void serveReportOf(std::size_t bytes) {
  static std::size_t current = 0;
  if (current == bytes) return;
  std::string text(bytes, 'x');
  rpc_StringAndEC reply{0, text.data()};
  server().answer(kSensorValuesXml, Reply::record(xdr_rpc_StringAndEC, reply));
  current = bytes;
}

// What a caller writing against libtirpc directly would use for the text reply.
bool_t plainStringAndEC(XDR *xdrs, rpc_StringAndEC *record) {
  return xdr_int(xdrs, &record->errorCode) && xdr_string(xdrs, &record->text, ~0u);
}

// The plain client of the calling thread.
CLIENT *rawClient() {
  thread_local CLIENT *clnt = clnt_create("localhost", server().program(), 1, "tcp");
  return clnt;
}

void connectLibrary(benchmark::State &state) {
  if (qelConnect(nullptr, server().program()) != RESULT_OK) state.SkipWithError("connect");
}

int rawSmallCall(CLIENT *clnt) {
  int reply = 0;
  if (clnt_call(clnt, kPlatformGetState, reinterpret_cast<xdrproc_t>(noArgument), nullptr,
                reinterpret_cast<xdrproc_t>(xdr_int), reinterpret_cast<caddr_t>(&reply),
                kTimeout) != RPC_SUCCESS) {
    return -1;
  }
  return reply;
}

// 1. The small call.
bool librarySmallCall() {
  int platformState = 0;
  return qelPlatformGetState(&platformState) == RESULT_OK;
}

void SmallCall_Paired(benchmark::State &state) {
  connectLibrary(state);
  CLIENT *clnt = rawClient();
  paired(state, librarySmallCall, [clnt] { return rawSmallCall(clnt) >= 0; });
}

// The plain client with SIGPIPE held back around each call as the library holds it: what the
// library costs beyond that protection.
void SmallCall_PairedWithHold(benchmark::State &state) {
  connectLibrary(state);
  CLIENT *clnt = rawClient();
  paired(state, librarySmallCall, [clnt] {
    SigpipeGuard hold;
    return rawSmallCall(clnt) >= 0;
  });
}

// The protection alone: blocking SIGPIPE and restoring the mask, two system calls.
void SigpipeHold(benchmark::State &state) {
  for (auto _ : state) {
    SigpipeGuard hold;
    benchmark::ClobberMemory();
  }
}

void SmallCall_Floor(benchmark::State &state) {
  LoopbackPingPong pingPong(kSmallCallBytes, kSmallReplyBytes);
  for (auto _ : state) {
    if (!pingPong.roundTrip()) state.SkipWithError("peer gone");
  }
}

// 2. Text reports.
void Report_Paired(benchmark::State &state) {
  serveReportOf(static_cast<std::size_t>(state.range(0)));
  connectLibrary(state);
  CLIENT *clnt = rawClient();
  paired(
      state,
      [] {
        char *report = nullptr;
        const bool ok = qelSysGetSensorValuesXML(&report) == RESULT_OK;
        free(report);
        return ok;
      },
      [clnt] {
        rpc_StringAndEC reply{};
        if (clnt_call(clnt, kSensorValuesXml, reinterpret_cast<xdrproc_t>(noArgument), nullptr,
                      reinterpret_cast<xdrproc_t>(plainStringAndEC),
                      reinterpret_cast<caddr_t>(&reply), kTimeout) != RPC_SUCCESS) {
          return false;
        }
        benchmark::DoNotOptimize(reply.text);
        clnt_freeres(clnt, reinterpret_cast<xdrproc_t>(plainStringAndEC),
                     reinterpret_cast<caddr_t>(&reply));
        return true;
      });
}

// 5. Connection set-up with its first call.
void Connect_Library(benchmark::State &state) {
  for (auto _ : state) {
    int platformState = 0;
    if (qelConnect(nullptr, server().program()) != RESULT_OK ||
        qelPlatformGetState(&platformState) != RESULT_OK) {
      state.SkipWithError("connect failed");
    }
    qelDisconnect();
  }
}

void Connect_Raw(benchmark::State &state) {
  for (auto _ : state) {
    CLIENT *clnt = clnt_create("localhost", server().program(), 1, "tcp");
    if (clnt == nullptr || rawSmallCall(clnt) < 0) state.SkipWithError("connect failed");
    if (clnt != nullptr) clnt_destroy(clnt);
  }
}

// 6. Heap allocations per small call on the calling thread, and the peak of live heap bytes of
// one 16 MiB report relative to its size.
template <typename Call>
void countHeap(benchmark::State &state, Call call) {
  std::size_t allocations = 0;
  for (auto _ : state) {
    armHeapCounter();
    call();
    allocations += disarmHeapCounter().allocations;
  }
  state.counters["allocs_per_call"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
}

void Heap_Library(benchmark::State &state) {
  connectLibrary(state);
  countHeap(state, [] {
    int platformState = 0;
    qelPlatformGetState(&platformState);
  });
}

void Heap_Raw(benchmark::State &state) {
  CLIENT *clnt = rawClient();
  countHeap(state, [clnt] { rawSmallCall(clnt); });
}

void PeakHeap_Report16MiB(benchmark::State &state) {
  constexpr std::size_t kSize = std::size_t{16} << 20;
  serveReportOf(kSize);
  connectLibrary(state);
  std::size_t peak = 0;
  for (auto _ : state) {
    armHeapCounter();
    char *report = nullptr;
    qelSysGetSensorValuesXML(&report);
    free(report);
    peak = std::max(peak, disarmHeapCounter().peakBytes);
  }
  state.counters["peak_over_size"] = static_cast<double>(peak) / static_cast<double>(kSize);
}

constexpr int64_t kReportSizes[] = {1 << 10, 1 << 16, 1 << 20, 1 << 24};

void reportSizes(benchmark::internal::Benchmark *b) {
  for (int64_t size : kReportSizes) b->Arg(size);
}

void threadCounts(benchmark::internal::Benchmark *b) {
  for (int threads : {1, 2, 4, 8}) b->Threads(threads);
  b->UseRealTime();
}

BENCHMARK(SmallCall_Paired)->UseRealTime();
BENCHMARK(SmallCall_PairedWithHold)->UseRealTime();
BENCHMARK(SigpipeHold);
BENCHMARK(SmallCall_Floor)->UseRealTime();
BENCHMARK(Report_Paired)->Apply(reportSizes)->UseRealTime();
// 3. Threads: every thread alternates the two clients on connections of its own.
BENCHMARK(SmallCall_Paired)->Name("Threads_Paired")->Apply(threadCounts);
BENCHMARK(Connect_Library);
BENCHMARK(Connect_Raw);
BENCHMARK(Heap_Library);
BENCHMARK(Heap_Raw);
BENCHMARK(PeakHeap_Report16MiB)->Iterations(3);

}  // namespace
}  // namespace qel::bench
