#include "outputs/text.hpp"

#include <array>
#include <cmath>

#include "core/number_text.hpp"

namespace tcsum {

bool appendShortestDecimal(std::string& out, float value) {
  if (!std::isfinite(value)) return false;
  text::appendShortest(out, value);
  return true;
}

std::string shortestDecimal(float value) {
  std::string out;
  appendShortestDecimal(out, value);
  return out;
}

namespace {
// Code page 437, bytes 128 ... 255.
constexpr std::array<std::string_view, 128> kUpperHalf = {
    "Ç", "ü", "é", "â", "ä", "à", "å", "ç", "ê", "ë", "è", "ï", "î", "ì", "Ä", "Å",
    "É", "æ", "Æ", "ô", "ö", "ò", "û", "ù", "ÿ", "Ö", "Ü", "¢", "£", "¥", "₧", "ƒ",
    "á", "í", "ó", "ú", "ñ", "Ñ", "ª", "º", "¿", "⌐", "¬", "½", "¼", "¡", "«", "»",
    "░", "▒", "▓", "│", "┤", "╡", "╢", "╖", "╕", "╣", "║", "╗", "╝", "╜", "╛", "┐",
    "└", "┴", "┬", "├", "─", "┼", "╞", "╟", "╚", "╔", "╩", "╦", "╠", "═", "╬", "╧",
    "╨", "╤", "╥", "╙", "╘", "╒", "╓", "╫", "╪", "┘", "┌", "█", "▄", "▌", "▐", "▀",
    "α", "ß", "Γ", "π", "Σ", "σ", "µ", "τ", "Φ", "Θ", "Ω", "δ", "∞", "φ", "ε", "∩",
    "≡", "±", "≥", "≤", "⌠", "⌡", "÷", "≈", "°", "∙", "·", "√", "ⁿ", "²", "■", "\u00a0"};
}  // namespace

std::string utf8FromCodePage437(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 128) {
      out += c;
    } else {
      out += kUpperHalf[byte - 128];
    }
  }
  return out;
}

}  // namespace tcsum
