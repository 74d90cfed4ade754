// SPDX-License-Identifier: Apache-2.0
// The control vocabulary: one JSON object per request, named by its "cmd". The same requests
// make up a scenario's timeline.
#include <limits>
#include <utility>

#include "simulator/control/controller.hpp"
#include "simulator/model/log.hpp"
#include "simulator/model/scenario_reader.hpp"

namespace qel::simd {

namespace {

constexpr int64_t kIntMax = std::numeric_limits<int>::max();

// What a command may carry besides "cmd".
void allow(const JsonNode &request, std::initializer_list<std::string_view> fields) {
  std::vector<std::string_view> known{"cmd"};
  known.insert(known.end(), fields.begin(), fields.end());
  if (!request.json().is_object()) request.fail("expected an object");
  for (const auto &[key, value] : request.json().items()) {
    if (std::find(known.begin(), known.end(), key) == known.end()) {
      request.required(key).fail("unknown field for \"" + request.required("cmd").text() + "\"");
    }
  }
}

[[noreturn]] void noSuch(const JsonNode &field) {
  field.fail("no such item \"" + field.text() + "\"");
}

}  // namespace

nlohmann::json Controller::execute(const nlohmann::json &request) {
  const std::string origin = "request";
  try {
    const JsonNode node(request, "", origin);
    nlohmann::json reply = run(node.required("cmd").text(), node);
    reply["ok"] = true;
    return reply;
  } catch (const ScenarioError &error) {
    logf(kLogWarning, "control: %s", error.what());
    return {{"ok", false}, {"error", error.what()}};
  } catch (const std::exception &error) {
    logf(kLogError, "control: %s", error.what());
    return {{"ok", false}, {"error", std::string("request failed: ") + error.what()}};
  }
}

nlohmann::json Controller::run(const std::string &command, const JsonNode &r) {
  if (command == "fault") return {{"id", faults_.add(Faults::parse(r))}};
  if (command == "faults") {
    allow(r, {});
    return {{"faults", faults_.list()}};
  }
  if (command == "clear") return clearFaults(r);
  if (command == "sensor") return changeSensor(r);
  if (command == "power") return changePower(r);
  if (command == "component") return changeComponent(r);
  if (command == "fan") return changeFan(r);
  if (command == "clock") {
    allow(r, {"advance"});
    const JsonNode advance = r.required("advance");
    if (advance.number() < 0 || advance.number() > 1e9)
      advance.fail("must be from 0 to 1e9 seconds");
    state_.advanceClock(advance.number());
    return nlohmann::json::object();
  }
  if (command == "restart") return restart(r);
  if (command == "away") return goAway(r);
  if (command == "stats") {
    allow(r, {"reset"});
    nlohmann::json reply = trace_.stats();
    if (auto reset = r.optional("reset"); reset && reset->flag()) trace_.reset();
    return reply;
  }
  if (command == "trace") {
    allow(r, {"last"});
    std::size_t last = Trace::kKept;
    if (auto count = r.optional("last"))
      last = static_cast<std::size_t>(count->integer(0, kIntMax));
    return {{"requests", trace_.last(last)}};
  }
  r.required("cmd").fail("unknown command \"" + command + "\"");
}

nlohmann::json Controller::clearFaults(const JsonNode &r) {
  allow(r, {"id"});
  std::optional<unsigned> id;
  if (auto which = r.optional("id")) id = static_cast<unsigned>(which->integer(1, kIntMax));
  const std::vector<unsigned> cleared = faults_.clear(id);
  if (id && cleared.empty()) r.required("id").fail("no fault " + std::to_string(*id));
  held_.release(cleared);
  return {{"cleared", cleared}};
}

nlohmann::json Controller::changeSensor(const JsonNode &r) {
  allow(r, {"id", "value", "available"});
  const JsonNode id = r.required("id");
  if (!std::as_const(state_).findSensor(id.text())) noSuch(id);
  if (auto available = r.optional("available"))
    state_.setSensorAvailable(id.text(), available->flag());
  if (auto value = r.optional("value")) {
    const auto pinned =
        value->isNull() ? std::nullopt : std::optional(static_cast<float>(value->number()));
    if (state_.pinSensor(id.text(), pinned) != kOk) value->fail("must be a finite number or null");
  }
  return nlohmann::json::object();
}

nlohmann::json Controller::changePower(const JsonNode &r) {
  allow(r, {"on", "reason"});
  const bool on = r.required("on").flag();
  int reason = kManagementRequest;
  r.read("reason", reason, 0, kIntMax);
  state_.setHostPower(on, reason);
  return {{"state", state_.platformState()}};
}

nlohmann::json Controller::changeComponent(const JsonNode &r) {
  allow(r, {"name", "present", "status"});
  const JsonNode name = r.required("name");
  if (!state_.findComponent(name.text())) noSuch(name);
  if (auto present = r.optional("present"))
    state_.setComponentPresent(name.text(), present->flag());
  if (auto status = r.optional("status")) {
    state_.setComponentStatus(name.text(),
                              status->isNull()
                                  ? std::nullopt
                                  : std::optional(static_cast<int>(status->integer(0, kIntMax))));
  }
  return {{"status", state_.componentStatus(name.text())}};
}

nlohmann::json Controller::changeFan(const JsonNode &r) {
  allow(r, {"mode", "targetTemperature", "minimumDuty", "maximumDuty", "periodMs"});
  FanSpec fan = state_.fan();
  r.read("mode", fan.mode, 0, 1);
  r.read("targetTemperature", fan.targetTemperature, 0, 150);
  r.read("minimumDuty", fan.minimumDuty, 0, 100);
  r.read("maximumDuty", fan.maximumDuty, 0, 100);
  r.read("periodMs", fan.periodMs, 1, 3600000);
  if (fan.minimumDuty > fan.maximumDuty) r.fail("minimumDuty must not exceed maximumDuty");
  state_.setFan(fan);
  return {{"duty", state_.fanState().duty}};
}

// As a restarted server: the registration and every connection go, and come back at once on a
// new port, with the state kept or loaded anew.
nlohmann::json Controller::restart(const JsonNode &r) {
  allow(r, {"reload"});
  bool reload = false;
  r.read("reload", reload);
  held_.dropAll();
  rpc_.close();
  const int reloaded = reload ? rpc_.reload() : 0;
  std::string error;
  if (!rpc_.reopen(error)) {
    logf(kLogError, "restart: %s; trying again shortly", error.c_str());
    backAt_ = Clock::now();
    r.fail("the server could not register again: " + error);
  }
  if (reloaded != 0)
    r.required("reload").fail("the scenario could not be loaded; the state is kept");
  return nlohmann::json::object();
}

nlohmann::json Controller::goAway(const JsonNode &r) {
  allow(r, {"seconds"});
  const JsonNode seconds = r.required("seconds");
  const double wait = seconds.number();
  if (wait < 0 || wait > 86400) seconds.fail("must be from 0 to 86400");
  held_.dropAll();
  rpc_.close();
  backAt_ = Clock::now() +
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(wait));
  logf(kLogInfo, "away for %g s", wait);
  return nlohmann::json::object();
}

}  // namespace qel::simd
