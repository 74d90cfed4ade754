// net, date: the service processor's own network settings and clock.
#include <qel.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "cli/actions.hpp"
#include "cli/address_number.hpp"
#include "cli/commands.hpp"

namespace qel::cli {
namespace {

void addSelector(CLI::App &app, unsigned &selector) {
  app.add_option("--selector", selector,
                 "Configuration selector sent with the request, passed on as it is (default 0)");
}

Json addressText(const HeapText &text) { return text ? Json(text.get()) : Json(); }

std::string hardwareText(const unsigned char *bytes) {
  if (bytes == nullptr) return {};
  char text[18];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", bytes[0], bytes[1], bytes[2],
                bytes[3], bytes[4], bytes[5]);
  return text;
}

std::string numberedAddress(unsigned address) {
  HeapText text;
  check(qelIPAddressToString(address, text.out()), "cannot format address");
  return textOf(text);
}

constexpr const char *kNumericHelp =
    "Addresses as 32-bit numbers (decimal, or hexadecimal with 0x) instead of dotted quads, "
    "exchanged through the library's numeric form";

constexpr const char *kNotANumber = " is not a 32-bit number (decimal, or hexadecimal with 0x)";

// Addresses given on the command line, each absent (not given, or "") or a value; they are
// sent as a null pointer or a pointer to the value.
class AddressSlots {
 public:
  const unsigned *at(std::size_t i) const { return values_[i] ? &*values_[i] : nullptr; }

  // Reads each given text as a number (--numeric) or as a dotted quad. A number that is not
  // one is a usage error; a dotted quad the library cannot read fails with its result.
  static AddressSlots read(const std::vector<std::pair<std::string, std::string>> &given,
                           bool numeric) {
    AddressSlots slots;
    for (std::size_t i = 0; i < given.size() && i < slots.values_.size(); ++i) {
      const auto &[name, text] = given[i];
      if (text.empty()) continue;
      if (numeric) {
        slots.values_[i] = addressNumber(text);
        if (!slots.values_[i]) {
          throw CLI::ValidationError(name, "'" + text + "'" + kNotANumber);
        }
        continue;
      }
      unsigned value = 0;
      check(qelStringToIPAddress(text.c_str(), &value),
            "malformed address for " + name + " '" + text + "'");
      slots.values_[i] = value;
    }
    return slots;
  }

 private:
  std::array<std::optional<unsigned>, 3> values_;
};

struct InterfaceArguments {
  unsigned selector = 0;
  unsigned interfaceId = 0;
  bool numeric = false;
};

// Both forms show the same keys; only the notation of the addresses differs.
void showInterface(Session &session, bool enabled, bool dhcp, const std::array<Json, 3> &addresses,
                   const std::string &label, const unsigned char *hardware) {
  session.show(Record()
                   .field("enabled", enabled)
                   .field("dhcp", dhcp)
                   .field("address", addresses[0])
                   .field("netmask", addresses[1])
                   .field("gateway", addresses[2])
                   .field("label", label)
                   .field("hardwareAddress", hardwareText(hardware), "hardware address"));
}

std::string interfaceAction(const char *verb, const InterfaceArguments &at) {
  return std::string("cannot ") + verb + " interface " + std::to_string(at.interfaceId);
}

void readInterfaceTexts(Session &session, const InterfaceArguments &at) {
  int enabled = 0, dhcp = 0;
  HeapText address, netmask, gateway, label;
  Heap<unsigned char> hardware;
  check(qelGetIP_Str(at.selector, at.interfaceId, &enabled, &dhcp, address.out(), netmask.out(),
                     gateway.out(), label.out(), hardware.out()),
        interfaceAction("read", at));
  showInterface(session, enabled != 0, dhcp != 0,
                {addressText(address), addressText(netmask), addressText(gateway)}, textOf(label),
                hardware.get());
}

void readInterfaceNumbers(Session &session, const InterfaceArguments &at) {
  IPInfo info{};
  check(qelGetIP(at.selector, at.interfaceId, &info), interfaceAction("read", at));
  // The record carries every address whatever its flag; an absent one shows as absent here too.
  auto number = [](bool present, unsigned address) { return present ? Json(address) : Json(); };
  showInterface(session, info.enabled != 0, info.dhcp != 0,
                {number(info.ipAddressValid, info.ipAddress),
                 number(info.netmaskValid, info.netmask), number(info.gatewayValid, info.gateway)},
                std::string(info.label, strnlen(info.label, sizeof info.label)),
                info.hardwareAddress);
}

struct IpSettings {
  std::array<std::string, 3> addresses;  // --address, --netmask, --gateway; empty when not given
  std::string request;
  bool dhcp = false;
  bool disable = false;

