#pragma once
// The record layout of the data file, in one place: for each record kind the
// fields it holds, with their columns, type, name and unit. The reader reads
// by it, the converter writes by it and the check mode lists by it.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tcsum {

// A field of a record kind: its columns (1-based, inclusive) and what it
// holds, for diagnostics.
struct Field {
  int32_t first;
  int32_t last;
  const char* name;

  constexpr int32_t width() const { return last - first + 1; }
};

namespace layout {

// What a field holds: a real (Fw.0), an integer (Iw) or text (Aw).
enum class Type { real, integer, text };

struct TypedField {
  const Field& field;
  Type type;
  const char* unit;  // "" for a number without one
};

// A record kind: what the reader asks for when it reads one (the listing of
// the check mode shows it) and its fields in column order.
struct RecordKind {
  const char* expecting;
  std::span<const TypedField> fields;
};

// Efficiency block, first record: 3F10.0, 10X, 2I1, 8X, 8A4; later records
// hold the same three reals and the continuation digit in column 41.
inline constexpr Field kEffEnergy{1, 10, "energy"};
inline constexpr Field kEffTotal{11, 20, "total efficiency"};
inline constexpr Field kEffPeak{21, 30, "full-energy-peak efficiency"};
inline constexpr Field kDetectorDigit1{41, 41, "first digit of the detector number"};
inline constexpr Field kDetectorDigit2{42, 42, "second digit of the detector number"};
inline constexpr Field kDetectorText{51, 82, "detector text"};
inline constexpr Field kContinuation{41, 41, "continuation digit"};
// Data-set header: 2(A8, 2X), 3F10.0 (the third real is not read).
inline constexpr Field kName{1, 8, "data-set name"};
inline constexpr Field kDecayMode{11, 18, "decay mode"};
inline constexpr Field kXrayEnergy{21, 30, "K x-ray energy E(X)"};
inline constexpr Field kOmegaK{31, 40, "K fluorescence yield OMEGAK"};
// Level record: 8F10.0, of which the first three are read.
inline constexpr Field kLevelEnergy{1, 10, "level energy"};
inline constexpr Field kFeeding{11, 20, "direct feeding"};
inline constexpr Field kCaptureFraction{21, 30, "K-capture fraction"};
// Transition record: 2I2, 6X, 4F10.0.
inline constexpr Field kUpperLevel{1, 2, "upper level number"};
inline constexpr Field kLowerLevel{3, 4, "lower level number"};
inline constexpr Field kGammaEnergy{11, 20, "transition energy"};
inline constexpr Field kIntensity{21, 30, "gamma-ray emission intensity"};
inline constexpr Field kAlpha{31, 40, "total conversion coefficient ALPHA"};
inline constexpr Field kAlphaK{41, 50, "K conversion coefficient ALPHAK"};

inline constexpr TypedField kEfficiencyFirstFields[] = {
    {kEffEnergy, Type::real, "keV"},       {kEffTotal, Type::real, "per mille"},
    {kEffPeak, Type::real, "per mille"},   {kDetectorDigit1, Type::integer, ""},
    {kDetectorDigit2, Type::integer, ""},  {kDetectorText, Type::text, ""}};
inline constexpr TypedField kEfficiencyFields[] = {{kEffEnergy, Type::real, "keV"},
                                                   {kEffTotal, Type::real, "per mille"},
                                                   {kEffPeak, Type::real, "per mille"},
                                                   {kContinuation, Type::integer, ""}};
inline constexpr TypedField kHeaderFields[] = {{kName, Type::text, ""},
                                               {kDecayMode, Type::text, ""},
                                               {kXrayEnergy, Type::real, "keV"},
                                               {kOmegaK, Type::real, ""}};
inline constexpr TypedField kLevelFields[] = {{kLevelEnergy, Type::real, "keV"},
                                              {kFeeding, Type::real, "%"},
                                              {kCaptureFraction, Type::real, ""}};
inline constexpr TypedField kTransitionFields[] = {
    {kUpperLevel, Type::integer, ""}, {kLowerLevel, Type::integer, ""},
    {kGammaEnergy, Type::real, "keV"}, {kIntensity, Type::real, "%"},
    {kAlpha, Type::real, ""},          {kAlphaK, Type::real, ""}};

inline constexpr RecordKind kEfficiencyFirst{"the first record of the efficiency block",
                                             kEfficiencyFirstFields};
inline constexpr RecordKind kEfficiency{"an efficiency record", kEfficiencyFields};
inline constexpr RecordKind kHeader{"a data-set header", kHeaderFields};
inline constexpr RecordKind kLevel{"a level record", kLevelFields};
inline constexpr RecordKind kTransition{"a transition record", kTransitionFields};

inline constexpr RecordKind kRecordKinds[] = {kEfficiencyFirst, kEfficiency, kHeader, kLevel,
                                              kTransition};

// The fields of a record kind that the reader converts together, in order.
inline constexpr Field kEffReals[] = {kEffEnergy, kEffTotal, kEffPeak};
inline constexpr Field kLevelReals[] = {kLevelEnergy, kFeeding, kCaptureFraction};
inline constexpr Field kLevelNumbers[] = {kUpperLevel, kLowerLevel};
inline constexpr Field kTransitionReals[] = {kGammaEnergy, kIntensity, kAlpha, kAlphaK};

// Writes TEXT into FIELD of RECORD (a record's text, extended with blanks to
// reach the field): a number right-aligned, text left-aligned; what does not
// fit the field is cut off (a number written for the file always fits).
inline void place(std::string& record, const Field& field, Type type, std::string_view text) {
  const auto width = static_cast<std::size_t>(field.width());
  if (record.size() < static_cast<std::size_t>(field.last))
    record.resize(static_cast<std::size_t>(field.last), ' ');
  text = text.substr(0, width);
  std::string columns(width, ' ');
  columns.replace(type == Type::text ? 0 : width - text.size(), text.size(), text);
  record.replace(static_cast<std::size_t>(field.first - 1), width, columns);
}

}  // namespace layout
}  // namespace tcsum
