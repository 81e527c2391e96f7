// Diagnostics as the user sees them: one line, whatever bytes the input held.
#include "core/fatal.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tcsum {
namespace {

TEST(Diagnostics, ControlBytesFromInputFilesAreEscaped) {
  // An escape sequence that would clear the screen, a line end, a CR, DEL.
  EXPECT_EQ(escapedControls("A\x1b[2JB\nC\rD\x7f"), "A\\x1B[2JB\\x0AC\\x0DD\\x7F");
  // Printable ASCII and the bytes of UTF-8 (a file name "größe") stay.
  EXPECT_EQ(escapedControls("gr\xc3\xb6\xc3\x9f"
                            "e, \"quoted\" \\x"),
            "gr\xc3\xb6\xc3\x9f"
            "e, \"quoted\" \\x");
  EXPECT_EQ(escapedControls(std::string("a\0b", 3)), "a\\x00b");
}

TEST(Diagnostics, FormattedDiagnosticStaysOneLine) {
  const Diagnostic d{"cannot open data file", kDataUnit, "no such file"};
  EXPECT_EQ(formatDiagnostic(d, "da\x1b]0;x\ata"),
            "cannot open data file, unit 5, file da\\x1B]0;x\\x07ta: no such file");
  EXPECT_EQ(formatDiagnostic({"read error", 0, "line 1\nline 2"}, ""),
            "read error: line 1\\x0Aline 2");
}

}  // namespace
}  // namespace tcsum
