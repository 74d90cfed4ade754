// net, date: the service processor's own network settings and clock.
#include <qel.h>

#include <cstdio>

#include "cli/actions.hpp"
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

struct InterfaceArguments {
  unsigned selector = 0;
  unsigned interfaceId = 0;
};

struct IpSettings {
  std::string address, netmask, gateway, request;
  bool dhcp = false;
  bool disable = false;
};

void addIp(CommandTable &table, CLI::App &net) {
  auto at = argument<InterfaceArguments>();
  const Declare declare = [at](CLI::App &app) {
    app.add_option("IFACE", at->interfaceId, "Interface number")->required();
    addSelector(app, at->selector);
  };
  auto &ip =
      table.attribute(net, "ip", "An interface's addresses", declare, [at](Session &session) {
        int enabled = 0, dhcp = 0;
        HeapText address, netmask, gateway, label;
        Heap<unsigned char> hardware;
        check(qelGetIP_Str(at->selector, at->interfaceId, &enabled, &dhcp, address.out(),
                           netmask.out(), gateway.out(), label.out(), hardware.out()),
              "cannot read interface " + std::to_string(at->interfaceId));
        session.show(
            Record()
                .field("enabled", enabled != 0)
                .field("dhcp", dhcp != 0)
                .field("address", addressText(address))
                .field("netmask", addressText(netmask))
                .field("gateway", addressText(gateway))
                .field("label", textOf(label))
                .field("hardwareAddress", hardwareText(hardware.get()), "hardware address"));
      });
  auto set = argument<IpSettings>();
  auto &setter = table.verb(ip, "set", "Set an interface's addresses", [at, set](Session &session) {
    // Checked here for every address given, so that a mistyped one is named and is never sent,
    // also when the interface is being disabled.
    for (const auto &[option, text] :
         {std::pair{"--address", &set->address}, std::pair{"--netmask", &set->netmask},
          std::pair{"--gateway", &set->gateway}}) {
      unsigned value = 0;
      if (!text->empty()) {
        check(qelStringToIPAddress(text->c_str(), &value),
              std::string("malformed address for ") + option + " '" + *text + "'");
      }
    }
    auto given = [](const std::string &text) { return text.empty() ? nullptr : text.c_str(); };
    finish(session,
           qelSetIP_Str(at->selector, at->interfaceId, set->disable ? 0 : 1, set->dhcp ? 1 : 0,
                        given(set->address), given(set->netmask), given(set->gateway),
                        set->request.c_str()),
           "cannot set interface " + std::to_string(at->interfaceId));
  });
  declare(setter);
  auto *dhcp = setter.add_flag("--dhcp", set->dhcp, "Take the addresses from DHCP");
  for (auto [name, text, help] :
       {std::tuple{"--address", &set->address, "Interface address (dotted quad)"},
        std::tuple{"--netmask", &set->netmask, "Netmask (dotted quad)"},
        std::tuple{"--gateway", &set->gateway, "Gateway (dotted quad)"}}) {
    setter.add_option(name, *text, help)->excludes(dhcp);
  }
  setter.add_flag("--disable", set->disable, "Disable the interface");
  setter.add_option("--request", set->request, "Request text sent along (default empty)");
}

void addDns(CommandTable &table, CLI::App &net) {
  auto selector = argument<unsigned>();
  auto &dns = table.attribute(
      net, "dns", "The DNS servers", [selector](CLI::App &app) { addSelector(app, *selector); },
      [selector](Session &session) {
        unsigned servers[3] = {};
        HeapText text;
        check(qelGetDNS3(*selector, &servers[0], &servers[1], &servers[2], text.out()),
              "cannot read the DNS servers");
        Json present = Json::array();
        for (unsigned server : servers) {
          if (server != 0) present.push_back(numberedAddress(server));
        }
        session.show(Record().field("servers", present).field("text", textOf(text)));
      });
  auto servers = argument<std::string>();
  auto text = argument<std::string>();
  auto &set = table.verb(
      dns, "set", "Set up to three DNS servers", [selector, servers, text](Session &session) {
        finish(session, qelSetDNS_Str(*selector, servers->c_str(), text->c_str()),
               "cannot set the DNS servers");
      });
  set.add_option("SERVERS", *servers,
                 "Up to three dotted-quad addresses separated by commas or blanks; \"\" for none")
      ->required();
  set.add_option("--text", *text, "DNS text kept with the servers (default empty)");
  addSelector(set, *selector);
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
  auto value = argument<unsigned>();
  table
      .verb(
          address, "format", "Show a 32-bit value as a dotted-quad address",
          [value](Session &session) {
            session.show(Record().field("address", numberedAddress(*value)));
          },
          Reach::kLocal)
      .add_option("VALUE", *value, "Address as a number (decimal, or hexadecimal with 0x)")
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
