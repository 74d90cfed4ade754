// Sixteen threads, each running thousands of mixed operations against one server that drops
// connections and cuts replies at random. Every thread must get its own answers, exactly the
// injected faults must fail, and the process must end with the descriptors it started with and
// without growing memory once warmed up.
#include <dirent.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "protocol/procedures.hpp"
#include "server_test.hpp"

namespace qel::test {
namespace {

#if defined(QEL_SANITIZED)
constexpr int kCallsPerBatch = 150;
#else
constexpr int kCallsPerBatch = 1000;
#endif
constexpr int kThreads = 16;
// One call in kFaultEvery is dropped or cut; which ones follows from the call's key, so the
// server and the calling thread agree on it without talking.
constexpr uint32_t kFaultEvery = 24;

uint32_t mix(uint32_t key) {
  uint64_t z = key + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<uint32_t>(z ^ (z >> 31));
}

enum class Fault { kNone, kDrop, kCut };

Fault faultFor(uint32_t key) {
  const uint32_t draw = mix(key) % kFaultEvery;
  return draw == 0 ? Fault::kDrop : draw == 1 ? Fault::kCut : Fault::kNone;
}

// Every operation of the mix sends its key as the first word of its argument.
uint32_t keyOf(const Bytes &arguments) {
  if (arguments.size() < 4) return 0;
  return (uint32_t{arguments[0]} << 24) | (uint32_t{arguments[1]} << 16) |
         (uint32_t{arguments[2]} << 8) | arguments[3];
}

std::string pbmTextFor(uint32_t key) { return "pbm-" + std::to_string(key); }

struct Operation {
  uint32_t procedure;
  // The server's answer to the call that carries `key`.
  Reply (*answer)(uint32_t key);
  // Makes the call with `key`; true when the result and outputs are those of the answer above,
  // or of a failed call when `failed`.
  bool (*call)(uint32_t key, bool failed);
};

bool statusEcho(unsigned int result, uint32_t key, bool failed) {
  return result == (failed ? RESULT_CALL_FAILED : key);
}

const Operation kOperations[] = {
    {proc::GetPBMString::kNumber,
     [](uint32_t key) {
       std::string text = pbmTextFor(key);
       rpc_StringAndEC reply{0, text.data()};
       return Reply::record(xdr_rpc_StringAndEC, reply);
     },
     [](uint32_t key, bool failed) {
       char *text = nullptr;
       const unsigned int result = qelGetPBMString(key, &text);
       const bool ok = failed ? result == RESULT_CALL_FAILED && text == nullptr
                              : result == RESULT_OK && text != nullptr && pbmTextFor(key) == text;
       free(text);
       return ok;
     }},
    {proc::Notify::kNumber, [](uint32_t key) { return Reply::integer(static_cast<int32_t>(key)); },
     [](uint32_t key, bool failed) {
       return statusEcho(qelNotify(static_cast<int>(key)), key, failed);
     }},
    {proc::RegisterPID::kNumber,
     [](uint32_t key) { return Reply::integer(static_cast<int32_t>(key)); },
     [](uint32_t key, bool failed) {
       return statusEcho(qelRegisterPID(static_cast<int>(key), ~0ul), key, failed);
     }},
    {proc::SetDebugLevel::kNumber,
     [](uint32_t key) { return Reply::integer(static_cast<int32_t>(key)); },
     [](uint32_t key, bool failed) {
       // A failed call reads as 0 here, which no key is.
       return qelSetDebugLevel(static_cast<int>(key)) == (failed ? 0 : static_cast<int>(key));
     }},
};

Reply withFault(uint32_t key, Reply answer) {
  switch (faultFor(key)) {
    case Fault::kDrop:
      return Reply::drop();
    case Fault::kCut:
      return answer.cutTo(mix(key ^ 0x5555u) % answer.bytes.size());
    case Fault::kNone:
      break;
  }
  return answer;
}

int openDescriptors() {
  int count = 0;
  if (DIR *dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

struct Tally {
  std::atomic<long> calls{0};
  std::atomic<long> faults{0};
  std::atomic<long> wrong{0};
};

class StressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.keepLog(false);
    for (const Operation &operation : kOperations) {
      server.answerWith(operation.procedure, [&operation](const ReceivedCall &call) {
        const uint32_t key = keyOf(call.arguments);
        return withFault(key, operation.answer(key));
      });
    }
    qelDisconnect();
    ASSERT_EQ(qelConnect(nullptr, server.program()), RESULT_OK);
    qelDisconnect();
  }

  // One batch: every thread makes kCallsPerBatch calls with keys of its own, then ends, which
  // closes its connection.
  void runBatch(int batch) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([this, t, batch] {
        for (int i = 0; i < kCallsPerBatch; ++i) {
          const auto key = static_cast<uint32_t>(((batch * kThreads + t + 1) << 20) + i);
          const Operation &operation = kOperations[mix(key) / kFaultEvery % std::size(kOperations)];
          const bool failed = faultFor(key) != Fault::kNone;
          if (!operation.call(key, failed)) ++tally.wrong;
          ++tally.calls;
          if (failed) ++tally.faults;
        }
      });
    }
    for (std::thread &thread : threads) thread.join();
  }

  ScriptedServer server;
  Tally tally;
};

TEST_F(StressTest, EveryThreadGetsItsOwnAnswersAndNothingIsLeftBehind) {
  // The server accepts and closes its end of the set-up connection on its own time (slowly
  // under an emulator): count the descriptors once it has.
  for (int i = 0; i < 1000 && server.connectionsAccepted() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(server.waitForOpenConnections(0, std::chrono::seconds(10)));
  const int descriptorsBefore = openDescriptors();
  runBatch(0);
  ASSERT_TRUE(server.waitForOpenConnections(0, std::chrono::seconds(10)));
  const std::size_t heapAfterWarmUp = mallinfo2().uordblks;

  runBatch(1);
  ASSERT_TRUE(server.waitForOpenConnections(0, std::chrono::seconds(10)));
  const std::size_t heapAfter = mallinfo2().uordblks;

  EXPECT_EQ(tally.wrong.load(), 0) << "of " << tally.calls.load() << " calls";
  EXPECT_GT(tally.faults.load(), 0) << "no fault was injected: the check proves nothing";
  EXPECT_EQ(openDescriptors(), descriptorsBefore) << "descriptors leaked";
#if !defined(QEL_SANITIZED)
  // Room for the server's bookkeeping, allocator caches and libtirpc's 16 bytes per client
  // creation, not for anything per call.
  constexpr std::size_t kTolerance = 128 * 1024;
  EXPECT_LE(heapAfter, heapAfterWarmUp + kTolerance)
      << "grew by " << (heapAfter - heapAfterWarmUp) << " bytes over " << kThreads * kCallsPerBatch
      << " calls";
#endif
  std::printf(
      "stress: %ld calls, %ld faults injected, %d descriptors before and %d after, heap "
      "%+ld bytes after warm-up\n",
      tally.calls.load(), tally.faults.load(), descriptorsBefore, openDescriptors(),
      static_cast<long>(heapAfter) - static_cast<long>(heapAfterWarmUp));
}

}  // namespace
}  // namespace qel::test
