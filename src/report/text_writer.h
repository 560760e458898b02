#pragma once
// The machine-readable form of the report: a "[Corvalis VERSION]" header, then one line
// per value made of its key path, its key, "=" and the value.

#include <string>

#include "report/report_writer.h"

namespace corvalis {

// The value as the text report writes it: a whole number truncated toward zero and a
// blank, or above 500000 (524288 for a size) three decimals of millions (of 2^20) with
// " M " (" Mi "); then the unit. NonFiniteValueText for what is not a finite number.
std::string textReportText(const ReportValue& value);

class TextWriter : public ReportWriter {
 public:
  // Creates the file and writes the header line; without a file every call does nothing.
  explicit TextWriter(const char* fileName);

  // One line "<key>=<value>".
  void writeValue(const std::string& key, const std::string& value);

  // The report's calls: one line for each value and each text with a label.
  void addText(const ReportLine& line, const char* text) override;
  void addValue(const ReportLine& line, const ReportValue& value) override;
};

}  // namespace corvalis
