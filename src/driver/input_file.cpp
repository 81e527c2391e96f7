#include "driver/input_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/fatal.hpp"

namespace tcsum {

namespace {
int openForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fatal({"cannot open data file", kDataUnit, std::strerror(errno)});
  return fd;
}
}  // namespace

InputFile::InputFile(const std::string& path)
    : fd_(openForReading(path)), buffer_(fd_), stream_(&buffer_) {}

InputFile::~InputFile() {
  ::close(fd_);
}

// A read that fails throws RunStop through the reader, which reads the
// buffer directly (an istream would swallow the exception into its state).
InputFile::Buffer::int_type InputFile::Buffer::underflow() {
  for (;;) {
    const ssize_t n = ::read(fd_, block_.data(), block_.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fatal({"read error", kDataUnit, std::strerror(errno)});
    if (n == 0) return traits_type::eof();
    setg(block_.data(), block_.data(), block_.data() + n);
    return traits_type::to_int_type(block_[0]);
  }
}

}  // namespace tcsum
