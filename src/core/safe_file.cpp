#include "core/safe_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "core/destination.hpp"

namespace tcsum {

namespace {

using Step = SafeFile::Fault::Step;

// The process's file-creation mask, for a temporary file that mkstemp
// creates with mode 0600 and that becomes the output.
mode_t currentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

SafeFile::SafeFile(const std::string& path, Mode mode) : mode_(mode) {
  if (path == "-") {
    fd_ = STDOUT_FILENO;
    return;
  }
  const Destination destination = destinationOf(path);
  if (destination.kind == Destination::Kind::stream) {
    // A device or pipe (/dev/null, a FIFO) takes the bytes directly; there
    // is nothing to replace and renaming over it would destroy it.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) throw Fault{Step::create, errno};
    return;
  }
  if (mode_ == Mode::inPlace) {
    // Create-exclusive: an existing file, directory or link (even a dangling
    // one) makes the open fail without touching it.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0) throw Fault{Step::create, errno == EEXIST ? 0 : errno};
    return;
  }
  if (mode_ == Mode::besideKeep && destination.kind == Destination::Kind::file)
    throw Fault{Step::create, 0};
  if (destination.error != 0) throw Fault{Step::create, destination.error};
  // A temporary file in the same folder as the file it becomes (a link is
  // followed, never replaced), so the final rename stays on one file system
  // and is atomic.
  target_ = destination.path;
  std::string temporary = target_ + ".XXXXXX";
  fd_ = ::mkstemp(temporary.data());
  if (fd_ < 0) throw Fault{Step::create, errno};
  temporary_ = std::move(temporary);
  ::fchmod(fd_, 0666 & ~currentUmask());
}

SafeFile::~SafeFile() {
  if (fd_ >= 0 && fd_ != STDOUT_FILENO) ::close(fd_);
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool SafeFile::isStandardOutput() const {
  return fd_ == STDOUT_FILENO;
}

void SafeFile::write(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Fault{Step::write, errno, done};
    }
    done += static_cast<std::size_t>(n);
  }
}

void SafeFile::close() {
  const int fd = std::exchange(fd_, -1);
  if (fd == STDOUT_FILENO || fd < 0) return;
  if (::close(fd) != 0) {
    const int error = errno;
    if (!temporary_.empty()) ::unlink(std::exchange(temporary_, {}).c_str());
    throw Fault{Step::write, error};
  }
}

void SafeFile::commit(bool runEnded) {
  close();
  if (temporary_.empty()) return;  // written in place
  const std::string temporary = std::exchange(temporary_, {});
  if (mode_ == Mode::besideReplace && runEnded) {
    if (::rename(temporary.c_str(), target_.c_str()) != 0) {
      const int error = errno;
      ::unlink(temporary.c_str());
      throw Fault{Step::place, error};
    }
    return;
  }
  // A hard link never replaces a file, one that appeared in the meantime
  // included. After a stopped run a file in the way stays as it was.
  const int error = ::link(temporary.c_str(), target_.c_str()) != 0 ? errno : 0;
  ::unlink(temporary.c_str());
  if (error == EEXIST && !runEnded) return;
  if (error == EEXIST) throw Fault{Step::place, 0};
  if (error != 0) throw Fault{Step::place, error};
}

void SafeFile::abandon(std::uint64_t size) {
  if (fd_ < 0) return;
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    // The write fault is the one to report; a failed cut changes nothing in it.
  }
  const int fd = std::exchange(fd_, -1);
  if (fd != STDOUT_FILENO) ::close(fd);
  if (temporary_.empty()) return;
  const std::string temporary = std::exchange(temporary_, {});
  if (::link(temporary.c_str(), target_.c_str()) != 0) {
    // Nothing to report: a file in the way is intact, which is the point.
  }
  ::unlink(temporary.c_str());
}

}  // namespace tcsum
