// SPDX-License-Identifier: Apache-2.0
#include "cli/session.hpp"

#include <qel.h>

#include "tools/result_names.hpp"

namespace qel::cli {

void check(unsigned code, const std::string &action) {
  if (code != RESULT_OK) throw Failure(action, code);
}

Session::Session(const GlobalOptions &options, std::string command, std::ostream &out)
    : options_(options), command_(std::move(command)), out_(out) {}

void Session::connect() const {
  const char *host = options_.host.empty() ? nullptr : options_.host.c_str();
  check(qelConnect(host, options_.program), "cannot reach the management server");
}

Json Session::document(unsigned code) const {
  return Json{{"command", command_}, {"result", code}};
}

void Session::show(const Record &record) const {
  if (options_.json) {
    Json doc = document(RESULT_OK);
    record.addTo(doc);
    out_ << doc.dump(2) << '\n';
  } else if (!options_.quiet) {
    record.writeHuman(out_);
  }
  out_.flush();
}

int Session::report(const Failure &failure, std::ostream &err) const {
  const auto message = failure.action() + ": " + tools::describeResult(failure.code());
  err << "qelctl: " << message << '\n';
  if (options_.json) {
    Json doc = document(failure.code());
    const tools::ResultName *name = tools::findResultName(failure.code());
    doc["symbol"] = name ? Json(std::string(name->symbol)) : Json();
    doc["error"] = message;
    out_ << doc.dump(2) << '\n';
  }
  return tools::exitStatusFor(failure.code());
}

}  // namespace qel::cli
