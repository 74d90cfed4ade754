// SPDX-License-Identifier: Apache-2.0
#include <iostream>

#include "cli/app.hpp"

int main(int argc, char **argv) { return qel::cli::run(argc, argv, std::cout, std::cerr); }
