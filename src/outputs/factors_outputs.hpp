#pragma once
// The outputs of `tcsum factors`: the table for the terminal, JSON (schema
// docs/tcsum-factors.schema.json), CSV and the HTML page. Each is made whole
// from the run; nothing is computed here.
#include <span>
#include <string>

#include "complete/factors.hpp"

namespace tcsum::complete {

std::string factorsTable(const FactorsRun& run, std::span<const DataSetFactors> sets);
std::string factorsJson(const FactorsRun& run, std::span<const DataSetFactors> sets);
std::string factorsCsv(const FactorsRun& run, std::span<const DataSetFactors> sets);
std::string factorsHtml(const FactorsRun& run, std::span<const DataSetFactors> sets);
// The page with SECTION (HTML made by the caller, such as the drawing of
// the sample's geometry) after the run's settings.
std::string factorsHtml(const FactorsRun& run, std::span<const DataSetFactors> sets,
                        std::string_view section);

// A CSV field: quoted where it must be, and a text that a spreadsheet would
// take for a formula (starting with = + - @, a tab or a carriage return)
// written with a leading apostrophe.
std::string csvText(std::string_view field);

}  // namespace tcsum::complete
