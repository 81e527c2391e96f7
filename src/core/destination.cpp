#include "core/destination.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace tcsum {

Destination destinationOf(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) return {Destination::Kind::none, path, 0};
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0) {
    // A symbolic link that names nothing: it is in the way, and there is no
    // file to put anything beside.
    return {Destination::Kind::file, path, ENOENT};
  }
  if (S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode) || S_ISSOCK(target.st_mode))
    return {Destination::Kind::stream, path, 0};
  if (!S_ISLNK(link.st_mode)) return {Destination::Kind::file, path, 0};
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                       &std::free);
  if (!resolved) return {Destination::Kind::file, path, errno};
  return {Destination::Kind::file, resolved.get(), 0};
}

}  // namespace tcsum
