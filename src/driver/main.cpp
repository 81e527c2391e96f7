// tcsum: true-coincidence summing corrections of a nuclide's gamma and K
// x-ray lines, from the data file "TALVEN" to the report "result.out" in the
// working directory. Takes no arguments.
#include "driver/run.hpp"

int main() {
  return tcsum::runProgram();
}
