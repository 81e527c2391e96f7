#pragma once
// Typed field writers for the records of the report, one per edit
// descriptor of the layout notation: nX, quoted text, Iw, Fw.d, 1P Ew.d, Aw
// and the record end "/". Fields are right-aligned; a value too wide for its
// field fills it with asterisks and the record goes on. Numbers are formed
// from the exact value of the float, correctly rounded with halfway cases to
// even and independent of the locale: by exact integer arithmetic where the
// scaled value fits a double exactly, else by std::to_chars, with the same
// digits either way.
#include <cstdint>
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

// Builds one record after another at the end of OUT. Blanks of X() are held
// back until a later field of the same record is written, so a record never
// ends in blanks of its own (an A field's own blanks are written as they
// stand). end() closes the record with CR LF.
class RecordWriter {
 public:
  explicit RecordWriter(std::string& out) : out_(out) {}

  RecordWriter& X(int32_t n) {
    pending_ += n;
    return *this;
  }
  RecordWriter& text(std::string_view t) {
    flushBlanks();
    out_ += t;
    return *this;
  }
  RecordWriter& A(std::string_view chars) { return text(chars); }
  RecordWriter& I(int32_t w, int32_t value) {
    flushBlanks();
    appendI(out_, w, value);
    return *this;
  }
  RecordWriter& F(int32_t w, int32_t d, float value) {
    flushBlanks();
    appendF(out_, w, d, value);
    return *this;
  }
  RecordWriter& E(int32_t w, int32_t d, float value) {
    flushBlanks();
    appendE(out_, w, d, value);
    return *this;
  }
  // "/": ends the record under way.
  RecordWriter& end() {
    pending_ = 0;
    out_ += "\r\n";
    return *this;
  }

 private:
  void flushBlanks() {
    out_.append(static_cast<std::size_t>(pending_), ' ');
    pending_ = 0;
  }
  std::string& out_;
  int32_t pending_ = 0;
};

}  // namespace tcsum
