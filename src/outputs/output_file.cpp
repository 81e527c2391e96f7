#include "outputs/output_file.hpp"

#include "core/destination.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tcsum {

namespace {
constexpr std::size_t kFlushBytes = 1 << 16;

}  // namespace

OutputFile::OutputFile(std::string path, std::string what, bool replace)
    : path_(std::move(path)), what_(std::move(what)), replace_(replace) {
  if (path_ == "-") {
    fd_ = STDOUT_FILENO;
    return;
  }
  const Destination destination = destinationOf(path_);
  if (destination.kind == Destination::Kind::stream) {
    // A device or pipe (/dev/null, a FIFO) takes the bytes directly; there
    // is nothing to replace and renaming over it would destroy it.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) fail("cannot create", errno);
    return;
  }
  if (!replace_ && destination.kind == Destination::Kind::file) fail("cannot overwrite existing file", 0);
  if (destination.error != 0) fail("cannot create", destination.error);
  target_ = destination.path;
  temporary_ = target_ + ".XXXXXX";
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
  if (error == 0) {  // a file in the way
    throw OutputError(std::string(message) + ", file " + path_ + " (" + what_ +
                      "; --force replaces it)");
  }
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

void OutputFile::commit(bool runEnded) {
  flush();
  if (fd_ == STDOUT_FILENO) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail("cannot write", errno);
  if (temporary_.empty()) return;  // written in place
  if (replace_ && runEnded) {
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) fail("cannot write", errno);
  } else {
    // A hard link never replaces a file, one that appeared in the meantime
    // included. After a stopped run a file in the way stays as it was.
    if (::link(temporary_.c_str(), target_.c_str()) != 0) {
      const int error = errno;
      ::unlink(temporary_.c_str());
      temporary_.clear();
      if (error == EEXIST && !runEnded) return;
      if (error == EEXIST) fail("cannot overwrite existing file", 0);
      fail("cannot write", error);
    }
    ::unlink(temporary_.c_str());
  }
  temporary_.clear();
}

}  // namespace tcsum
