#include "input/input_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
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

namespace {
// Up to N bytes of the file into TO, fewer only at its end.
std::size_t readSome(int fd, char* to, std::size_t n) {
  for (;;) {
    const ssize_t got = ::read(fd, to, n);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fatal({"read error", kDataUnit, std::strerror(errno)});
    return static_cast<std::size_t>(got);
  }
}
}  // namespace

// A read that fails throws RunStop through the reader, which reads the
// buffer directly (an istream would swallow the exception into its state).
InputFile::Buffer::int_type InputFile::Buffer::underflow() {
  const std::size_t n = readSome(fd_, block_.data(), block_.size());
  if (n == 0) return traits_type::eof();
  setg(block_.data(), block_.data(), block_.data() + n);
  return traits_type::to_int_type(block_[0]);
}

std::streamsize InputFile::Buffer::xsgetn(char* to, std::streamsize n) {
  // What the block still holds, then the file without the block between.
  const std::streamsize held = std::min<std::streamsize>(n, egptr() - gptr());
  std::copy_n(gptr(), held, to);
  gbump(static_cast<int>(held));
  std::streamsize done = held;
  while (done < n) {
    const std::size_t got = readSome(fd_, to + done, static_cast<std::size_t>(n - done));
    if (got == 0) break;
    done += static_cast<std::streamsize>(got);
  }
  return done;
}

}  // namespace tcsum
