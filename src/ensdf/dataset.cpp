#include "ensdf/dataset.hpp"

#include <cctype>
#include <memory>

namespace tcsum::ensdf {

namespace {

const Item* findItem(const std::vector<Item>& items, std::string_view key) {
  for (const Item& i : items)
    if (i.key == key) return &i;
  return nullptr;
}

// The blank-separated words of TEXT.
std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> out;
  while (true) {
    text = trim(text);
    if (text.empty()) return out;
    const std::size_t gap = text.find(' ');
    out.push_back(text.substr(0, gap));
    if (gap == std::string_view::npos) return out;
    text.remove_prefix(gap);
  }
}

GammaRecord readGamma(const Record& r) {
  GammaRecord g;
  g.line = r.line();
  g.energy = r.quantity(10, 19, 20, 21);
  g.ri = r.quantity(22, 29, 30, 31);
  g.cc = r.quantity(56, 62, 63, 64);
  g.ti = r.quantity(65, 74, 75, 76);
  g.flag = r.column(77);
  g.qualifier = r.column(80);
  return g;
}

FeedRecord readFeed(const Record& r) {
  FeedRecord f;
  f.line = r.line();
  f.type = r.type();
  if (f.type == 'A') {
    f.ia = r.quantity(22, 29, 30, 31);
  } else {
    f.ib = r.quantity(22, 29, 30, 31);
    if (f.type == 'E') {
      f.ie = r.quantity(32, 39, 40, 41);
      f.ti = r.quantity(65, 74, 75, 76);
    }
  }
  return f;
}

// Builds one data set from its records.
class Builder {
 public:
  Builder(DataSet& set) : set_(set) {}

  void add(const Record& r) {
    if (r.comment()) return;
    const char type = r.type();
    const bool production = r.column(7) == 'P' && type == 'N';
    if (r.column(7) != ' ' && !production) return;
    if (!r.primary()) {
      continuation(r, type);
      return;
    }
    lastType_ = type;
    switch (type) {
      case 'P':
        set_.parents.push_back({r.line(), std::string(r.columns(1, 5)), r.quantity(10, 19, 20, 21),
                                std::string(trim(r.columns(40, 49)))});
        break;
      case 'N':
        if (production) {
          set_.productionNorms.push_back({r.line(), r.quantity(10, 19, 20, 21),
                                          r.quantity(22, 29, 30, 31), r.quantity(42, 49, 50, 55)});
        } else {
          set_.norms.push_back({r.line(), r.quantity(10, 19, 20, 21), r.quantity(22, 29, 30, 31),
                                r.quantity(32, 39, 40, 41), r.quantity(42, 49, 50, 55)});
        }
        break;
      case 'L':
        set_.levels.push_back(
            {r.line(), r.quantity(10, 19, 20, 21), std::string(trim(r.columns(40, 49))), {}, {}});
        break;
      case 'B':
      case 'E':
      case 'A':
        if (set_.levels.empty()) {
          ++set_.feedsBeforeLevels;
          lastType_ = ' ';
        } else {
          set_.levels.back().feeds.push_back(readFeed(r));
        }
        break;
      case 'G':
        if (set_.levels.empty())
          set_.unplaced.push_back(readGamma(r));
        else
          set_.levels.back().gammas.push_back(readGamma(r));
        break;
      default:
        lastType_ = ' ';
        break;
    }
  }

 private:
  // Items of a continuation record go to the last primary record of its type.
  void continuation(const Record& r, char type) {
    if (type != lastType_) return;
    std::vector<Item>* target = nullptr;
    if (type == 'G') {
      auto& list = set_.levels.empty() ? set_.unplaced : set_.levels.back().gammas;
      if (!list.empty()) target = &list.back().items;
    } else if ((type == 'B' || type == 'E' || type == 'A') && !set_.levels.empty() &&
               !set_.levels.back().feeds.empty()) {
      target = &set_.levels.back().feeds.back().items;
    }
    if (target == nullptr) return;
    for (Item& i : continuationItems(r.columns(10, 80)))
      target->push_back(std::move(i));
  }

  DataSet& set_;
  char lastType_ = ' ';
};

// "DECAY", also run together with what follows ("DECAY:8.75 MS").
bool isDecayWord(std::string_view word) {
  return word.starts_with("DECAY") &&
         (word.size() == 5 || !std::isalpha(static_cast<unsigned char>(word[5])));
}

}  // namespace

const Item* GammaRecord::item(std::string_view key) const {
  return findItem(items, key);
}
const Item* FeedRecord::item(std::string_view key) const {
  return findItem(items, key);
}

std::string DataSet::decayToken() const {
  const auto w = words(dsid);
  for (std::size_t i = 1; i < w.size(); ++i)
    if (isDecayWord(w[i])) return std::string(w[i - 1]);
  return {};
}

bool isDecayDsid(std::string_view dsid) {
  const auto w = words(dsid);
  for (std::size_t i = 1; i < w.size(); ++i)
    if (isDecayWord(w[i])) return true;
  return false;
}

std::vector<DataSet> readDataSets(std::string_view content, const std::string& file) {
  std::vector<DataSet> sets;
  std::unique_ptr<Builder> builder;  // null outside a decay data set
  for (const Record& r : splitRecords(content)) {
    if (r.blank()) {
      builder.reset();
      continue;
    }
    if (r.identification()) {
      builder.reset();
      const std::string_view dsid = trim(r.columns(10, 39));
      if (!isDecayDsid(dsid)) continue;
      DataSet set;
      set.file = file;
      set.line = r.line();
      set.nucid = std::string(r.columns(1, 5));
      set.dsid = std::string(dsid);
      sets.push_back(std::move(set));
      builder = std::make_unique<Builder>(sets.back());
      continue;
    }
    if (builder) builder->add(r);
  }
  return sets;
}

}  // namespace tcsum::ensdf
