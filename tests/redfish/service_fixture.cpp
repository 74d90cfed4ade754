// SPDX-License-Identifier: Apache-2.0
#include "service_fixture.hpp"

#include <unistd.h>

#include "tools/http/password.hpp"

namespace qel::test {
namespace {

const std::pair<Who, const char *> kAccounts[] = {
    {Who::kAdmin, "admin"}, {Who::kOperator, "operator"}, {Who::kReader, "reader"}};

std::string base64(const std::string &text) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 3) {
    const unsigned n = (static_cast<unsigned char>(text[i]) << 16) |
                       (i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) << 8 : 0) |
                       (i + 2 < text.size() ? static_cast<unsigned char>(text[i + 2]) : 0);
    for (std::size_t k = 0; k < 4; ++k) {
      out += i + k <= text.size() ? kDigits[(n >> (18 - 6 * k)) & 63] : '=';
    }
  }
  return out;
}

}  // namespace

std::string Reply::header(const std::string &name) const {
  const std::string *value = headers.find(name);
  return value ? *value : "(absent)";
}

std::string Reply::at(const std::string &pointer) const {
  const Json::json_pointer where(pointer);
  return json.contains(where) ? json.at(where).dump() : "(absent)";
}

const char *ServiceTest::password(Who who) {
  return who == Who::kAdmin      ? "admin-secret"
         : who == Who::kOperator ? "operator-secret"
                                 : "reader-secret";
}

void ServiceTest::SetUp() {
  ASSERT_TRUE(simd_.start());
  dir_ = std::filesystem::temp_directory_path() / ("qel-redfish-test-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
  accounts_ = std::make_unique<redfish::AccountStore>(dir_.string());
  std::string error;
  ASSERT_TRUE(accounts_->open(error)) << error;
  const redfish::Role roles[] = {redfish::Role::kAdministrator, redfish::Role::kOperator,
                                 redfish::Role::kReadOnly};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto [who, name] = kAccounts[i];
    ASSERT_EQ(
        accounts_->create(name, roles[i], *http::hashPassword(password(who)), true, ids_[who]),
        redfish::Change::kDone);
  }
  sessions_ = std::make_unique<redfish::SessionStore>(8);
  redfish::ServiceSettings settings;
  settings.sp = {"localhost", simd_.program(), std::chrono::milliseconds(3000)};
  settings.uuid = "6b0d0c52-5c6f-4ad8-9f8c-1b2d3e4f5a6b";
  state_ = std::make_unique<redfish::ServiceState>(
      redfish::ServiceState{settings, *accounts_, *sessions_});
  for (const auto &[who, name] : kAccounts) {
    const Reply login =
        call({"POST", "/redfish/v1/SessionService/Sessions",
              Json{{"UserName", name}, {"Password", password(who)}}.dump(), Who::kNobody});
    ASSERT_EQ(login.status, 201) << login.body;
    tokens_[who] = login.header("X-Auth-Token");
  }
  ctl("stats --reset");
}

void ServiceTest::TearDown() {
  qelDisconnect();  // the next test's server is another one
  simd_.stop();
  std::filesystem::remove_all(dir_);
}

Reply ServiceTest::call(const Call &c) {
  http::Request request;
  request.method = c.method;
  request.target = c.target;
  const std::size_t query = c.target.find('?');
  request.path = c.target.substr(0, query);
  if (query != std::string::npos) {
    const std::string text = c.target.substr(query + 1);
    const std::size_t equals = text.find('=');
    request.parameters.emplace_back(text.substr(0, equals),
                                    equals == std::string::npos ? "" : text.substr(equals + 1));
  }
  request.body = c.body;
  request.peer = "127.0.0.1";
  request.secure = true;
  if (!c.body.empty()) request.headers.add("Content-Type", "application/json");
  if (c.who != Who::kNobody) request.headers.add("X-Auth-Token", tokens_.at(c.who));
  for (const auto &[name, value] : c.headers) {
    if (name == "Plain-HTTP") {
      request.secure = false;
    } else if (name == "Basic") {
      request.headers.add("Authorization", "Basic " + base64(value));
    } else {
      request.headers.set(name, value);
    }
  }
  http::Response response;
  redfish::Service service(*state_);
  service(request, response);
  Reply reply{response.status, response.headers, response.body, Json()};
  const std::string *type = response.headers.find("Content-Type");
  if (type != nullptr && type->starts_with("application/json"))
    reply.json = Json::parse(response.body);
  return reply;
}

std::string ServiceTest::ctl(const std::string &command) {
  std::string output;
  EXPECT_EQ(
      SimdProcess::run("ctl --program " + std::to_string(simd_.program()) + " " + command, output),
      0)
      << command << ": " << output;
  return output;
}

int ServiceTest::calls(const std::string &name) {
  const Json stats = Json::parse(ctl("--json stats"));
  return stats["procedures"].value(name, 0);
}

}  // namespace qel::test
