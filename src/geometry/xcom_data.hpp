#pragma once
// The XCOM tables as built into the program (a source generated from
// data/xcom at build time): the element list and one CSV text per element.
#include <span>
#include <string_view>

namespace tcsum::geometry {

struct XcomFile {
  std::string_view name;  // "Z032-Ge.csv"
  std::string_view text;  // the file's bytes
};

// elements.csv: Z,symbol,atomic_weight.
std::string_view xcomElementList();
// The Z*.csv files, by Z.
std::span<const XcomFile> xcomElementFiles();

}  // namespace tcsum::geometry
