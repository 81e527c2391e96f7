// The page around the charts: a table that cannot be drawn leaves no chart
// pointing at a missing curve, a data set the run stopped in is written at
// the end with the diagnostic, and a file name that is not UTF-8 cannot
// break the page.
#include "html/page.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tcsum::html {
namespace {

TEST(HtmlPage, UndrawableTableAndStoppedDataSet) {
  const std::string path = testing::TempDir() + "/page_test.html";
  std::filesystem::remove(path);
  {
    OutputFile file(path, "HTML output", true);
    HtmlPage page(file, RunInfo{"tcsum", "9.9", "data\xff<.txt", std::nullopt});
    DetectorResult d;
    d.table = {{10, 200, 150}};  // one point: the run samples no curve
    page.detector(d);
    DataSetResult ds;
    ds.number = 1;
    ds.DSNAME = {'A', 'A', '-', '1', ' ', ' ', ' ', ' '};
    ds.levels = {{1, 0.0f, 0.0f, 0.0f, 0.0f}, {2, 100.0f, 100.0f, 0.0f, 0.0f}};
    ds.reached = Stage::transitions;
    page.dataSet(ds);
    page.end("total conversion coefficient ALPHA = -1 divides by zero");
    file.commit();
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string html = buffer.str();

  EXPECT_NE(html.find("cannot be drawn"), std::string::npos);
  EXPECT_EQ(html.find("<use"), std::string::npos);
  EXPECT_NE(html.find("data\uFFFD&lt;.txt"), std::string::npos);
  EXPECT_EQ(html.find('\xff'), std::string::npos);
  const auto section = html.find("<h2>1. AA-1 — stopped</h2>");
  const auto diagnostic = html.find("divides by zero", section);
  ASSERT_NE(section, std::string::npos);
  EXPECT_NE(html.find("stopped the run in its transitions", section), std::string::npos);
  EXPECT_LT(diagnostic, html.find("The run stopped"));
  EXPECT_NE(html.find("class=\"scheme\""), std::string::npos);  // the levels it had
  EXPECT_TRUE(html.ends_with("</main></body></html>\n"));
}

}  // namespace
}  // namespace tcsum::html
