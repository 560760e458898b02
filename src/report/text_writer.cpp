#include "report/text_writer.h"

#include <cmath>

#include "corvalis_version.h"
#include "framework/format.h"

namespace corvalis {

namespace {

// "%d " of a value truncated toward zero; values beyond int keep all their digits.
std::string truncatedInteger(double value) {
  double whole = std::trunc(value);
  if (whole == 0.0) whole = 0.0;  // no "-0"
  if (whole >= -2147483648.0 && whole <= 2147483647.0) {
    return formatC("%d ", static_cast<int>(whole));
  }
  return formatC("%.0f ", whole);
}

}  // namespace

std::string textReportText(const ReportValue& value) {
  const double number = value.measured.value;
  if (!std::isfinite(number)) return NonFiniteValueText;
  std::string text;
  if (!value.binary && number > 500000.0)
    text = formatC("%.3f M ", number * 0.000001);
  else if (value.binary && number > 524288.0)
    text = formatC("%.3f Mi ", number / 1048576.0);
  else
    text = truncatedInteger(number);
  return text + (value.unit != nullptr ? value.unit : "");
}

TextWriter::TextWriter(const char* fileName) : ReportWriter(fileName) {
  file_.write("[");
  file_.write(ProgramVersion);
  file_.write("]\n");
}

void TextWriter::writeValue(const std::string& key, const std::string& value) {
  file_.write(key + "=" + value + "\n");
}

void TextWriter::addText(const ReportLine& line, const char* text) {
  if (line.label != nullptr && text != nullptr) writeValue(line.key(), text);
}

void TextWriter::addValue(const ReportLine& line, const ReportValue& value) {
  if (line.label != nullptr) writeValue(line.key(), textReportText(value));
}

}  // namespace corvalis
