// SPDX-License-Identifier: Apache-2.0
// One run of a command: the global options, the connection to the management server, the
// output, and the one way an operation's failure is reported.
#pragma once

#include <exception>
#include <ostream>
#include <string>

#include "cli/output.hpp"

namespace qel::cli {

struct GlobalOptions {
  std::string host;           // empty: the library's default; qelConnect keeps a pointer to it
  unsigned long program = 0;  // 0: QELPROGID or the library's default
  bool json = false;
  bool quiet = false;
};

// An operation returned a non-zero result; `action` says what could not be done.
class Failure : public std::exception {
 public:
  Failure(std::string action, unsigned code) : action_(std::move(action)), code_(code) {}
  const char *what() const noexcept override { return action_.c_str(); }
  const std::string &action() const { return action_; }
  unsigned code() const { return code_; }

 private:
  std::string action_;
  unsigned code_;
};

// The one way an operation's result is judged: anything but 0 throws Failure(action, code).
void check(unsigned code, const std::string &action);

class Session {
 public:
  Session(const GlobalOptions &options, std::string command, std::ostream &out);

  const GlobalOptions &options() const { return options_; }
  std::ostream &out() const { return out_; }

  // Opens this thread's connection with the chosen host and program number.
  void connect() const;
  // Writes the command's output: aligned text, one JSON document, or nothing with --quiet.
  void show(const Record &record) const;
  // Reports a failure on `err` (and as a JSON document with --json); returns the exit status.
  int report(const Failure &failure, std::ostream &err) const;

 private:
  Json document(unsigned code) const;

  const GlobalOptions &options_;
  std::string command_;
  std::ostream &out_;
};

}  // namespace qel::cli
