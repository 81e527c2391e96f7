#pragma once
// A data set of the data file as a decay scheme, the model-free form every
// model but the classic one computes from.
#include <cstdint>
#include <span>

#include "core/result.hpp"
#include "core/scheme.hpp"
#include "input/reader.hpp"

namespace tcsum {

// The scheme of the data set with header HEADER (read at record
// HEADER_RECORD) and the level and transition records LEVELS and
// TRANSITIONS, read whole. The record that ends the level list is no level;
// of several records for one transition the last holds; a transition takes
// part when it runs down between two levels of the data set and has a gamma
// intensity (the classic computation ignores the others too). Levels keep
// their order (level number k is index k - 1); transitions are ordered by
// upper, then lower level.
DecayScheme decaySchemeOf(const DataSetResult& header, int32_t headerRecord,
                          std::span<const LevelRecord> levels,
                          std::span<const TransitionRecord> transitions);

}  // namespace tcsum
