// SPDX-License-Identifier: Apache-2.0
#include "simulator/rpc/raw_reply.hpp"

#include <arpa/inet.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "simulator/model/log.hpp"
#include "tools/descriptor.hpp"

namespace qel::simd {

namespace {

constexpr std::size_t kMark = 4;
constexpr uint32_t kLastFragment = 0x80000000u;

uint32_t wordAt(const std::string &bytes, std::size_t at) {
  uint32_t word = 0;
  std::memcpy(&word, bytes.data() + at, sizeof word);
  return ntohl(word);
}

std::string markFor(std::size_t length) {
  const uint32_t mark = htonl(kLastFragment | static_cast<uint32_t>(length));
  return std::string(reinterpret_cast<const char *>(&mark), sizeof mark);
}

}  // namespace

// The transport writes through its descriptor; pointing that at a memory file for one reply
// gives the exact bytes, transaction id and verifier included, without knowing the RPC layer's
// insides.
std::string renderReply(SVCXPRT *transport, xdrproc_t codec, void *results) {
  const tools::Descriptor file(memfd_create("qel-simd-reply", MFD_CLOEXEC));
  if (file.get() < 0) {
    logf(kLogError, "cannot render a reply: %s", std::strerror(errno));
    return {};
  }
  const int socket = transport->xp_fd;
  transport->xp_fd = file.get();
  const bool rendered = svc_sendreply(transport, codec, static_cast<char *>(results));
  transport->xp_fd = socket;
  if (!rendered) return {};
  std::string bytes;
  char buffer[4096];
  for (off_t at = 0;;) {
    const ssize_t n = pread(file.get(), buffer, sizeof buffer, at);
    if (n <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    at += n;
  }
  return bytes;
}

std::string cutReply(const std::string &reply, std::size_t length) {
  return reply.substr(0, length);
}

// Header: transaction id, message type, reply status, verifier flavour, verifier length, the
// verifier padded to four bytes, accept status.
std::string garbleReply(const std::string &reply) {
  constexpr std::size_t kVerifierLength = kMark + 16;
  if (reply.size() < kVerifierLength + 4) return reply;
  const std::size_t verifier = (wordAt(reply, kVerifierLength) + 3) & ~std::size_t{3};
  const std::size_t header = 24 + verifier;
  if (reply.size() < kMark + header) return reply;
  return markFor(header + 3) + reply.substr(kMark, header) + std::string(3, '\xff');
}

long writeSome(int fd, const std::string &bytes, std::size_t from) {
  std::size_t at = from;
  while (at < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    if (n > 0) {
      at += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;
    } else {
      return -1;
    }
  }
  return static_cast<long>(at - from);
}

}  // namespace qel::simd
