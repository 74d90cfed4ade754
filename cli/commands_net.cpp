// SPDX-License-Identifier: Apache-2.0
// net: the service processor's own network settings (DNS in commands_dns.cpp).
#include <qel.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "cli/commands.hpp"
#include "cli/net_arguments.hpp"
#include "tools/network_text.hpp"

namespace qel::cli {
namespace {

bool isAddressNumber(const std::string &text) { return tools::addressNumber(text).has_value(); }

struct InterfaceArguments {
  unsigned selector = 0;
  unsigned interfaceId = 0;
  bool numeric = false;
};

// Both forms show the same keys; only the notation of the addresses differs.
void showInterface(Session &session, bool enabled, bool dhcp, const std::array<Json, 3> &addresses,
                   const std::string &label, const unsigned char *hardware) {
  session.show(
      Record()
          .field("enabled", enabled)
          .field("dhcp", dhcp)
          .field("address", addresses[0])
          .field("netmask", addresses[1])
          .field("gateway", addresses[2])
          .field("label", label)
          .field("hardwareAddress", tools::hardwareAddressText(hardware), "hardware address"));
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

  // Every address given, in the notation --numeric chooses, also when the interface is being
  // disabled; a netmask is ones followed by zeros. Throws the usage error that names the option.
  AddressSlots read(bool numeric) const {
    AddressSlots slots = AddressSlots::read(given(), numeric);
    if (slots.at(1) != nullptr && !tools::isContiguousNetmask(*slots.at(1))) {
      throw CLI::ValidationError("--netmask",
                                 "'" + addresses[1] + "' is not a netmask (ones, then zeros)");
    }
    return slots;
  }
};

void writeInterface(Session &session, const InterfaceArguments &at, const IpSettings &set) {
  const AddressSlots slots = set.read(at.numeric);
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
  // --numeric may stand before `set`: the addresses are read once the whole line is.
  table.validate(setter, [at, set] { set->read(at->numeric); });
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
  set.add_option("NAME", *name, "New hostname")->required()->check(hostName());
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
      ->required()
      ->check(dottedQuadAddress());
  auto value = argument<std::string>();
  table
      .verb(
          address, "format", "Show a 32-bit value as a dotted-quad address",
          [value](Session &session) {
            session.show(Record().field("address", numberedAddress(*tools::addressNumber(*value))));
          },
          Reach::kLocal)
      .add_option("VALUE", *value, "Address as a number (decimal, or hexadecimal with 0x)")
      // Read as --numeric reads addresses: never as octal, never with a sign.
      ->check(accepting(isAddressNumber, kNotANumber, "NUMBER"))
      ->required();
}

}  // namespace

void addNetCommands(CommandTable &table, CLI::App &root) {
  auto &net = table.noun(root, "net", "The service processor's network settings");
  addIp(table, net);
  addDnsCommands(table, net);
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
}

}  // namespace qel::cli