  std::vector<std::pair<std::string, std::string>> given() const {
    return {{"--address", addresses[0]}, {"--netmask", addresses[1]}, {"--gateway", addresses[2]}};
  }
};

void writeInterface(Session &session, const InterfaceArguments &at, const IpSettings &set) {
  // Checked here for every address given, so that a mistyped one is named and is never sent,
  // also when the interface is being disabled.
  const AddressSlots slots = AddressSlots::read(set.given(), at.numeric);
  const int enabled = set.disable ? 0 : 1;
  const int dhcp = set.dhcp ? 1 : 0;
  if (at.numeric) {
    finish(session,
           qelSetIP(at.selector, at.interfaceId, static_cast<unsigned char>(enabled), dhcp,
                    slots.at(0), slots.at(1), slots.at(2), set.request.c_str()),
           interfaceAction("set", at));
    return;
  }
  auto text = [&](std::size_t i) {
    return set.addresses[i].empty() ? nullptr : set.addresses[i].c_str();
  };
  finish(session,
         qelSetIP_Str(at.selector, at.interfaceId, enabled, dhcp, text(0), text(1), text(2),
                      set.request.c_str()),
         interfaceAction("set", at));
}

void addIp(CommandTable &table, CLI::App &net) {
  auto at = argument<InterfaceArguments>();
  const Declare declare = [at](CLI::App &app) {
    app.add_option("IFACE", at->interfaceId, "Interface number")->required();
    addSelector(app, at->selector);
    app.add_flag("--numeric", at->numeric, kNumericHelp);
  };
  auto &ip =
      table.attribute(net, "ip", "An interface's addresses", declare, [at](Session &session) {
        if (at->numeric) {
          readInterfaceNumbers(session, *at);
        } else {
          readInterfaceTexts(session, *at);
        }
      });
  auto set = argument<IpSettings>();
  auto &setter = table.verb(ip, "set", "Set an interface's addresses",
                            [at, set](Session &session) { writeInterface(session, *at, *set); });
  declare(setter);
  // --numeric may stand before `set`; numbers are checked once the whole line is read.
  table.validate(setter, [at, set] {
    if (at->numeric) AddressSlots::read(set->given(), true);
  });
  auto *dhcp = setter.add_flag("--dhcp", set->dhcp, "Take the addresses from DHCP");
  for (auto [name, i, help] :
       {std::tuple{"--address", 0, "Interface address"}, std::tuple{"--netmask", 1, "Netmask"},
        std::tuple{"--gateway", 2, "Gateway"}}) {
    setter
        .add_option(name, set->addresses[i],
                    std::string(help) + " (dotted quad, or a number with --numeric)")
        ->excludes(dhcp);
  }
  setter.add_flag("--disable", set->disable, "Disable the interface");
  setter.add_option("--request", set->request, "Request text sent along (default empty)");
}

// Which of the library's DNS operations a command goes through.
enum class DnsForm { kThree, kOne, kText };

DnsForm dnsForm(const std::string &name) {
  return name == "one" ? DnsForm::kOne : name == "text" ? DnsForm::kText : DnsForm::kThree;
}

struct DnsArguments {
  unsigned selector = 0;
  bool numeric = false;
  std::string readForm = "three";
  std::string writeForm = "text";
  std::vector<std::string> servers;
  std::string text;
};

void addDnsOptions(CLI::App &app, DnsArguments &dns, std::string &form, const char *formHelp) {
  addSelector(app, dns.selector);
  app.add_flag("--numeric", dns.numeric, std::string(kNumericHelp) + "; not with --form text");
  app.add_option("--form", form, formHelp)->check(CLI::IsMember({"three", "one", "text"}));
}

// The text form exchanges dotted quads only.
void refuseNumericText(const DnsArguments &dns, const std::string &form) {
  if (dns.numeric && dnsForm(form) == DnsForm::kText) {
    throw CLI::ValidationError(
        "--numeric", "the text form exchanges dotted quads only; choose --form three or one");
  }
}

void readDns(Session &session, const DnsArguments &dns) {
  const char *action = "cannot read the DNS servers";
  HeapText text;
  if (dnsForm(dns.readForm) == DnsForm::kText) {
    HeapText servers;
    check(qelGetDNS_Str(dns.selector, servers.out(), text.out()), action);
    session.show(Record().field("servers", addressText(servers)).field("text", textOf(text)));
    return;
  }
  unsigned servers[3] = {};
  if (dnsForm(dns.readForm) == DnsForm::kOne) {
    check(qelGetDNS(dns.selector, &servers[0], text.out()), action);
  } else {
    check(qelGetDNS3(dns.selector, &servers[0], &servers[1], &servers[2], text.out()), action);
  }
  Json present = Json::array();
  for (unsigned server : servers) {
    if (server != 0) present.push_back(dns.numeric ? Json(server) : Json(numberedAddress(server)));
  }
  session.show(Record().field("servers", present).field("text", textOf(text)));
}

std::vector<std::pair<std::string, std::string>> namedServers(const DnsArguments &dns) {
  std::vector<std::pair<std::string, std::string>> named;
  for (const auto &server : dns.servers) {
    named.emplace_back("server " + std::to_string(named.size() + 1), server);
  }
  return named;
}

// How many SERVERS arguments each form takes, checked with the whole line read.
void checkDnsWrite(const DnsArguments &dns) {
  refuseNumericText(dns, dns.writeForm);
  if (dns.servers.empty()) throw CLI::RequiredError("SERVERS");
  const DnsForm form = dnsForm(dns.writeForm);
  const std::size_t most = form == DnsForm::kThree ? 3 : 1;
  if (dns.servers.size() > most) {
    throw CLI::ValidationError(
        "SERVERS", form == DnsForm::kText  ? "the text form takes the servers as one argument"
                   : form == DnsForm::kOne ? "the one-server form takes one address"
                                           : "at most three servers");
  }
  if (dns.numeric) AddressSlots::read(namedServers(dns), true);
}

void writeDns(Session &session, const DnsArguments &dns) {
  const char *action = "cannot set the DNS servers";
  const DnsForm form = dnsForm(dns.writeForm);
  if (form == DnsForm::kText) {
    finish(session, qelSetDNS_Str(dns.selector, dns.servers[0].c_str(), dns.text.c_str()), action);
    return;
  }
  const AddressSlots slots = AddressSlots::read(namedServers(dns), dns.numeric);
  finish(session,
         form == DnsForm::kOne
             ? qelSetDNS(dns.selector, slots.at(0), dns.text.c_str())
             : qelSetDNS3(dns.selector, slots.at(0), slots.at(1), slots.at(2), dns.text.c_str()),
         action);
}

void addDns(CommandTable &table, CLI::App &net) {
  auto dns = argument<DnsArguments>();
  auto &attribute = table.attribute(
      net, "dns", "The DNS servers",
      [dns](CLI::App &app) {
        addDnsOptions(app, *dns, dns->readForm,
                      "Read through the form: three (all three servers; default), one (server "
                      "1 only), text (the servers joined in one text)");
      },
      [dns](Session &session) { readDns(session, *dns); });
  table.validate(attribute, [dns] { refuseNumericText(*dns, dns->readForm); });
  auto &set = table.verb(attribute, "set", "Set up to three DNS servers",
                         [dns](Session &session) { writeDns(session, *dns); });
  set.add_option("SERVERS", dns->servers,
                 "With --form text one argument of dotted quads separated by commas or blanks "
                 "(\"\" for none); otherwise one argument a server, up to three (one with --form "
                 "one), \"\" for an absent server");
  set.add_option("--text", dns->text, "DNS text kept with the servers (default empty)");
  addDnsOptions(set, *dns, dns->writeForm,
                "Write through the form: text (SERVERS is one text; default), three (each "
                "SERVER in its place), one (server 1; servers 2 and 3 are sent absent)");
  table.validate(set, [dns] { checkDnsWrite(*dns); });
}

void addHostname(CommandTable &table, CLI::App &net) {
  auto selector = argument<unsigned>();
  auto &hostname = table.attribute(
      net, "hostname", "The hostname", [selector](CLI::App &app) { addSelector(app, *selector); },
      [selector](Session &session) {
        showText(
            session, [&](char **out) { return qelGetHostname(*selector, out); }, "hostname",
            "cannot read the hostname");
      });
  auto name = argument<std::string>();
  auto &set = table.verb(hostname, "set", "Set the hostname", [selector, name](Session &session) {
    finish(session, qelSetHostname(*selector, name->c_str()), "cannot set the hostname");
  });
  set.add_option("NAME", *name, "New hostname")->required();
  addSelector(set, *selector);
}

void addAddressConversions(CommandTable &table, CLI::App &net) {
  auto &address = table.noun(net, "address", "Convert addresses between text and number");
  auto text = argument<std::string>();
  table
      .verb(
          address, "parse", "Show the 32-bit value of a dotted-quad address",
          [text](Session &session) {
            unsigned value = 0;
            check(qelStringToIPAddress(text->c_str(), &value), "malformed address '" + *text + "'");
            char hex[11];
            std::snprintf(hex, sizeof hex, "0x%08X", value);
            session.show(Record()
                             .field("address", numberedAddress(value))
                             .field("value", value)
                             .field("hex", hex));
          },
          Reach::kLocal)
      .add_option("ADDRESS", *text, "Dotted-quad address")
      ->required();
  auto value = argument<std::string>();
  table
      .verb(
          address, "format", "Show a 32-bit value as a dotted-quad address",
          [value](Session &session) {
            session.show(Record().field("address", numberedAddress(*addressNumber(*value))));
          },
          Reach::kLocal)
      .add_option("VALUE", *value, "Address as a number (decimal, or hexadecimal with 0x)")
      // Read as --numeric reads addresses: never as octal, never with a sign.
      ->check(CLI::Validator(
          [](const std::string &text) {
            return addressNumber(text) ? std::string() : "'" + text + "'" + kNotANumber;
          },
          "NUMBER"))
      ->required();
}

void addDate(CommandTable &table, CLI::App &root) {
  auto &date = table.attribute(
      root, "date", "The date: this machine's clock in UTC, in the form the server takes",
      [](CLI::App &) {},
      [](Session &session) { showText(session, qelGetDate, "date", "cannot read the clock"); },
      Reach::kLocal);
  auto text = argument<std::string>();
  table
      .verb(date, "set", "Set the service processor's date (default: this machine's clock)",
            [text](Session &session) {
              HeapText now;
              if (text->empty()) check(qelGetDate(now.out()), "cannot read the clock");
              finish(session, qelSetDate(text->empty() ? now.get() : text->c_str()),
                     "cannot set the date");
            })
      .add_option("DATE", *text, "Date text, sent as it is");
}

}  // namespace

void addNetCommands(CommandTable &table, CLI::App &root) {
  auto &net = table.noun(root, "net", "The service processor's network settings");
  addIp(table, net);
  addDns(table, net);
  addHostname(table, net);
  auto selector = argument<unsigned short>();
  table
      .verb(net, "reset", "Restore the default network settings",
            [selector](Session &session) {
              finish(session, qelResetToDefaultSettings(selector.get()),
                     "cannot restore the defaults");
            })
      .add_option("SELECTOR", *selector, "Reset selector, passed to the server as it is")
      ->required();
  addAddressConversions(table, net);
  addDate(table, root);
}

}  // namespace qel::cli
