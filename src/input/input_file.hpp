#pragma once
// The data file of a run, opened for reading as it is: a missing file is a
// diagnostic, never created, and a failed read stops the run as a read error
// with the system's reason instead of passing for the end of the file.
#include <istream>
#include <streambuf>
#include <string>
#include <vector>

namespace tcsum {

class InputFile {
 public:
  // Opens PATH; the run stops with "cannot open data file" and the system's
  // reason when that fails.
  explicit InputFile(const std::string& path);
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  std::istream& stream() { return stream_; }

 private:
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(int fd) : fd_(fd) {}

   protected:
    int_type underflow() override;
    // Reads of many bytes go straight from the file to the caller.
    std::streamsize xsgetn(char* to, std::streamsize n) override;

   private:
    int fd_;
    std::vector<char> block_ = std::vector<char>(1 << 16);
  };

  int fd_;
  Buffer buffer_;
  std::istream stream_;
};

}  // namespace tcsum
