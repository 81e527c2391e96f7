#include "core/text_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tcsum {

namespace {

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

[[noreturn]] void refuse(const std::string& path, const std::string& reason) {
  throw InputFileError(path + ": " + reason);
}

}  // namespace

std::string readTextFile(const std::string& path, const TextLimits& limits) {
  Descriptor in{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (in.fd < 0) refuse(path, std::string("cannot open: ") + std::strerror(errno));
  struct stat info {};
  if (::fstat(in.fd, &info) != 0) refuse(path, std::string("cannot read: ") + std::strerror(errno));
  if (S_ISDIR(info.st_mode)) refuse(path, "is a directory, not a file");

  std::string text;
  char block[16384];
  for (;;) {
    const ssize_t got = ::read(in.fd, block, sizeof block);
    if (got < 0) {
      if (errno == EINTR) continue;
      refuse(path, std::string("cannot read: ") + std::strerror(errno));
    }
    if (got == 0) break;
    text.append(block, static_cast<std::size_t>(got));
    if (text.size() > limits.maxBytes)
      refuse(path, "longer than " + std::to_string(limits.maxBytes) + " bytes: not such a file");
  }

  std::size_t line = 1;
  std::size_t lineStart = 0;
  for (std::size_t k = 0; k <= text.size(); ++k) {
    if (k == text.size() || text[k] == '\n') {
      if (k - lineStart > limits.maxLineLength)
        throw InputFileError(path + ":" + std::to_string(line) + ": line longer than " +
                             std::to_string(limits.maxLineLength) + " characters");
      ++line;
      lineStart = k + 1;
    } else if (text[k] == '\0') {
      throw InputFileError(path + ":" + std::to_string(line) + ": NUL byte: not a text file");
    }
  }
  return text;
}

}  // namespace tcsum
