#include "core/fatal.hpp"

namespace tcsum {

std::string formatDiagnostic(const Diagnostic& d, std::string_view file) {
  std::string line = d.message;
  if (d.unit != 0) {
    line += ", unit " + std::to_string(d.unit) + ", file ";
    line += file;
  }
  if (!d.detail.empty()) line += ": " + d.detail;
  return escapedControls(line);
}

std::string escapedControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 32 && byte != 127) {
      out += c;
      continue;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
  }
  return out;
}

std::string_view defaultFileName(int32_t unit) {
  if (unit == kDataUnit) return kDataFile;
  if (unit == kReportUnit) return kReportFile;
  return {};
}

void fatal(Diagnostic diagnostic) {
  throw RunStop(std::move(diagnostic));
}

std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte >= 32 && byte < 127) {
      out += c;
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  out += '"';
  return out;
}

void dataFileFault(const char* message, const std::string& detail) {
  fatal({message, kDataUnit, detail});
}

}  // namespace tcsum
