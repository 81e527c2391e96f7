#pragma once
// Where an output file goes. A device or pipe named as an output (/dev/null,
// /dev/stdout, a FIFO) takes the bytes as they come; anything else is a file,
// written beside its final place and put there in one step, so a symbolic
// link to a file is followed (the link stays, the file it names is
// replaced) and never renamed over.
#include <string>

namespace tcsum {

struct Destination {
  enum class Kind {
    none,    // nothing there yet
    file,    // a file (or a directory) in the way
    stream,  // a device, pipe or socket: written in place
  };
  Kind kind = Kind::none;
  std::string path;  // the file to write beside and replace: links resolved
  int error = 0;     // a link that names nothing: ENOENT
};

Destination destinationOf(const std::string& path);

}  // namespace tcsum
