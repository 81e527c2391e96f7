// The record kinds of the data file and where their fields land in the data store. The limits
// of the store (31 efficiency records, 34 level records, level numbers outside 1 ... 33) and the
// line ends of whole files are checked end to end by the bad-input table.
#include "input/reader.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "core/fatal.hpp"

namespace tcsum {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// One record (with its LF) of 10-column blocks, each text left-aligned in its block.
std::string tens(std::initializer_list<std::string> blocks) {
  std::string line;
  for (const std::string& b : blocks)
    line += (b + std::string(10, ' ')).substr(0, 10);
  return line + "\n";
}

auto stops(const char* message, const std::string& where = "") {
  return ::testing::ThrowsMessage<RunStop>(AllOf(StartsWith(message), HasSubstr(where)));
}

TEST(DataFile, RecordsAndLineEnds) {
  std::istringstream in("AB\nCD\r\n\nA\rB\n" + std::string(85, 'x') + "yz\r\n" +
                        std::string(81, 'w') + "\r\n" + std::string(82, 'v') + "\r\nEF\r");
  DataFile file(in);
  // CR before LF or ending the last line is dropped, any other byte is data; short records
  // are blank-padded, long ones cut after column 82.
  const std::pair<const char*, const char*> expected[] = {
      {"AB ", "   "}, {"CD ", "   "}, {"   ", "   "}, {"A\rB", "   "},
      {"xxx", "xxx"}, {"www", "ww "}, {"vvv", "vvv"}, {"EF ", "   "}};
  for (const auto& [first, last] : expected) {
    Record r = file.next("a record");
    EXPECT_EQ(r.columns(1, 3), first) << r.number;
    EXPECT_EQ(r.columns(80, 82), last) << r.number;
  }
  EXPECT_THAT([&] { file.next("a record"); },
              stops("end-of-file during read, unit 5, file TALVEN"));
}

TEST(DataFile, LinesAcrossReadBlocks) {
  // Read blocks are 4096 bytes: the CR of "AB\r\n" ends the first block and its LF starts the
  // second; the next line is longer than two blocks and keeps its first 82 columns.
  std::istringstream in(std::string(4092, 'x') + "\nAB\r\n" + std::string(9000, 'y') + "z\nC");
  DataFile file(in);
  EXPECT_EQ(file.next("a record").columns(1, 1), "x");
  EXPECT_EQ(file.next("a record").columns(1, 3), "AB ");
  Record longLine = file.next("a record");
  EXPECT_EQ(longLine.columns(81, 82), "yy");
  EXPECT_EQ(longLine.number, 3);
  EXPECT_EQ(file.next("a record").columns(1, 2), "C ");
}

struct Reader : ::testing::Test {
  Store s;
  // Reading TEXT into the store with READER, as a callable for the stop matchers.
  std::function<void()> reading(const std::string& text, void (*reader)(DataFile&, Store&)) {
    return [this, text, reader] {
      std::istringstream in(text);
      DataFile file(in);
      reader(file, s);
    };
  }
};

TEST_F(Reader, EfficiencyBlock) {
  // The 0 in column 41 of the first record is a detector digit; the second record ends the block.
  reading(tens({"59.5", "120", "80", "", "07", "HPGe 1"}) + tens({"1332.5", "25", "6.5", "", "0"}),
          readEfficiencyBlock)();
  EXPECT_EQ(s.NEFF, 1);
  EXPECT_EQ(s.KDET1 * 10 + s.KDET, 7);
  EXPECT_EQ(std::string(s.DETTXT.begin(), s.DETTXT.end()), "HPGe 1" + std::string(26, ' '));
  EXPECT_EQ(s.EFF(3, 1), 80.0f);
  EXPECT_EQ(s.EFF(1, 2), 1332.5f);
}

TEST_F(Reader, HeaderAndEndMarker) {
  reading(tens({"CO60", "EC", "7.5", "0.4", "9"}), readHeader)();
  EXPECT_EQ(std::string(s.DSNAME.begin(), s.DSNAME.end()), "CO60    ");
  EXPECT_TRUE(isElectronCapture(s));
  EXPECT_EQ(s.EX, 7.5f);
  EXPECT_EQ(s.OMEGAK, 0.4f);
  const std::pair<const char*, bool> names[] = {
      {"E\r\n", true}, {"EU152\n", false}, {"E      1", false}, {" E", false}, {"e", false}};
  for (const auto& [line, isEnd] : names) {
    reading(line, readHeader)();
    EXPECT_EQ(isEndMarker(s.DSNAME), isEnd) << line;
  }
  EXPECT_THAT(reading(tens({"E", "", "7.5", "0.4x"}), readHeader), stops("input conversion error"));
}

TEST_F(Reader, LevelList) {
  // The first record is a level whatever its energy; a later energy 0 ends the list.
  reading(tens({"0", "100", "0.9"}) + tens({"", "5", "0.8"}), readLevels)();
  EXPECT_EQ(s.NLEV, 1);
  EXPECT_EQ(s.FEED(1), 100.0f);
  EXPECT_EQ(s.PK(2), 0.8f);  // the ending record is stored in its slot
}

TEST_F(Reader, Transitions) {
  std::istringstream in(tens({" 3 1", "1332.5", "0.1"}) + tens({" 2 1", "1173.2", "99.85"}) +
                        tens({" 3 1", "1332.5", "99.98", "1.3-4", "1.2D-4"}) +
                        tens({"33 2", "826.1", "0.0076"}) + "NEXT");
  DataFile file(in);
  readTransitions(file, s);
  EXPECT_EQ(s.XTR(2, 1), 99.85f);
  EXPECT_EQ(s.XTR(3, 1), 99.98f);  // the later record for the pair replaced the earlier
  EXPECT_EQ(s.ALPHAK(3, 1), 1.2e-4f);
  EXPECT_EQ(s.XTR(33, 2), 0.0076f);  // upper level 33 ends the list and is stored
  EXPECT_EQ(file.next("a header").columns(1, 4), "NEXT");
}

}  // namespace
}  // namespace tcsum
