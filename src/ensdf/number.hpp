#pragma once
// ENSDF number forms: a value field and its uncertainty field, read as they
// stand in their columns.
//
// A value is an optional sign, digits with at most one decimal point and an
// optional exponent (35.90E+5, 5.E-7), left- or right-justified in its field.
// The uncertainty field holds digits in units of the value's last digit, an
// asymmetric pair (+10-18), or a qualifier that turns the value into a limit
// or an estimate (LT LE GT GE AP CA SY).
#include <optional>
#include <string>
#include <string_view>

namespace tcsum::ensdf {

enum class Limit { None, LT, LE, GT, GE, AP, CA, SY };

// The qualifier as written ("LT" ...); empty for Limit::None.
const char* limitName(Limit limit);

// Blanks at both ends removed.
std::string_view trim(std::string_view text);

struct Number {
  double value = 0.0;
  double step = 0.0;  // one unit of the last digit written (of the mantissa, scaled)
};

// The number in TEXT (blanks around it ignored); nothing when TEXT is blank
// or anything else than one plain number.
std::optional<Number> parseNumber(std::string_view text);

// A value with its uncertainty, as read from a pair of fields.
struct Quantity {
  bool given = false;    // the value field is not blank
  bool numeric = false;  // ... and holds a number
  double value = 0.0;
  double uncertainty = 0.0;  // absolute (the larger side of an asymmetric pair)
  Limit limit = Limit::None;
  std::string text;  // the value field, trimmed
};

// Reads VALUE with the uncertainty field UNCERTAINTY (may be empty).
Quantity readQuantity(std::string_view value, std::string_view uncertainty);

// A duration "39.79 S", "6.283 NS", "2.55 M", "1.20E+3 Y" in seconds (units
// FS PS NS US MS S M H D Y, any case, also MIN; a blank between number and
// unit is optional), or a level width "0.8 EV" / KEV / MEV converted to the
// half-life it implies. "STABLE" is infinite. Nothing for anything else.
std::optional<double> parseDuration(std::string_view text);

}  // namespace tcsum::ensdf
