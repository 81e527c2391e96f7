// The bounded reading of whole input files: what is no text file of ours is
// refused with one line, and nothing beyond the bounds is read.
#include "core/text_file.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tcsum {
namespace {

namespace fs = std::filesystem;

class TextFile : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tcsum_text_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return (dir_ / name).string();
  }
  // The one-line refusal of PATH, or "read" when it was read.
  static std::string refusal(const std::string& path, const TextLimits& limits = {}) {
    try {
      readTextFile(path, limits);
      return "read";
    } catch (const InputFileError& e) {
      return e.what();
    }
  }
  fs::path dir_;
};

TEST_F(TextFile, ReadsWithinTheBoundsExactly) {
  const std::string text = "a,b\r\n" + std::string(kLongestInputLine, 'x') + "\nlast";
  EXPECT_EQ(readTextFile(write("ok.csv", text)), text);
  EXPECT_EQ(readTextFile(write("empty", "")), "");
  // The bounds themselves are allowed.
  EXPECT_EQ(refusal(write("ten", "0123456789"), {10, 10}), "read");
}

TEST_F(TextFile, RefusesWhatIsNoTextFileInOneLine) {
  EXPECT_EQ(refusal(dir_.string()), dir_.string() + ": is a directory, not a file");
  EXPECT_EQ(refusal((dir_ / "missing").string()),
            (dir_ / "missing").string() + ": cannot open: No such file or directory");
  const std::string longLine = write("long", "short\n" + std::string(kLongestInputLine + 1, 'x'));
  EXPECT_EQ(refusal(longLine), longLine + ":2: line longer than 4096 characters");
  const std::string nul = write("nul", std::string("ab\ncd\0ef", 8));
  EXPECT_EQ(refusal(nul), nul + ":2: NUL byte: not a text file");
  const std::string big = write("big", std::string(64, 'x') + "\n" + std::string(64, 'y'));
  EXPECT_EQ(refusal(big, {100, 80}), big + ": longer than 100 bytes: not such a file");
}

// Devices that never end are refused at the size bound, not read on.
TEST_F(TextFile, EndlessDevicesStopAtTheSizeBound) {
  if (!fs::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero";
  EXPECT_EQ(refusal("/dev/zero", kEnsdfFileLimits),
            "/dev/zero: longer than 67108864 bytes: not such a file");
}

}  // namespace
}  // namespace tcsum
