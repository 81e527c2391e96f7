#include "outputs/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tcsum {

namespace {
constexpr std::size_t kFlushBytes = 1 << 16;

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}
}  // namespace

OutputFile::OutputFile(std::string path, std::string what, bool replace)
    : path_(std::move(path)), what_(std::move(what)), replace_(replace) {
  if (path_ == "-") {
    fd_ = STDOUT_FILENO;
    return;
  }
  if (!replace_ && exists(path_)) fail("cannot overwrite existing file", 0);
  temporary_ = path_ + ".XXXXXX";
  fd_ = ::mkstemp(temporary_.data());
  if (fd_ < 0) {
    const int error = errno;
    temporary_.clear();
    fail("cannot create", error);
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0 && fd_ != STDOUT_FILENO) ::close(fd_);
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void OutputFile::fail(const char* message, int error) {
  std::string line = std::string(message) + " " + what_ + ", file " + path_;
  if (error != 0) line += std::string(": ") + std::strerror(error);
  throw OutputError(line);
}

void OutputFile::write(std::string_view bytes) {
  buffer_ += bytes;
  if (buffer_.size() >= kFlushBytes) flush();
}

void OutputFile::flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write", errno);
    }
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

void OutputFile::commit() {
  flush();
  if (fd_ == STDOUT_FILENO) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail("cannot write", errno);
  if (replace_) {
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) fail("cannot write", errno);
  } else {
    // A hard link never replaces a file that appeared in the meantime.
    if (::link(temporary_.c_str(), path_.c_str()) != 0) {
      if (errno == EEXIST) fail("cannot overwrite existing file", 0);
      fail("cannot write", errno);
    }
    ::unlink(temporary_.c_str());
  }
  temporary_.clear();
}

}  // namespace tcsum
