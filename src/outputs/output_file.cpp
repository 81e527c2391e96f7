#include "outputs/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tcsum {

namespace {
constexpr std::size_t kFlushBytes = 1 << 16;

// What stands at PATH: nothing, a regular file (or a link), or another kind
// of file (a device, a pipe), which is written to as it is.
enum class Target { none, file, other };
Target targetAt(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return Target::none;
  if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return Target::other;
  return Target::file;
}
}  // namespace

OutputFile::OutputFile(std::string path, std::string what, bool replace)
    : path_(std::move(path)), what_(std::move(what)), replace_(replace) {
  if (path_ == "-") {
    fd_ = STDOUT_FILENO;
    return;
  }
  const Target target = targetAt(path_);
  if (target == Target::other) {
    // A device or pipe (/dev/null, a FIFO) takes the bytes directly; there
    // is nothing to replace and renaming over it would destroy it.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) fail("cannot create", errno);
    return;
  }
  if (!replace_ && target == Target::file) fail("cannot overwrite existing file", 0);
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

void OutputFile::commit() {
  flush();
  if (fd_ == STDOUT_FILENO) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail("cannot write", errno);
  if (temporary_.empty()) return;  // written in place
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
