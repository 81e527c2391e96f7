#include "ensdf/number.hpp"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace tcsum::ensdf {

namespace {

struct LimitWord {
  const char* word;
  Limit limit;
};
constexpr std::array<LimitWord, 7> kLimits{{{"LT", Limit::LT},
                                            {"LE", Limit::LE},
                                            {"GT", Limit::GT},
                                            {"GE", Limit::GE},
                                            {"AP", Limit::AP},
                                            {"CA", Limit::CA},
                                            {"SY", Limit::SY}}};

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Digits only, as an integer value; nothing for an empty or non-digit text.
std::optional<double> digitsValue(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  double v = 0.0;
  for (char c : text) {
    if (!isDigit(c)) return std::nullopt;
    v = v * 10.0 + (c - '0');
  }
  return v;
}

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

const char* limitName(Limit limit) {
  for (const LimitWord& w : kLimits)
    if (w.limit == limit) return w.word;
  return "";
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  return text;
}

std::optional<Number> parseNumber(std::string_view text) {
  text = trim(text);
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t mantissaStart = i;
  int digits = 0;
  int decimals = 0;
  bool point = false;
  for (; i < n; ++i) {
    if (isDigit(text[i])) {
      ++digits;
      if (point) ++decimals;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0 || i - mantissaStart > 40) return std::nullopt;
  int exponent = 0;
  if (i < n) {
    if (text[i] != 'E' && text[i] != 'e') return std::nullopt;
    ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const auto e = digitsValue(text.substr(i));
    if (!e || *e > 400) return std::nullopt;
    exponent = static_cast<int>(negative ? -*e : *e);
  }
  // from_chars takes no leading '+'.
  std::string_view body = text;
  if (!body.empty() && body.front() == '+') body.remove_prefix(1);
  Number number;
  const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), number.value);
  if (error != std::errc() || end != body.data() + body.size() || !std::isfinite(number.value))
    return std::nullopt;
  number.step = std::pow(10.0, exponent - decimals);
  return number;
}

Quantity readQuantity(std::string_view value, std::string_view uncertainty) {
  Quantity q;
  q.text = std::string(trim(value));
  q.given = !q.text.empty();
  const auto number = parseNumber(q.text);
  if (number) {
    q.numeric = true;
    q.value = number->value;
  }
  const std::string_view u = trim(uncertainty);
  for (const LimitWord& w : kLimits)
    if (u == w.word) q.limit = w.limit;
  if (number && q.limit == Limit::None && !u.empty()) {
    // "12", or an asymmetric "+10-18": the larger side counts.
    double largest = 0.0;
    std::size_t i = 0;
    while (i < u.size()) {
      if (u[i] == '+' || u[i] == '-') ++i;
      std::size_t j = i;
      while (j < u.size() && isDigit(u[j]))
        ++j;
      const auto d = digitsValue(u.substr(i, j - i));
      if (!d) break;
      largest = std::max(largest, *d);
      i = j;
    }
    q.uncertainty = largest * number->step;
  }
  return q;
}

std::optional<double> parseDuration(std::string_view text) {
  text = trim(text);
  const std::string all = upper(text);
  if (all == "STABLE") return std::numeric_limits<double>::infinity();
  std::size_t split = 0;
  while (split < text.size() && (isDigit(text[split]) || text[split] == '.' || text[split] == '+' ||
                                 text[split] == '-' || text[split] == 'E' || text[split] == 'e')) {
    // An exponent letter only when a digit or sign follows it, so "5 EV" keeps its unit.
    if ((text[split] == 'E' || text[split] == 'e') &&
        (split + 1 >= text.size() ||
         !(isDigit(text[split + 1]) || text[split + 1] == '+' || text[split + 1] == '-')))
      break;
    ++split;
  }
  const auto number = parseNumber(text.substr(0, split));
  if (!number || number->value < 0.0) return std::nullopt;
  const std::string unit = upper(trim(text.substr(split)));
  struct Unit {
    const char* name;
    double seconds;
  };
  static constexpr std::array<Unit, 11> kUnits{{{"FS", 1e-15},
                                                {"PS", 1e-12},
                                                {"NS", 1e-9},
                                                {"US", 1e-6},
                                                {"MS", 1e-3},
                                                {"S", 1.0},
                                                {"M", 60.0},
                                                {"MIN", 60.0},
                                                {"H", 3600.0},
                                                {"D", 86400.0},
                                                {"Y", 31556952.0}}};
  for (const Unit& u : kUnits)
    if (unit == u.name) return number->value * u.seconds;
  // A width: T1/2 = hbar ln 2 / width.
  constexpr double kHbarLn2 = 6.582119569e-16 * 0.69314718055994531;  // eV s
  double eV = 0.0;
  if (unit == "EV") eV = 1.0;
  if (unit == "KEV") eV = 1e3;
  if (unit == "MEV") eV = 1e6;
  if (eV == 0.0) return std::nullopt;
  if (number->value == 0.0) return std::numeric_limits<double>::infinity();
  return kHbarLn2 / (number->value * eV);
}

}  // namespace tcsum::ensdf
