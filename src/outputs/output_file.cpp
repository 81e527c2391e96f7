#include "outputs/output_file.hpp"

#include <cstring>

namespace tcsum {

namespace {
constexpr std::size_t kFlushBytes = 1 << 16;

}  // namespace

OutputFile::OutputFile(std::string path, std::string what, bool replace)
    : path_(std::move(path)), what_(std::move(what)) {
  try {
    file_.emplace(path_, replace ? SafeFile::Mode::besideReplace : SafeFile::Mode::besideKeep);
  } catch (const SafeFile::Fault& fault) {
    fail(fault);
  }
}

void OutputFile::fail(const SafeFile::Fault& fault) {
  if (fault.error == 0) {  // a file in the way
    throw OutputError("cannot overwrite existing file, file " + path_ + " (" + what_ +
                      "; --force replaces it)");
  }
  const char* message = fault.step == SafeFile::Fault::Step::create ? "cannot create" : "cannot write";
  throw OutputError(std::string(message) + " " + what_ + ", file " + path_ + ": " +
                    std::strerror(fault.error));
}

void OutputFile::write(std::string_view bytes) {
  buffer_ += bytes;
  if (buffer_.size() >= kFlushBytes) flush();
}

void OutputFile::flush() {
  try {
    file_->write(buffer_);
  } catch (const SafeFile::Fault& fault) {
    fail(fault);
  }
  buffer_.clear();
}

void OutputFile::commit(bool runEnded) {
  flush();
  try {
    file_->commit(runEnded);
  } catch (const SafeFile::Fault& fault) {
    fail(fault);
  }
}

}  // namespace tcsum
