#pragma once
// An output file that appears whole or not at all: its bytes go to a
// temporary file beside the target, which takes the target's name when the
// output is committed. An existing file is replaced only when asked; the
// path "-" is standard output, written as it comes.
#include <optional>
#include <string>
#include <string_view>

#include "core/safe_file.hpp"

namespace tcsum {

class OutputFile {
 public:
  // WHAT names the output in diagnostics ("JSON output"). Creates the
  // temporary file; an existing target without REPLACE is refused here,
  // before any computing. Failures throw OutputError.
  OutputFile(std::string path, std::string what, bool replace);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // An output not committed leaves nothing behind.

  void write(std::string_view bytes);
  // Writes what is buffered and puts the file in place. After a run that
  // stopped (RUN_ENDED false) the file goes only where nothing is in the
  // way: an existing file is never replaced by the output of a failed run.
  void commit(bool runEnded = true);

  const std::string& path() const { return path_; }

 private:
  void flush();
  [[noreturn]] void fail(const SafeFile::Fault& fault);
  std::string path_;
  std::string what_;
  std::optional<SafeFile> file_;
  std::string buffer_;
};

// "cannot write JSON output, file out.json: No space left on device"
class OutputError : public std::exception {
 public:
  explicit OutputError(std::string line) : line_(std::move(line)) {}
  const char* what() const noexcept override { return line_.c_str(); }

 private:
  std::string line_;
};

}  // namespace tcsum
