#pragma once
// ENSDF records: 80-column lines read by their columns only, and the
// KEY=value items of continuation records.
#include <string>
#include <string_view>
#include <vector>

#include "ensdf/number.hpp"

namespace tcsum::ensdf {

inline constexpr int kColumns = 80;

// One line of an ENSDF file, blank-padded to 80 columns (longer lines keep
// their text; only columns 1-80 are read).
class Record {
 public:
  Record(std::string_view line, int number);

  // Columns first ... last (1-based, inclusive).
  std::string_view columns(int first, int last) const {
    return std::string_view(text_).substr(static_cast<std::size_t>(first - 1),
                                          static_cast<std::size_t>(last - first + 1));
  }
  char column(int c) const { return text_[static_cast<std::size_t>(c - 1)]; }
  int line() const { return line_; }

  bool blank() const;
  // Column 6 blank or '1'.
  bool primary() const { return column(6) == ' ' || column(6) == '1'; }
  // Comment, documentation or table record (column 7).
  bool comment() const;
  // The record type (column 8).
  char type() const { return column(8); }
  // Identification record: columns 6-9 blank, a NUCID and a DSID.
  bool identification() const;
  // A value with its uncertainty field.
  Quantity quantity(int first, int last, int uncFirst, int uncLast) const {
    return readQuantity(columns(first, last), columns(uncFirst, uncLast));
  }

 private:
  std::string text_;
  int line_;
};

// The lines of a file's text: LF or CR LF, a last line with or without LF.
std::vector<Record> splitRecords(std::string_view content);

// One item of a continuation record: KEY=value unc, or KEY LT value ...
struct Item {
  std::string key;
  Quantity value;
};

// Columns 10-80 of a continuation record as items separated by '$'. Each
// item splits at its first '=' or at a blank-delimited qualifier (" LT ",
// " AP " ...), whichever comes first; the key is the text before it, exactly
// (EKC is not KC). Items without either are not KEY=value items and are left
// out.
std::vector<Item> continuationItems(std::string_view text);

}  // namespace tcsum::ensdf
