#include "input/input_file.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace tcsum {
namespace {

// A large read takes what the buffer still holds, then the file straight, in order, to its end.
TEST(InputFile, LargeReadAfterABufferedByte) {
  const std::string path = ::testing::TempDir() + "tcsum-input-" + std::to_string(::getpid());
  std::string content;
  for (int32_t i = 0; i < 30000; ++i)
    content += std::to_string(i % 97) + '\n';
  std::ofstream(path, std::ios::binary) << content;
  {
    InputFile file(path);
    std::istream& in = file.stream();
    EXPECT_EQ(in.get(), content[0]);
    std::string rest(content.size() + 10, '\0');
    const auto n = in.rdbuf()->sgetn(rest.data(), static_cast<std::streamsize>(rest.size()));
    rest.resize(static_cast<std::size_t>(n));
    EXPECT_EQ(rest, content.substr(1));
  }
  ::unlink(path.c_str());
}

}  // namespace
}  // namespace tcsum
