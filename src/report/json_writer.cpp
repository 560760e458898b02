#include "report/json_writer.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "corvalis_version.h"
#include "framework/sample_stats.h"
#include "framework/text_encoding.h"

namespace corvalis {

namespace {

using Json = nlohmann::ordered_json;

// Report texts are single-byte ISO-8859-1; the document holds them in UTF-8.
std::string latin1ToUtf8Text(const char* text) {
  return text != nullptr ? latin1ToUtf8(text) : std::string();
}

std::string withoutTrailingBlanks(std::string text) {
  const size_t end = text.find_last_not_of(' ');
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

// A JSON number; whole numbers as integers, what is not finite as null.
Json number(double value) {
  if (!std::isfinite(value)) return nullptr;
  if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0)
    return static_cast<int64_t>(value);
  return value;
}

Json numbers(const std::vector<double>& values) {
  Json array = Json::array();
  for (double value : values) array.push_back(number(value));
  return array;
}

// "samples", "min" and "max" (with a prefix for sweep fields) when there are repeats.
void addSamples(Json& object, const std::string& prefix, const std::vector<double>& samples) {
  if (samples.size() < 2) return;
  const SampleStats stats = summarizeSamples(samples);
  object[prefix.empty() ? "samples" : prefix + "Samples"] = numbers(samples);
  object[prefix.empty() ? "min" : prefix + "Min"] = number(stats.min);
  object[prefix.empty() ? "max" : prefix + "Max"] = number(stats.max);
}

Json stepRecord(const StepEstimate& step) {
  return {{"position", number(step.position)},
          {"ratio", number(step.ratio)},
          {"low", number(step.low)},
          {"high", number(step.high)}};
}

}  // namespace

struct JsonWriter::Document {
  Json root = {{"program", "Corvalis"},
               {"version", VersionNumber},
               {"settings", Json::object()},
               {"info", Json::object()},
               {"values", Json::object()},
               {"sweeps", Json::object()}};
};

JsonWriter::JsonWriter(const char* fileName) : document_(std::make_unique<Document>()) {
  if (fileName != nullptr) file_.open(fileName);
}

JsonWriter::~JsonWriter() = default;

void JsonWriter::setSettings(const RunSettings& settings) {
  Json& out = document_->root["settings"];
  out["width"] = settings.width;
  out["height"] = settings.height;
  out["tests"] = settings.tests;
  out["sync"] = settings.swapSync ? "Swap" : "Flush";
  out["repeat"] = settings.repeat;
  out["device"] = latin1ToUtf8Text(settings.device.c_str());
}

void JsonWriter::pushKey(const char* key) { keyPath_.push(key); }

void JsonWriter::popKey() { keyPath_.pop(); }

void JsonWriter::addText(const char* label, const char* text) {
  if (label == nullptr || text == nullptr) return;
  const std::string value = latin1ToUtf8Text(withoutTrailingBlanks(text).c_str());
  if (keyPath_.prefix() == "Info:") {
    document_->root["info"][latin1ToUtf8Text(label)] = value;
    return;
  }
  document_->root["values"][latin1ToUtf8Text(keyPath_.of(label).c_str())] = {{"text", value}};
}

void JsonWriter::addNumber(const char* label, const std::string& text, double value,
                           const char* unit, const std::vector<double>& samples) {
  if (label == nullptr) return;
  Json entry = {{"text", latin1ToUtf8Text(withoutTrailingBlanks(text).c_str())},
                {"value", number(value)},
                {"unit", latin1ToUtf8Text(unit)}};
  addSamples(entry, "", samples);
  document_->root["values"][latin1ToUtf8Text(keyPath_.of(label).c_str())] = entry;
}

void JsonWriter::addEvidence(const char* label, const Evidence& evidence) {
  if (label == nullptr) return;
  Json entry = {{"confidence", confidenceWord(evidence.confidence)}};
  entry["unit"] = latin1ToUtf8Text(evidence.unit.c_str());
  if (evidence.step) entry["step"] = stepRecord(*evidence.step);
  if (evidence.runnerUp) entry["runnerUp"] = stepRecord(*evidence.runnerUp);
  entry["threshold"] = number(evidence.threshold);
  entry["noise"] = number(evidence.noise);
  document_->root["evidence"][latin1ToUtf8Text(keyPath_.of(label).c_str())] = entry;
}

void JsonWriter::addSweep(const std::string& name, const std::vector<SweepRow>& rows) {
  Json array = Json::array();
  for (const SweepRow& row : rows) {
    Json entry = Json::object();
    for (const SweepField& field : row) entry[field.name] = number(field.value);
    for (const SweepField& field : row) addSamples(entry, field.name, field.samples);
    array.push_back(entry);
  }
  document_->root["sweeps"][name] = array;
}

void JsonWriter::addGlError(const char* label, const std::string& glError) {
  if (label == nullptr) return;
  document_->root["values"][latin1ToUtf8Text(keyPath_.of(label).c_str())]["glError"] =
      latin1ToUtf8Text(glError.c_str());
}

bool JsonWriter::finish(bool commitNow) {
  if (!file_.isOpen()) return false;
  file_.writeBytes(document_->root.dump(2) + "\n");
  return commitNow ? file_.close() : file_.finish();
}

}  // namespace corvalis
