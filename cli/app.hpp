// qelctl as a function: parses the command line, runs the chosen command, returns the exit
// status.
#pragma once

#include <ostream>

namespace qel::cli {

int run(int argc, const char *const *argv, std::ostream &out, std::ostream &err);

}  // namespace qel::cli
