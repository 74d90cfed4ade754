// SPDX-License-Identifier: Apache-2.0
#include "tools/handle_wait.hpp"

#include <pthread.h>
#include <qel.h>

namespace qel::tools {
namespace {

constexpr std::chrono::microseconds kStep = std::chrono::milliseconds(100);

}  // namespace

bool setHandleWait(std::chrono::microseconds wait) {
  if (wait >= kStep) wait = kStep * (wait / kStep);
  // The key exists once the library made any handle; before that no thread has one.
  if (__atomic_load_n(&qel_once_initialized, __ATOMIC_ACQUIRE) == 0) return false;
  auto *handle = static_cast<CLIENT *>(pthread_getspecific(qel_tsd_key));
  if (handle == nullptr) return false;
  timeval value{static_cast<time_t>(wait.count() / 1000000),
                static_cast<suseconds_t>(wait.count() % 1000000)};
  return clnt_control(handle, CLSET_TIMEOUT, reinterpret_cast<char *>(&value));
}

}  // namespace qel::tools
