// SPDX-License-Identifier: Apache-2.0
// net dns: the DNS servers and text, through the numeric, single-server and text forms.
#include "cli/commands.hpp"
#include "cli/net_arguments.hpp"

namespace qel::cli {
namespace {

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

// The text form's list, walked as the library walks it: each entry is read as an address from
// where it starts, and runs to the next blank or comma; blanks and commas between entries may
// repeat. An entry that is no address, or a fourth one, would be refused before anything is
// sent, so it is refused here as a usage error.
void checkServerList(const std::string &list) {
  std::size_t at = 0;
  for (int taken = 0; at < list.size(); ++taken) {
    const std::size_t end = list.find_first_of(" ,", at);
    const std::string entry = list.substr(at, end - at);
    if (taken == 3) throw CLI::ValidationError("SERVERS", "at most three servers");
    if (!tools::dottedQuad(list.substr(at))) {
      throw CLI::ValidationError("SERVERS", "'" + entry + "'" + kNotADottedQuad);
    }
    at = end == std::string::npos ? list.size() : list.find_first_not_of(" ,", end);
  }
}

// How many SERVERS arguments each form takes and what they hold, checked with the whole line
// read.
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
  if (form == DnsForm::kText) {
    checkServerList(dns.servers[0]);
  } else {
    AddressSlots::read(namedServers(dns), dns.numeric);
  }
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

}  // namespace

void addDnsCommands(CommandTable &table, CLI::App &net) {
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

}  // namespace qel::cli
