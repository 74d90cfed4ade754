// SPDX-License-Identifier: Apache-2.0
#include "simulator/control/ctl_client.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "lib/protocol/procedures.hpp"
#include "simulator/control/control_channel.hpp"
#include "simulator/control/faults.hpp"

namespace qel::simd {

namespace {

constexpr int kReplyTimeoutMs = 10000;

struct Options {
  std::string program = std::to_string(proc::kDefaultProgram);
  std::string socket;
  bool json = false;
};

// Sends one request line and reads one reply line; nullopt with `error` set when it cannot.
std::optional<std::string> exchange(const std::string &path, const std::string &request,
                                    std::string &error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    error = "socket path too long";
    return std::nullopt;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    error = path + ": " + std::strerror(errno) + " (is qel-simd running for this program?)";
    if (fd >= 0) close(fd);
    return std::nullopt;
  }
  const std::string line = request + "\n";
  std::string reply;
  bool sent = send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
  pollfd wait{fd, POLLIN, 0};
  char buffer[4096];
  while (sent && reply.find('\n') == std::string::npos && poll(&wait, 1, kReplyTimeoutMs) == 1) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  if (reply.find('\n') == std::string::npos) {
    error = "no answer from " + path;
    return std::nullopt;
  }
  return reply.substr(0, reply.find('\n'));
}

std::string controlPath(const Options &options) {
  if (!options.socket.empty()) return options.socket;
  return defaultControlPath(static_cast<rpcprog_t>(std::stoull(options.program, nullptr, 0)));
}

// A number when the text is one, else the text: procedures and fault arguments take both.
nlohmann::json nameOrNumber(const std::string &text) {
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
    return std::stoull(text);
  }
  return text;
}

// What the subcommands read from the command line.
struct Inputs {
  std::string proc;
  std::string kind;
  std::string arg;
  std::optional<long long> value;
  int count = 0;
  double seconds = 0;
  unsigned id = 0;
  std::string sensorId;
  std::optional<double> sensorValue;
  bool release = false;
  bool available = false;
  bool unavailable = false;
  std::string onOff;
  int reason = -1;
  std::string name;
  std::string status;
  bool present = false;
  bool absent = false;
  std::optional<int> mode;
  std::optional<int> target;
  std::optional<int> minDuty;
  std::optional<int> maxDuty;
  std::optional<int> period;
  double advance = 0;
  bool reload = false;
  double awaySeconds = 0;
  bool reset = false;
  std::optional<unsigned> last;
  std::string raw;
};

// Each subcommand fills the request it stands for.
void addCommands(CLI::App &app, Inputs &in, nlohmann::json &request) {
  auto *fault = app.add_subcommand("fault", "make calls of a procedure misbehave");
  fault->add_option("proc", in.proc, "the procedure, by name or number")->required();
  fault
      ->add_option("kind", in.kind,
                   "how the calls misbehave (code, delay, close, cut, garble or hang)")
      ->required()
      ->check(CLI::IsMember(faultKindNames()));
  fault->add_option("value", in.value, "the code, the delay in ms, or the bytes a cut reply keeps");
  fault->add_option("--arg", in.arg,
                    "only calls with this argument (sensor, component, interface, selector)");
  fault->add_option("--count", in.count, "only the next N calls")->check(CLI::PositiveNumber);
  fault->add_option("--seconds", in.seconds, "only for this long")->check(CLI::PositiveNumber);
  fault->callback([&] {
    const std::string_view meaning = faultValueMeaning(in.kind);
    if (!in.value && !meaning.empty()) {
      throw CLI::RequiredError(
          "fault: value is missing: a " + in.kind + " fault needs " + std::string(meaning),
          CLI::ExitCodes::RequiredError);
    }
    request = {{"cmd", "fault"}, {"proc", nameOrNumber(in.proc)}, {"kind", in.kind}};
    if (in.value) request["value"] = *in.value;
    if (!in.arg.empty()) request["arg"] = nameOrNumber(in.arg);
    if (in.count > 0) request["count"] = in.count;
    if (in.seconds > 0) request["seconds"] = in.seconds;
  });
  app.add_subcommand("faults", "list the faults")->callback([&] { request = {{"cmd", "faults"}}; });
  auto *clear = app.add_subcommand("clear", "clear one fault, or all");
  clear->add_option("id", in.id, "the fault's id (default: all)");
  clear->callback([&] {
    request = {{"cmd", "clear"}};
    if (in.id > 0) request["id"] = in.id;
  });
  auto *sensor = app.add_subcommand("sensor", "hold a sensor's value, or change its availability");
  sensor->add_option("id", in.sensorId, "the sensor's id")->required();
  sensor->add_option("--value", in.sensorValue, "hold the sensor at this reading");
  sensor->add_flag("--release", in.release, "let the sensor wander again");
  sensor->add_flag("--available", in.available, "give the sensor a reading again");
  sensor->add_flag("--unavailable", in.unavailable, "take the sensor's reading away");
  sensor->callback([&] {
    request = {{"cmd", "sensor"}, {"id", in.sensorId}};
    if (in.sensorValue) request["value"] = *in.sensorValue;
    if (in.release) request["value"] = nullptr;
    if (in.available || in.unavailable) request["available"] = in.available;
  });
  auto *power = app.add_subcommand("power", "power the host on or off");
  power->add_option("state", in.onOff, "the host's power, on or off")
      ->required()
      ->check(CLI::IsMember({"on", "off"}));
  power->add_option("--reason", in.reason, "the shutdown reason to report (default 1)");
  power->callback([&] {
    request = {{"cmd", "power"}, {"on", in.onOff == "on"}};
    if (in.reason >= 0) request["reason"] = in.reason;
  });
  auto *component = app.add_subcommand("component", "change a component's presence or status");
  component->add_option("name", in.name, "the component's name")->required();
  component->add_flag("--present", in.present, "the component is there");
  component->add_flag("--absent", in.absent, "the component is gone");
  component->add_option("--status", in.status, "0 ok, 1 warning, 2 critical, or 'sensors'");
  component->callback([&] {
    request = {{"cmd", "component"}, {"name", in.name}};
    if (in.present || in.absent) request["present"] = in.present;
    if (!in.status.empty())
      request["status"] =
          in.status == "sensors" ? nlohmann::json() : nlohmann::json(std::stoi(in.status));
  });
  auto *fan = app.add_subcommand("fan", "change the fan controller's settings");
  fan->add_option("--mode", in.mode, "0 automatic, 1 manual");
  fan->add_option("--target", in.target, "target temperature");
  fan->add_option("--min-duty", in.minDuty, "minimum duty in percent");
  fan->add_option("--max-duty", in.maxDuty, "maximum duty in percent");
  fan->add_option("--period-ms", in.period, "control period in milliseconds");
  fan->callback([&] {
    request = {{"cmd", "fan"}};
    const std::pair<const char *, std::optional<int> *> fields[] = {
        {"mode", &in.mode},
        {"targetTemperature", &in.target},
        {"minimumDuty", &in.minDuty},
        {"maximumDuty", &in.maxDuty},
        {"periodMs", &in.period}};
    for (const auto &[key, field] : fields) {
      if (*field) request[key] = **field;
    }
  });
  auto *clock = app.add_subcommand("clock", "advance the simulated clock");
  clock->add_option("seconds", in.advance, "how many seconds the clock moves on")->required();
  clock->callback([&] { request = {{"cmd", "clock"}, {"advance", in.advance}}; });
  auto *restart = app.add_subcommand("restart", "register again as a restarted server would");
  restart->add_flag("--reload", in.reload, "load the scenario anew");
  restart->callback([&] { request = {{"cmd", "restart"}, {"reload", in.reload}}; });
  auto *away = app.add_subcommand("away", "go away for a while, then come back");
  away->add_option("seconds", in.awaySeconds, "how many seconds the server stays away")->required();
  away->callback([&] { request = {{"cmd", "away"}, {"seconds", in.awaySeconds}}; });
  auto *stats = app.add_subcommand("stats", "calls counted per procedure");
  stats->add_flag("--reset", in.reset, "count from zero again");
  stats->callback([&] { request = {{"cmd", "stats"}, {"reset", in.reset}}; });
  auto *trace = app.add_subcommand("trace", "the latest requests with their arguments and answers");
  trace->add_option("--last", in.last, "only the latest N");
  trace->callback([&] {
    request = {{"cmd", "trace"}};
    if (in.last) request["last"] = *in.last;
  });
  auto *send = app.add_subcommand("send", "send a request written in JSON as it stands");
  send->add_option("request", in.raw, "the request, a JSON object")->required();
  send->callback([&] { request = nlohmann::json::parse(in.raw, nullptr, false); });
}

