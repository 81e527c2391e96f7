#pragma once
// The efficiency files are read by the program's one bounded reader.
#include "core/text_file.hpp"

namespace tcsum::efficiency {
using tcsum::InputFileError;
using tcsum::readTextFile;
using tcsum::TextLimits;
}  // namespace tcsum::efficiency
