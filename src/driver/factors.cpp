// `tcsum factors`: the complete model's command with the program's readers
// and model. Apart from program.cpp, whose run model names its own x-ray
// lines.
#include <iostream>

#include "complete/command.hpp"
namespace tcsum {
int runFactorsCommand(int argc, char** argv);  // declared in driver/program.hpp
}

namespace tcsum {

int runFactorsCommand(int argc, char** argv) {
  const auto parsed = complete::parseFactorsCommandLine(argc, argv, std::cout, std::cerr);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  // The readers of the decay data and the model are passed here as they
  // become part of the program; until then the command says what it lacks.
  const complete::FactorsServices services;
  return complete::runFactors(std::get<complete::FactorsOptions>(parsed), services, std::cout,
                              std::cerr);
}

}  // namespace tcsum