// "sensor: id is missing: the sensor's id": CLI11 names a missing argument, but not what it is.
std::string missingArgument(const CLI::App &app, const CLI::Error &error) {
  for (const CLI::App *command : app.get_subcommands()) {
    for (const CLI::Option *option : command->get_options()) {
      if (option->get_required() && option->count() == 0) {
        return command->get_name() + ": " + option->get_name() +
               " is missing: " + option->get_description();
      }
    }
  }
  return error.what();
}

}  // namespace

int runControlClient(int argc, char **argv) {
  CLI::App app{"qel-simd ctl: steer a running qel-simd through its control channel",
               "qel-simd ctl"};
  app.footer(
      "Exit status: 0 done, 1 the server refused the request, 2 no server answers, 64 the "
      "command line is wrong.");
  Options options;
  app.add_option("-p,--program", options.program,
                 "the server's program number (default " + proc::defaultProgramText() + ")");
  app.add_option("-S,--socket", options.socket, "the control socket (default: the program's)");
  app.add_flag("--json", options.json, "write the server's JSON reply as it stands");
  app.require_subcommand(1);
  app.fallthrough();
  nlohmann::json request;
  Inputs inputs;
  addCommands(app, inputs, request);
  try {
    app.parse(argc, argv);
  } catch (const CLI::RequiredError &error) {
    std::cerr << "qel-simd ctl: " << missingArgument(app, error) << '\n';
    return kCtlUsage;
  } catch (const CLI::ParseError &error) {
    return app.exit(error) == 0 ? kCtlOk : kCtlUsage;
  } catch (const std::exception &error) {
    std::cerr << "qel-simd ctl: " << error.what() << '\n';
    return kCtlUsage;
  }
  if (request.is_discarded()) {
    std::cerr << "qel-simd ctl: the request is not valid JSON\n";
    return kCtlUsage;
  }
  std::string error;
  const auto reply = exchange(controlPath(options), request.dump(), error);
  if (!reply) {
    std::cerr << "qel-simd ctl: " << error << '\n';
    return kCtlUnreachable;
  }
  const nlohmann::json parsed = nlohmann::json::parse(*reply, nullptr, false);
  const bool ok = parsed.is_object() && parsed.value("ok", false);
  if (options.json) {
    std::cout << *reply << '\n';
  } else if (!ok) {
    std::cerr << "qel-simd ctl: " << (parsed.is_object() ? parsed.value("error", *reply) : *reply)
              << '\n';
  } else {
    printControlReply(request, parsed, std::cout);
  }
  return ok ? kCtlOk : kCtlRefused;
}

}  // namespace qel::simd
