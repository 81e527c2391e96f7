#include "ensdf/records.hpp"

#include <array>

namespace tcsum::ensdf {

Record::Record(std::string_view line, int number) : text_(line), line_(number) {
  if (text_.size() < kColumns) text_.resize(kColumns, ' ');
}

bool Record::blank() const {
  for (int c = 1; c <= kColumns; ++c)
    if (column(c) != ' ') return false;
  return true;
}

bool Record::comment() const {
  switch (column(7)) {
    case 'c':
    case 'C':
    case 'd':
    case 'D':
    case 't':
    case 'T':
      return true;
    default:
      return false;
  }
}

bool Record::identification() const {
  return trim(columns(1, 5)).size() > 0 && columns(6, 9) == "    " &&
         !trim(columns(10, 39)).empty();
}

std::vector<Record> splitRecords(std::string_view content) {
  std::vector<Record> records;
  records.reserve(content.size() / 81 + 1);
  int number = 0;
  while (!content.empty()) {
    const std::size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    records.emplace_back(line, ++number);
  }
  return records;
}

std::vector<Item> continuationItems(std::string_view text) {
  static constexpr std::array<std::string_view, 7> kQualifiers{" LT ", " LE ", " GT ", " GE ",
                                                               " AP ", " CA ", " SY "};
  std::vector<Item> items;
  while (!text.empty()) {
    const std::size_t dollar = text.find('$');
    std::string_view item = text.substr(0, dollar);
    text = dollar == std::string_view::npos ? std::string_view() : text.substr(dollar + 1);

    std::size_t split = item.find('=');
    std::size_t width = 1;
    Limit limit = Limit::None;
    for (std::string_view q : kQualifiers) {
      const std::size_t at = item.find(q);
      if (at != std::string_view::npos && at < split) {
        split = at;
        width = q.size();
        limit = readQuantity("0", q).limit;
      }
    }
    if (split == std::string_view::npos) continue;
    const std::string_view key = trim(item.substr(0, split));
    if (key.empty()) continue;
    // The value is the first word after the operator, its uncertainty the second.
    std::string_view rest = trim(item.substr(split + width));
    const std::size_t gap = rest.find(' ');
    const std::string_view value = rest.substr(0, gap);
    std::string_view unc;
    if (gap != std::string_view::npos) {
      unc = trim(rest.substr(gap));
      unc = unc.substr(0, unc.find(' '));
    }
    Item out{std::string(key), readQuantity(value, unc)};
    if (limit != Limit::None) out.value.limit = limit;
    items.push_back(std::move(out));
  }
  return items;
}

}  // namespace tcsum::ensdf
