#pragma once
// Typed field writers for the records of the report, one per edit
// descriptor of the layout notation: nX, quoted text, Iw, Fw.d, 1P Ew.d, Aw
// and the record end "/". Fields are right-aligned; a value too wide for its
// field fills it with asterisks and the record goes on. Numbers are formed
// from the exact value of the float, correctly rounded with halfway cases to
// even and independent of the locale: by exact integer arithmetic where the
// scaled value fits a double exactly, else by std::to_chars, with the same
// digits either way.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tcsum {

// Iw: optional minus sign and digits.
void appendI(std::string& out, int32_t w, int32_t value);
// Fw.d: optional minus sign, integer digits (0 below 1 in magnitude), point,
// d decimals. A negative value that rounds to zero keeps its sign.
void appendF(std::string& out, int32_t w, int32_t d, float value);
// 1P Ew.d: optional minus sign, one non-zero digit (0 for zero), point, d
// decimals, E, exponent sign and two exponent digits.
void appendE(std::string& out, int32_t w, int32_t d, float value);

// The same, written in place into the W characters at FIELD (blanks, then
// the number). The writers may put blanks into the kFieldSlack characters
// from FIELD even where W is smaller, so that much room must be there.
inline constexpr std::size_t kFieldSlack = 32;
void writeI(char* field, int32_t w, int32_t value);
void writeF(char* field, int32_t w, int32_t d, float value);
void writeE(char* field, int32_t w, int32_t d, float value);

// Builds one record after another at the end of OUT. Blanks of X() are held
// back until a later field of the same record is written, so a record never
// ends in blanks of its own (an A field's own blanks are written as they
// stand). end() closes the record with CR LF.
//
// A record is assembled in place in a line buffer, field by field, and goes
// to OUT whole at its end; a record longer than the line buffer goes out in
// pieces. A record left unfinished goes to OUT when the writer ends.
class RecordWriter {
 public:
  explicit RecordWriter(std::string& out) : out_(out) {}
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;
  ~RecordWriter() {
    if (used_ > 0) out_.append(line_.data(), used_);
  }

  RecordWriter& X(int32_t n) {
    pending_ += static_cast<std::size_t>(n);
    return *this;
  }
  RecordWriter& text(std::string_view t) {
    if (char* at = field(t.size())) {
      std::memcpy(at, t.data(), t.size());
    } else {
      out_ += t;
    }
    return *this;
  }
  RecordWriter& A(std::string_view chars) { return text(chars); }
  RecordWriter& I(int32_t w, int32_t value) {
    if (char* at = field(static_cast<std::size_t>(w))) {
      writeI(at, w, value);
    } else {
      appendI(out_, w, value);
    }
    return *this;
  }
  RecordWriter& F(int32_t w, int32_t d, float value) {
    if (char* at = field(static_cast<std::size_t>(w))) {
      writeF(at, w, d, value);
    } else {
      appendF(out_, w, d, value);
    }
    return *this;
  }
  RecordWriter& E(int32_t w, int32_t d, float value) {
    if (char* at = field(static_cast<std::size_t>(w))) {
      writeE(at, w, d, value);
    } else {
      appendE(out_, w, d, value);
    }
    return *this;
  }
  // "/": ends the record under way.
  RecordWriter& end() {
    pending_ = 0;
    if (used_ + 2 > line_.size()) spill();
    line_[used_] = '\r';
    line_[used_ + 1] = '\n';
    out_.append(line_.data(), used_ + 2);
    used_ = 0;
    return *this;
  }

 private:
  // Room for the held-back blanks and a field of N characters: the place of
  // the field in the line buffer, or nullptr when it does not fit even an
  // empty one (the blanks have then been written to OUT).
  char* field(std::size_t n) {
    if (used_ + pending_ + kFieldSlack + std::max(n, kFieldSlack) > line_.size()) [[unlikely]] {
      spill();
      if (pending_ + kFieldSlack + std::max(n, kFieldSlack) > line_.size()) {
        out_.append(pending_, ' ');
        pending_ = 0;
        if (kFieldSlack + n > line_.size()) return nullptr;
      }
    }
    // The held-back blanks, a whole slack at a time.
    char* at = line_.data() + used_;
    for (std::size_t k = 0; k < pending_; k += kFieldSlack)
      std::memcpy(at + k, kBlanks, kFieldSlack);
    at += pending_;
    used_ += pending_ + n;
    pending_ = 0;
    return at;
  }
  void spill() {
    out_.append(line_.data(), used_);
    used_ = 0;
  }

  static constexpr char kBlanks[kFieldSlack + 1] = "                                ";
  std::string& out_;
  std::size_t used_ = 0;     // characters of the record in line_
  std::size_t pending_ = 0;  // blanks held back
  std::array<char, 256> line_;
};

}  // namespace tcsum
