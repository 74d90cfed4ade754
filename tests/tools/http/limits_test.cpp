// SPDX-License-Identifier: Apache-2.0
// The server under slow, idle, flooding and greedy clients: each is cut at its bound while
// other clients are still answered within a second; and the listening socket, 100-continue,
// the full queue and stop().
#include <gtest/gtest.h>

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

TEST(Limits, SlowIdleAndFloodingClientsLeaveOthersAnsweredWithinASecond) {
  const http::Limits limits{.maxBodyBytes = 1024, .requestTimeout = 3s, .idleTimeout = 1s};
  TestServer server(limits);
  const int port = server.port();
  // Idle: 40 connections kept alive after a request each, 40 that never send a byte.
  Clients kept = connect(port, 40, 6, 2), silent = connect(port, 40, 8, 2);
  for (auto &client : kept) {
    ASSERT_TRUE(client->send(kEcho));
    ASSERT_TRUE(client->response().starts_with(kEchoAnswer));
  }
  // 100 sockets from four addresses (32 a client at most), each trickling a head a byte every
  // 100 ms: the head takes longer than the deadline to complete.
  Clients slow = connect(port, 100, 2, 4);
  const auto start = Clock::now();
  std::jthread trickle([&](std::stop_token stop) {
    const std::string head = "GET /echo HTTP/1.1\r\nHost: h\r\nX-Slow: abcdefghijklmnop\r\n\r\n";
    for (std::size_t at = 0; !stop.stop_requested() && at < head.size(); ++at) {
      for (auto &client : slow) client->send(head.substr(at, 1));
      std::this_thread::sleep_for(100ms);
    }
  });
  // Bodies declared far beyond the limit, sent at full speed, one connection after another.
  std::jthread flood([&](std::stop_token stop) {
    const std::string block(64 * 1024, 'x');
    while (!stop.stop_requested()) {
      RawClient client(port, "127.0.0.10");
      client.send("POST /echo HTTP/1.1\r\nHost: h\r\nContent-Length: 4000000000\r\n\r\n");
      for (int i = 0; i < 64 && !stop.stop_requested() && client.send(block); ++i) {
      }
    }
  });
  EXPECT_LT(slowestAnswer(port, 20, 100ms), 1s);
  EXPECT_LT(Clock::now() - start, limits.requestTimeout);
  // The idle ones were closed after a second without a word.
  for (auto &client : kept) EXPECT_EQ(client->untilClosed(100ms), "");
  for (auto &client : silent) EXPECT_EQ(client->untilClosed(100ms), "");
  // Cut at the deadline from the first byte, though a byte came every 100 ms.
  const std::string timedOut = refusal("408 Request Timeout", "the request did not arrive in time");
  for (auto &client : slow) EXPECT_EQ(withoutDates(client->untilClosed(2s)), timedOut);
  EXPECT_LT(Clock::now() - start, limits.requestTimeout + 2s);
  EXPECT_GT(server.server().counters().rejected, 100u);
}

TEST(Limits, ServesAThousandConnectionsAtOnce) {
  TestServer server(http::Limits{.maxConnections = 1100, .queue = 1000});
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
  TestServer server(http::Limits{.maxConnections = GetParam().maxConnections,
                                 .maxConnectionsPerClient = GetParam().perClient});
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
  TestServer server(http::Limits{.workers = 1, .queue = 1});
  RawClient running(server.port()), queued(server.port()), refused(server.port());
  running.send("GET /slow HTTP/1.1\r\nHost: h\r\n\r\n");
  std::this_thread::sleep_for(100ms);
  queued.send("GET /slow HTTP/1.1\r\nHost: h\r\n\r\n");
  std::this_thread::sleep_for(100ms);
  refused.send(kEcho);
  EXPECT_EQ(withoutDates(refused.response(300ms)),
            "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; "
            "charset=utf-8\r\nRetry-After: 1\r\nContent-Length: 38\r\n\r\nthe server is busy; "
            "try again shortly\n");
  EXPECT_TRUE(running.response().starts_with("HTTP/1.1 200 OK\r\n"));
  EXPECT_TRUE(queued.response().starts_with("HTTP/1.1 200 OK\r\n"));
  refused.send(kEcho);
  EXPECT_TRUE(refused.response().starts_with(kEchoAnswer));
}

TEST(Limits, AClientThatNeverReadsHoldsNoWorkerAndIsDropped) {
  TestServer server(http::Limits{.writeTimeout = 4s, .workers = 1});
  RawClient greedy(server.port());
  greedy.send("GET /big HTTP/1.1\r\nHost: h\r\n\r\n");
  std::this_thread::sleep_for(200ms);
  // Were the worker waiting for the greedy client, the answers would wait the write timeout.
  EXPECT_LT(slowestAnswer(server.port(), 3, 0ms), 2s);
  // 8 MiB unread, twice what the sockets buffer: the server gives up on it after the write
  // timeout, not before.
  EXPECT_TRUE(eventually([&] { return server.server().counters().open == 1; }, 1s));
  EXPECT_TRUE(eventually([&] { return server.server().counters().open == 0; }, 6s));
}

TEST(Limits, TheContinueExpectationIsAnsweredBeforeTheBody) {
  TestServer server(http::Limits{.maxBodyBytes = 16});
  RawClient client(server.port());
  client.send("PUT /echo HTTP/1.1\r\nHost: h\r\nExpect: 100-continue\r\nContent-Length: 5\r\n\r\n");
  EXPECT_EQ(client.response(), "HTTP/1.1 100 Continue\r\n\r\n");
  client.send("hello");
  EXPECT_EQ(withoutDates(client.response()),
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 21\r\n\r\nPUT "
            "/echo\nbody hello\n");
  // Too large: the refusal comes instead of "100 Continue", before any body.
  client.send(
      "PUT /echo HTTP/1.1\r\nHost: h\r\nExpect: 100-continue\r\nContent-Length: 17\r\n\r\n");
  EXPECT_EQ(withoutDates(client.untilClosed()),
            refusal("413 Content Too Large", "request body too large"));
}

TEST(Limits, StopEndsRunWithinASecondUnderLoad) {
  TestServer server(http::Limits{.workers = 1});
  Clients slow = connect(server.port(), 50, 2, 2);
  for (auto &client : slow) client->send("GET /echo HTTP/1.1\r\n");
  RawClient greedy(server.port(), "127.0.0.4"), running(server.port()), queued(server.port());
  const auto served = [&](unsigned long long count) {
    return eventually([&] { return server.server().counters().requests == count; }, 5s, 5ms);
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
  EXPECT_EQ(withoutDates(queued.untilClosed()),
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
  const char *client;  // connects from this address to this address
};

class ListenAddress : public testing::TestWithParam<Address> {};

TEST_P(ListenAddress, ServesItsClients) {
  TestServer server(http::Limits{}, std::nullopt, GetParam().listen);
  RawClient client(server.port(), GetParam().client, GetParam().client);
  client.send(kEcho);
  EXPECT_TRUE(client.response().starts_with(kEchoAnswer));
}

const Address kAddresses[] = {
    {"every_address_ipv4_client", "", "127.0.0.1"}, {"every_address_ipv6_client", "", "::1"},
    {"ipv4_any", "0.0.0.0", "127.0.0.1"},           {"ipv6_loopback", "::1", "::1"},
    {"ipv6_any_ipv6_client", "[::]", "::1"},        {"ipv6_any_ipv4_client", "::", "127.0.0.1"}};
INSTANTIATE_TEST_SUITE_P(Hosts, ListenAddress, testing::ValuesIn(kAddresses),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qel::test
