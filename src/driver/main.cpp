// tcsum: true-coincidence summing corrections of a nuclide's gamma and K
// x-ray lines. Without arguments it reads the data file "TALVEN" and writes
// the report "result.out" in the working directory; the command line chooses
// other files and further outputs (see --help).
#include "driver/program.hpp"

int main(int argc, char** argv) {
  return tcsum::main(argc, argv);
}
