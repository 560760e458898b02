#include "report/json_writer.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "corvalis_version.h"
#include "framework/sample_stats.h"
#include "framework/text_encoding.h"
#include "report/json_format.h"
#include "report/json_number.h"
#include "report/text_writer.h"

namespace corvalis {

namespace {

using Json = nlohmann::ordered_json;

std::string withoutTrailingBlanks(std::string text) {
  const size_t end = text.find_last_not_of(' ');
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

Json numbers(const std::vector<double>& values) {
  Json array = Json::array();
  for (double value : values) array.push_back(jsonNumber(value));
  return array;
}

// "samples", "min" and "max" (with a prefix for sweep fields) when there are repeats.
void addSamples(Json& object, const std::string& prefix, const std::vector<double>& samples) {
  if (samples.size() < 2) return;
  const SampleStats stats = summarizeSamples(samples);
  object[prefix.empty() ? "samples" : prefix + "Samples"] = numbers(samples);
  object[prefix.empty() ? "min" : prefix + "Min"] = jsonNumber(stats.min);
  object[prefix.empty() ? "max" : prefix + "Max"] = jsonNumber(stats.max);
}

Json stepRecord(const StepEstimate& step) {
  return {{"position", jsonNumber(step.position)},
          {"ratio", jsonNumber(step.ratio)},
          {"low", jsonNumber(step.low)},
          {"high", jsonNumber(step.high)}};
}

}  // namespace

struct JsonWriter::Document {
  Json root = {{"schema", RunJsonSchema},
               {"formatVersion", RunJsonFormatVersion},
               {"program", "Corvalis"},
               {"version", VersionNumber},
               {"settings", Json::object()},
               {"info", Json::object()},
               {"values", Json::object()},
               {"sweeps", Json::object()}};
};

JsonWriter::JsonWriter(const char* fileName)
    : ReportWriter(fileName), document_(std::make_unique<Document>()) {}

JsonWriter::~JsonWriter() = default;

void JsonWriter::setRunSettings(const RunSettings& settings) {
  Json& out = document_->root["settings"];
  out["width"] = settings.width;
  out["height"] = settings.height;
  out["tests"] = settings.tests;
  out["sync"] = settings.swapSync ? "Swap" : "Flush";
  out["repeat"] = settings.repeat;
  if (settings.adaptive) {
    out["adaptive"] = true;
    if (settings.budget > 0) out["budget"] = settings.budget;
  }
  out["device"] = latin1ToUtf8(settings.device);
}

void JsonWriter::addText(const ReportLine& line, const char* text) {
  if (line.label == nullptr || text == nullptr) return;
  const std::string value = latin1ToUtf8(withoutTrailingBlanks(text));
  if (line.keys.prefix() == "Info:") {
    document_->root["info"][latin1ToUtf8(line.label)] = value;
    return;
  }
  document_->root["values"][latin1ToUtf8(line.key())] = {{"text", value}};
}

void JsonWriter::addValue(const ReportLine& line, const ReportValue& value) {
  if (!std::isfinite(value.measured.value)) {
    addText(line, NonFiniteValueText);
    return;
  }
  if (line.label == nullptr) return;
  Json entry = {{"text", latin1ToUtf8(withoutTrailingBlanks(textReportText(value)))},
                {"value", jsonNumber(value.measured.value)},
                {"unit", latin1ToUtf8(value.unit != nullptr ? value.unit : "")}};
  addSamples(entry, "", value.measured.samples);
  document_->root["values"][latin1ToUtf8(line.key())] = entry;
}

void JsonWriter::addEvidence(const ReportLine& line, const Evidence& evidence) {
  if (line.label == nullptr) return;
  Json entry = {{"confidence", confidenceWord(evidence.confidence)}};
  entry["unit"] = latin1ToUtf8(evidence.unit);
  if (evidence.step) entry["step"] = stepRecord(*evidence.step);
  if (evidence.runnerUp) entry["runnerUp"] = stepRecord(*evidence.runnerUp);
  entry["threshold"] = jsonNumber(evidence.threshold);
  entry["noise"] = jsonNumber(evidence.noise);
  document_->root["evidence"][latin1ToUtf8(line.key())] = entry;
}

void JsonWriter::addGlError(const ReportLine& line, const std::string& glError) {
  if (line.label == nullptr) return;
  document_->root["values"][latin1ToUtf8(line.key())]["glError"] = latin1ToUtf8(glError);
}

void JsonWriter::addSweep(const std::string& name, const std::vector<SweepRow>& rows) {
  Json array = Json::array();
  for (const SweepRow& row : rows) {
    Json entry = Json::object();
    for (const SweepField& field : row) entry[field.name] = jsonNumber(field.value);
    for (const SweepField& field : row) addSamples(entry, field.name, field.samples);
    array.push_back(entry);
  }
  document_->root["sweeps"][name] = array;
}

void JsonWriter::writeEnd() { file_.writeBytes(document_->root.dump(2) + "\n"); }

}  // namespace corvalis
