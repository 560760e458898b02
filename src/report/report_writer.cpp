#include "report/report_writer.h"

#include <cmath>

#include "framework/format.h"

namespace corvalis {

std::string displayText(const ReportValue& value) {
  const double number = value.measured.value;
  if (!std::isfinite(number)) return NonFiniteValueText;
  return (value.binary ? formatBinary(number) : formatDecimal(number)) +
         (value.unit != nullptr ? value.unit : "");
}

ReportWriter::ReportWriter(const char* fileName) {
  if (fileName != nullptr) file_.open(fileName);
}

bool ReportWriter::finish(bool commitNow) {
  if (file_.isOpen()) writeEnd();
  return commitNow ? file_.close() : file_.finish();
}

}  // namespace corvalis
