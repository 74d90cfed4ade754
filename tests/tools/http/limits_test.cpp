// SPDX-License-Identifier: Apache-2.0
// The server under slow, idle, flooding and greedy clients: each is cut at its bound while
// other clients are still answered within a second; and the listening socket, 100-continue,
// the full queue and stop().
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "child_process.hpp"
#include "http_client.hpp"

namespace qel::test {
namespace {

const std::string kEcho = "GET /echo HTTP/1.1\r\nHost: h\r\n\r\n";
const std::string kEchoAnswer = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 10";

using Clients = std::vector<std::unique_ptr<RawClient>>;

// `count` connections, spread over the loopback addresses 127.0.0.`first`, `first` + 1, ...
// `spread` of them.
Clients connect(int port, int count, int first, int spread) {
  Clients clients;
  for (int i = 0; i < count; ++i) {
    clients.push_back(
        std::make_unique<RawClient>(port, "127.0.0." + std::to_string(first + i % spread)));
  }
  return clients;
}

// The slowest of `count` fresh connections from 127.0.0.1, each asking /echo, `pause` apart;
// a minute when one is not answered.
Clock::duration slowestAnswer(int port, int count, std::chrono::milliseconds pause) {
  Clock::duration slowest{};
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    RawClient client(port);
    const bool answered = client.send(kEcho) && client.response().starts_with(kEchoAnswer);
    slowest = std::max(slowest, answered ? Clock::now() - start : Clock::duration(1min));
    std::this_thread::sleep_for(pause);
  }
  return slowest;
}

// Runs `body` on a thread until the end of the scope.
class Background {
 public:
  explicit Background(std::function<void(const std::atomic<bool> &)> body)
      : thread_([this, body] { body(done_); }) {}
  ~Background() {
    done_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

TEST(Limits, SlowSocketsAndBodyFloodsLeaveOthersAnsweredWithinASecond) {
  http::Limits limits;
  limits.requestTimeout = 3s;
  limits.maxBodyBytes = 1024;
  TestServer server(limits);
  const int port = server.port();
  // 100 sockets from four addresses (32 a client at most), each trickling a head a byte every
  // 100 ms: the head takes longer than the deadline to complete.
  Clients slow = connect(port, 100, 2, 4);
  const auto start = Clock::now();
  Background trickle([&](const std::atomic<bool> &done) {
    const std::string head = "GET /echo HTTP/1.1\r\nHost: h\r\nX-Slow: abcdefghijklmnop\r\n\r\n";
    for (std::size_t at = 0; !done && at < head.size(); ++at) {
      for (auto &client : slow) client->send(head.substr(at, 1));
      std::this_thread::sleep_for(100ms);
    }
  });
  // Bodies declared far beyond the limit, sent at full speed, one connection after another.
  Background flood([&](const std::atomic<bool> &done) {
    const std::string block(64 * 1024, 'x');
    while (!done) {
      RawClient client(port, "127.0.0.9");
      client.send("POST /echo HTTP/1.1\r\nHost: h\r\nContent-Length: 4000000000\r\n\r\n");
      for (int i = 0; i < 64 && !done && client.send(block); ++i) {
      }
    }
  });
  EXPECT_LT(slowestAnswer(port, 20, 100ms), 1s);
  EXPECT_LT(Clock::now() - start, limits.requestTimeout);
  // Cut at the deadline from the first byte, though a byte came every 100 ms.
  const std::string timedOut = refusal("408 Request Timeout", "the request did not arrive in time");
  for (auto &client : slow) EXPECT_EQ(withoutDate(client->untilClosed(2s)), timedOut);
  EXPECT_LT(Clock::now() - start, limits.requestTimeout + 2s);
  EXPECT_GT(server.server().counters().rejected, 100u);
}

TEST(Limits, IdleConnectionsCostNoAnswerAndAreClosed) {
  http::Limits limits;
  limits.idleTimeout = 1s;
  TestServer server(limits);
  Clients kept = connect(server.port(), 40, 2, 2);    // after a request each
  Clients silent = connect(server.port(), 40, 4, 2);  // never a byte
  for (auto &client : kept) {
    ASSERT_TRUE(client->send(kEcho));
    ASSERT_TRUE(client->response().starts_with(kEchoAnswer));
  }
  EXPECT_LT(slowestAnswer(server.port(), 5, 50ms), 1s);
  const auto start = Clock::now();
  for (auto &client : kept) EXPECT_EQ(client->untilClosed(3s), "");
  for (auto &client : silent) EXPECT_EQ(client->untilClosed(3s), "");
  EXPECT_LT(Clock::now() - start, 2s);
}

TEST(Limits, ServesAThousandConnectionsAtOnce) {
  http::Limits limits;
  limits.maxConnections = 1100;
  limits.queue = 1000;
  TestServer server(limits);
  Clients clients = connect(server.port(), 1000, 2, 40);
  for (auto &client : clients) ASSERT_TRUE(client->send(kEcho));
  int answered = 0;
  for (auto &client : clients) answered += client->response().starts_with(kEchoAnswer) ? 1 : 0;
  EXPECT_EQ(answered, 1000);
  EXPECT_EQ(server.server().counters().open, 1000u);
  EXPECT_EQ(server.server().counters().requests, 1000u);
}

struct Cap {
  const char *name;
  std::size_t maxConnections;
  std::size_t perClient;
  const char *extra;  // the address of the connection over the bound
};

class ConnectionCap : public testing::TestWithParam<Cap> {};

TEST_P(ConnectionCap, ClosesTheConnectionOverItAtOnce) {
  http::Limits limits;
  limits.maxConnections = GetParam().maxConnections;
  limits.maxConnectionsPerClient = GetParam().perClient;
  TestServer server(limits);
  Clients held = connect(server.port(), 3, 2, 1);
  ASSERT_TRUE(held[0]->send(kEcho));
  ASSERT_TRUE(held[0]->response().starts_with(kEchoAnswer));
  RawClient over(server.port(), GetParam().extra);
  over.send(kEcho);
  EXPECT_EQ(over.untilClosed(1s), "");
  for (auto &client : held) {
    ASSERT_TRUE(client->send(kEcho));
    EXPECT_TRUE(client->response().starts_with(kEchoAnswer));
  }
  RawClient other(server.port(), "127.0.0.3");
  other.send(kEcho);
  EXPECT_EQ(other.response().starts_with(kEchoAnswer), GetParam().maxConnections > 3);
  EXPECT_EQ(server.server().counters().refusedConnections, GetParam().maxConnections > 3 ? 1u : 2u);
}

const Cap kCaps[] = {{"per_client", 10, 3, "127.0.0.2"}, {"in_all", 3, 10, "127.0.0.4"}};
INSTANTIATE_TEST_SUITE_P(Bounds, ConnectionCap, testing::ValuesIn(kCaps),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Limits, AFullQueueIsAnswered503AndTheConnectionKept) {
  http::Limits limits;
  limits.workers = 1;
  limits.queue = 1;
  TestServer server(limits);
  RawClient running(server.port()), queued(server.port()), refused(server.port());
  running.send("GET /slow HTTP/1.1\r\nHost: h\r\n\r\n");
  std::this_thread::sleep_for(100ms);
  queued.send("GET /slow HTTP/1.1\r\nHost: h\r\n\r\n");
  std::this_thread::sleep_for(100ms);
  refused.send(kEcho);
  EXPECT_EQ(withoutDate(refused.response(false, 300ms)),
            "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; "
            "charset=utf-8\r\nRetry-After: 1\r\nContent-Length: 38\r\n\r\nthe server is busy; "
            "try again shortly\n");
  EXPECT_TRUE(running.response().starts_with("HTTP/1.1 200 OK\r\n"));
  EXPECT_TRUE(queued.response().starts_with("HTTP/1.1 200 OK\r\n"));
  refused.send(kEcho);
  EXPECT_TRUE(refused.response().starts_with(kEchoAnswer));
}

TEST(Limits, AClientThatNeverReadsHoldsNoWorkerAndIsDropped) {
  http::Limits limits;
  limits.workers = 1;
  limits.writeTimeout = 1s;
  TestServer server(limits);
  RawClient greedy(server.port());
  greedy.send("GET /big HTTP/1.1\r\nHost: h\r\n\r\n");
  std::this_thread::sleep_for(200ms);
  EXPECT_LT(slowestAnswer(server.port(), 3, 0ms), 1s);
  // Unread 4 MiB: the server gives up on it after the write timeout, not before.
  EXPECT_TRUE(eventually([&] { return server.server().counters().open == 1; }, 300ms));
  EXPECT_TRUE(eventually([&] { return server.server().counters().open == 0; }, 3s));
}

TEST(Limits, TheContinueExpectationIsAnsweredBeforeTheBody) {
  http::Limits limits;
  limits.maxBodyBytes = 16;
  TestServer server(limits);
  RawClient client(server.port());
  client.send("PUT /echo HTTP/1.1\r\nHost: h\r\nExpect: 100-continue\r\nContent-Length: 5\r\n\r\n");
  EXPECT_EQ(client.response(), "HTTP/1.1 100 Continue\r\n\r\n");
  client.send("hello");
  EXPECT_EQ(withoutDate(client.response()),
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 21\r\n\r\nPUT "
            "/echo\nbody hello\n");
  // Too large: the refusal comes instead of "100 Continue", before any body.
  client.send(
      "PUT /echo HTTP/1.1\r\nHost: h\r\nExpect: 100-continue\r\nContent-Length: 17\r\n\r\n");
  EXPECT_EQ(withoutDate(client.untilClosed()),
            refusal("413 Content Too Large", "request body too large"));
}

TEST(Limits, StopEndsRunWithinASecondUnderLoad) {
  http::Limits limits;
  limits.workers = 1;
  TestServer server(limits);
  Clients slow = connect(server.port(), 50, 2, 2);
  for (auto &client : slow) client->send("GET /echo HTTP/1.1\r\n");
  RawClient greedy(server.port(), "127.0.0.4"), running(server.port()), queued(server.port());
  const auto served = [&](unsigned long long count) {
    return eventually([&] { return server.server().counters().requests == count; }, 2s, 5ms);
  };
  greedy.send("GET /big HTTP/1.1\r\nHost: h\r\n\r\n");
  ASSERT_TRUE(served(1));
  running.send("GET /slow HTTP/1.1\r\nHost: h\r\n\r\n");
  ASSERT_TRUE(served(2));
  queued.send(kEcho);
  std::this_thread::sleep_for(100ms);
  EXPECT_LT(server.stop(), 1s);
  // The request being served is answered in the grace, the one waiting is told why not.
  EXPECT_TRUE(running.untilClosed().starts_with("HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(withoutDate(queued.untilClosed()),
            refusal("503 Service Unavailable", "the server is stopping"));
  EXPECT_EQ(server.server().counters().open, 0u);
  for (auto &client : slow) EXPECT_EQ(client->untilClosed(), "");
}

TEST(Listen, APortInUseIsAnError) {
  TestServer first(http::Limits{});
  http::Server second(http::Limits{}, echoHandler);
  std::string error;
  EXPECT_FALSE(second.listen("127.0.0.1", first.port(), error));
  EXPECT_EQ(error, "cannot listen on 127.0.0.1 port " + std::to_string(first.port()) +
                       ": Address already in use");
  EXPECT_FALSE(second.run());
}

struct Address {
  const char *name;
  const char *listen;
  const char *server;  // what the client connects to
  const char *client;
};

class ListenAddress : public testing::TestWithParam<Address> {};

TEST_P(ListenAddress, ServesItsClients) {
  TestServer server(http::Limits{}, std::nullopt, GetParam().listen);
  RawClient client(server.port(), GetParam().client, GetParam().server);
  client.send(kEcho);
  EXPECT_TRUE(client.response().starts_with(kEchoAnswer));
}

const Address kAddresses[] = {{"ipv4_any", "", "127.0.0.1", "127.0.0.1"},
                              {"ipv6_loopback", "::1", "::1", "::1"},
                              {"ipv6_any_ipv6_client", "[::]", "::1", "::1"},
                              {"ipv6_any_ipv4_client", "::", "127.0.0.1", "127.0.0.1"}};
INSTANTIATE_TEST_SUITE_P(Hosts, ListenAddress, testing::ValuesIn(kAddresses),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qel::test
