#pragma once
// Conversion of the fixed-column fields of the data file.
//
// A record is one line of the file, padded with blanks to the widest column
// any record kind reads, so a field never reaches past the record's end.
// Numeric fields ignore blanks anywhere and read an all-blank field as 0.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/fatal.hpp"
#include "input/layout.hpp"

namespace tcsum {

// Columns of the data file that any record kind reads (the detector text of
// the first efficiency record ends in column 82).
inline constexpr int32_t kRecordWidth = [] {
  int32_t widest = 0;
  for (const layout::RecordKind& kind : layout::kRecordKinds)
    for (const layout::TypedField& f : kind.fields)
      widest = f.field.last > widest ? f.field.last : widest;
  return widest;
}();

struct Record {
  std::array<char, kRecordWidth> text{};  // columns 1 ... kRecordWidth, blank-padded
  int32_t number = 0;                     // line number in the data file, from 1

  // Columns first ... last (1-based, inclusive) as they stand.
  std::string_view columns(int32_t first, int32_t last) const {
    return {text.data() + (first - 1), static_cast<std::size_t>(last - first + 1)};
  }
};

// Fw.0: a real number. Blanks are ignored anywhere; what remains is an
// optional sign, digits with at most one decimal point (at least one digit),
// and an optional exponent (E, e, D or d with an optionally signed integer,
// or a sign and digits without a letter, as in 1.5+3). The value is the
// nearest float; a value beyond the float range is an error, one too small
// for it is a zero of the number's sign. Returns false when the text is not
// such a number.
bool convertReal(std::string_view text, float& value);

// Iw: an optional sign and decimal digits, blanks ignored, all-blank 0.
// Returns false for anything else, or for a value beyond 32 bits.
bool convertInteger(std::string_view text, int32_t& value);

// The same on a field of a record; a field that cannot be converted ends the
// run with "input conversion error", naming the record, the columns, the
// field and the text found.
float readReal(const Record& record, const Field& field);
int32_t readInteger(const Record& record, const Field& field);

// The same on several fields of a record, in order, into VALUES (one per
// field): cheaper than field by field.
void readReals(const Record& record, std::span<const Field> fields, float* values);
void readIntegers(const Record& record, std::span<const Field> fields, int32_t* values);

// Where a fault of a record lies, for the end of a diagnostic:
// "record 12, columns 21-30 (intensity): \"  1.5x3   \"". Bytes that are not
// printable ASCII are shown as escapes so the diagnostic stays one line.
std::string describeField(const Record& record, const Field& field);

}  // namespace tcsum
