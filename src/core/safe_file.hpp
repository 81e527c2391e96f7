#pragma once
// A file that the program writes without damaging what is there: standard
// output ("-") and a device, pipe or socket take the bytes as they come;
// anything else is created in place where nothing is in the way, or written
// beside its final place and put there in one step when the run ends. A
// symbolic link is followed (the file it names is replaced, the link stays),
// and an existing file is never replaced by the output of a run that stopped.
// The callers buffer as they see fit and turn a Fault into their own
// diagnostic.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tcsum {

class SafeFile {
 public:
  enum class Mode {
    inPlace,       // created where it belongs; a file, directory or link there is refused untouched
    besideKeep,    // written beside; a file there is refused now, and at commit if one appeared
    besideReplace  // written beside; takes the place of a file there when the run ended normally
  };

  // What failed: creating the file, writing (or closing) it, or putting it in
  // its place; ERROR is the system's reason, 0 for a file in the way.
  struct Fault {
    enum class Step { create, write, place };
    Step step;
    int error;
    std::size_t written = 0;  // a failed write: the bytes of it that are in the file
  };

  // Opens PATH as MODE says ("-" and devices are written in place whatever
  // the mode). Throws Fault.
  SafeFile(const std::string& path, Mode mode);
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;
  ~SafeFile();  // a file not committed is closed, and one written beside is removed

  // Writes all of BYTES. Throws Fault (with the bytes written before it).
  void write(std::string_view bytes);

  // Closes the file and, when it was written beside, puts it in its place:
  // with besideReplace after a normal end (RUN_ENDED) over what is there;
  // otherwise only where nothing is in the way, and after a stopped run a
  // file in the way is kept without a fault. Throws Fault.
  void commit(bool runEnded);

  // After a failed write: cuts the file back to SIZE bytes, closes it and
  // puts a file written beside where nothing is in the way, all without a
  // fault, since the write's is the one to report.
  void abandon(std::uint64_t size);

  bool isOpen() const { return fd_ >= 0; }
  bool isStandardOutput() const;

 private:
  void close();
  Mode mode_;
  std::string target_;     // the file put in place: links resolved
  std::string temporary_;  // the file written beside it, until it is committed
  int fd_ = -1;
};

}  // namespace tcsum
