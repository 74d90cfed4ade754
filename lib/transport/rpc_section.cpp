// SPDX-License-Identifier: Apache-2.0
#include "lib/transport/rpc_section.hpp"

#include <pthread.h>

#include "qel.h"

namespace qel {
namespace {

// Writers first: a fork waits for the sections in progress, not for every later one too.
pthread_rwlock_t rpcLayer = PTHREAD_RWLOCK_WRITER_NONRECURSIVE_INITIALIZER_NP;
pthread_once_t handlersOnce = PTHREAD_ONCE_INIT;

// The host's lock first, as client creation takes it: a creation holds it around its section.
void beforeFork() {
  lockSharedRPCConnectionMutex();
  pthread_rwlock_wrlock(&rpcLayer);
}

void afterForkInParent() {
  pthread_rwlock_unlock(&rpcLayer);
  unlockSharedRPCConnectionMutex();
}

void afterForkInChild() {
  pthread_rwlock_t fresh = PTHREAD_RWLOCK_WRITER_NONRECURSIVE_INITIALIZER_NP;
  rpcLayer = fresh;
  unlockSharedRPCConnectionMutex();
}

void registerHandlers() { pthread_atfork(beforeFork, afterForkInParent, afterForkInChild); }

}  // namespace

RpcSection::RpcSection() { pthread_rwlock_rdlock(&rpcLayer); }
RpcSection::~RpcSection() { pthread_rwlock_unlock(&rpcLayer); }

void guardForks() { pthread_once(&handlersOnce, registerHandlers); }

}  // namespace qel
