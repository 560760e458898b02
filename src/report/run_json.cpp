#include "report/run_json.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_set>
#include <utility>

#include <nlohmann/json.hpp>

#include "framework/run_context.h"
#include "platform/file_replace.h"
#include "report/data_files.h"
#include "report/json_format.h"
#include "report/run_files.h"

namespace corvalis {

namespace {

using Json = nlohmann::json;

// The spread of 'field' in an object: FIELDMin/FIELDMax when given, else the extremes
// of the finite FIELDSamples. False when neither is there. 'prefix' is "" for the
// value records ("min", "samples") and the field name for sweep rows ("rateMin").
bool spreadOf(const Json& object, const std::string& prefix, Spread& spread) {
  const std::string minKey = prefix.empty() ? "min" : prefix + "Min";
  const std::string maxKey = prefix.empty() ? "max" : prefix + "Max";
  const std::string samplesKey = prefix.empty() ? "samples" : prefix + "Samples";
  auto listed = object.find(samplesKey);
  if (listed != object.end() && listed->is_array()) {
    for (const Json& sample : *listed)
      spread.samples.push_back(sample.is_number() ? sample.get<double>() : std::nan(""));
  }
  auto min = object.find(minKey), max = object.find(maxKey);
  if (min != object.end() && max != object.end() && min->is_number() && max->is_number()) {
    spread.low = min->get<double>();
    spread.high = max->get<double>();
    return std::isfinite(spread.low) && std::isfinite(spread.high);
  }
  auto samples = object.find(samplesKey);
  if (samples == object.end() || !samples->is_array()) return false;
  bool any = false;
  for (const Json& sample : *samples) {
    if (!sample.is_number()) continue;  // null: a sample that was not a number
    double v = sample.get<double>();
    if (!std::isfinite(v)) continue;
    spread.low = any ? std::min(spread.low, v) : v;
    spread.high = any ? std::max(spread.high, v) : v;
    any = true;
  }
  return any;
}

// A number of the document: NaN for null (what was not a number when written). False
// when the key is missing or holds anything else.
bool readNumber(const Json& object, const char* key, double& value) {
  auto found = object.find(key);
  if (found == object.end()) return false;
  if (found->is_null()) {
    value = std::nan("");
    return true;
  }
  if (!found->is_number()) return false;
  value = found->get<double>();
  return true;
}

// The step under 'key', when there is one; false when it is there but malformed.
bool readStep(const Json& evidence, const char* key, std::optional<StepEstimate>& step) {
  auto found = evidence.find(key);
  if (found == evidence.end()) return true;
  StepEstimate read;
  if (!found->is_object() || !readNumber(*found, "position", read.position) ||
      !readNumber(*found, "ratio", read.ratio) || !readNumber(*found, "low", read.low) ||
      !readNumber(*found, "high", read.high))
    return false;
  step = read;
  return true;
}

bool readEvidence(const Json& entry, Evidence& evidence) {
  if (!entry.is_object()) return false;
  auto word = entry.find("confidence");
  if (word == entry.end() || !word->is_string() ||
      !confidenceFromWord(word->get<std::string>(), evidence.confidence))
    return false;
  if (!readStep(entry, "step", evidence.step) || !readStep(entry, "runnerUp", evidence.runnerUp))
    return false;
  // The program's units are "px" and "B"; a long text is no unit of its own.
  auto unit = entry.find("unit");
  if (unit != entry.end() && unit->is_string()) {
    if (unit->get_ref<const std::string&>().size() > 8) return false;
    evidence.unit = unit->get<std::string>();
  }
  // Without them the defaults stand: no threshold below 1, no noise.
  readNumber(entry, "threshold", evidence.threshold);
  readNumber(entry, "noise", evidence.noise);
  return true;
}

void readSweepRow(const Json& row, std::map<std::string, Spread>& fields) {
  static const char* const names[] = {"rate", "widthAligned", "widthOffset", "heightAligned",
                                      "heightOffset"};
  for (const char* name : names) {
    Spread spread;
    if (spreadOf(row, name, spread)) fields[name] = spread;
  }
}

// What a container of the document is to the reader.
enum class Place {
  Document,   // the top-level object
  Values,     // "values": key path -> value record
  Sweeps,     // "sweeps": data file -> rows
  SweepRows,  // the rows of one data file
  Evidences,  // "evidence": key path -> evidence record
  Settings,   // "settings": how the run was made
  Record,     // a record kept while it is read, or a container inside one
};

enum class RecordKind { Value, SweepRow, Evidence };

struct Frame {
  explicit Frame(Place where, bool isArray = false, Json* filled = nullptr)
      : place(where), array(isArray), node(filled) {}
  Place place;
  bool array;
  size_t entries = 0;  // of an array, so far
  std::string key;     // of an object: the key of the value that comes next
  Json* node;          // of a record: the container being filled
};

bool isSweepName(const std::string& name) {
  for (const DataFileKind* kinds : {CacheDataFiles, TileDataFiles})
    for (size_t i = 0; i < 4; ++i)
      if (name == kinds[i].name) return true;
  return false;
}

// Whether a record keeps the field 'key' at 'depth' (1: the record's own fields, 2: those
// of an evidence's step). Everything else of a record is passed over unread.
bool recordField(RecordKind kind, size_t depth, const std::string& key) {
  static const char* const sweepFields[] = {"rate", "widthAligned", "widthOffset",
                                            "heightAligned", "heightOffset"};
  switch (kind) {
    case RecordKind::Value:
      return depth == 1 && (key == "min" || key == "max" || key == "samples");
    case RecordKind::SweepRow:
      for (const char* field : sweepFields)
        for (const char* part : {"Min", "Max", "Samples"})
          if (depth == 1 && key == std::string(field) + part) return true;
      return false;
    case RecordKind::Evidence:
      if (depth == 2) return key == "position" || key == "ratio" || key == "low" || key == "high";
      return depth == 1 && (key == "confidence" || key == "step" || key == "runnerUp" ||
                            key == "unit" || key == "threshold" || key == "noise");
  }
  return false;
}

// Reads BASE.json as the parser goes through it (SAX), keeping only the parts asked for:
// each value, sweep row and evidence it keeps is built as a small document of its known
// fields and read by the functions above; nothing else is stored. A document of sample
// arrays therefore costs the arrays a reader keeps, never a tree of the whole text.
class RunJsonReader : public nlohmann::json_sax<Json> {
 public:
  RunJsonReader(const RunJsonParts& parts, RunSamples& samples) : parts_(parts), samples_(samples) {
    if (parts.valuesOf != nullptr)
      for (const auto& entry : parts.valuesOf->values) reportKeys_.insert(entry.first);
  }

  bool null() override { return scalar(Json(nullptr)); }
  bool boolean(bool value) override { return scalar(Json(value)); }
  bool number_integer(number_integer_t value) override {
    return scalar(Json(static_cast<double>(value)));
  }
  bool number_unsigned(number_unsigned_t value) override {
    return scalar(Json(static_cast<double>(value)));
  }
  bool number_float(number_float_t value, const string_t&) override { return scalar(Json(value)); }
  bool string(string_t& value) override { return scalar(Json(std::move(value))); }
  bool binary(binary_t&) override { return scalar(Json(nullptr)); }
  bool start_object(size_t) override { return open(false); }
  bool start_array(size_t) override { return open(true); }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }

  bool key(string_t& key) override {
    if (skipped_ == 0) frames_.back().key = std::move(key);
    return true;
  }

  bool parse_error(size_t position, const std::string&,
                   const nlohmann::detail::exception& e) override {
    // NOTE: nlohmann reports a number beyond a double (1e999) as out_of_range 406, its
    // syntax errors as parse_error 101 to 103.
    const std::string at = "(at byte " + std::to_string(position) + ")";
    error = e.id == 406 ? "a number too large for a double " + at : "not valid JSON " + at;
    return false;
  }

  std::string error;       // set when the reader stopped the parse
  bool isProgram = false;  // "program": "Corvalis" seen

 private:
  // Where the next value goes, decided by the container it lies in.
  enum class Next {
    Skip, Keep, Program, Version, Settings, Repeat, Values, Sweeps, SweepRows, Evidences, Record
  };

  // A file from before the format had a version reads as version 1; a later version than
  // this program's may mean what it cannot tell.
  bool refuseVersion(const std::string& shown) {
    return refuse("format version " + shown + ", which this program cannot read (it reads " +
                  std::to_string(RunJsonFormatVersion) + ")");
  }

  bool refuse(const std::string& why) {
    error = why;
    return false;
  }

  // What the value about to start is, counting it in an array. False (with 'error')
  // when an array is longer than any this program writes.
  bool place(Next& next, RecordKind& kind, bool container) {
    next = Next::Skip;
    if (frames_.empty()) {
      next = Next::Keep;
      return true;
    }
    Frame& frame = frames_.back();
    if (frame.array && ++frame.entries > MaxRunJsonArray)
      return refuse("an array of more than " + std::to_string(MaxRunJsonArray) +
                    " entries, more than this program writes");
    switch (frame.place) {
      case Place::Document:
        if (frame.key == "program") next = Next::Program;
        if (frame.key == "formatVersion") {
          if (container) return refuseVersion("that is not a number");
          next = Next::Version;
        }
        if (frame.key == "values" && parts_.values && container) next = Next::Values;
        if (frame.key == "sweeps" && parts_.sweeps && container) next = Next::Sweeps;
        if (frame.key == "evidence" && container) next = Next::Evidences;
        if (frame.key == "settings" && container) next = Next::Settings;
        return true;
      case Place::Settings:
        if (frame.key == "repeat" && !container) next = Next::Repeat;
        return true;
      case Place::Values:
        kind = RecordKind::Value;
        if (frame.key.size() <= MaxReportLineBytes &&
            (parts_.valuesOf == nullptr || reportKeys_.count(frame.key) != 0))
          next = Next::Record;
        return true;
      case Place::Sweeps:
        if (isSweepName(frame.key)) next = Next::SweepRows;
        return true;
      case Place::SweepRows:
        kind = RecordKind::SweepRow;
        currentRows_->emplace_back();  // every row counts, a malformed one as empty
        next = Next::Record;
        return true;
      case Place::Evidences:
        kind = RecordKind::Evidence;
        if (frame.key.size() <= MaxReportLineBytes) next = Next::Record;
        return true;
      case Place::Record:
        if (frame.array || recordField(recordKind_, frames_.size() - recordDepth_, frame.key))
          next = Next::Keep;
        return true;
    }
    return true;
  }

  bool scalar(Json value) {
    if (skipped_ > 0) return true;
    Next next;
    RecordKind kind = recordKind_;
    if (!place(next, kind, false)) return false;
    if (frames_.empty()) return refuse("not a JSON object");
    Frame& frame = frames_.back();
    if (next == Next::Program) isProgram = value.is_string() && value == "Corvalis";
    if (next == Next::Repeat && value.is_number()) {
      const double repeat = value.get<double>();
      if (repeat >= 1.0 && repeat <= MaxMeasurementRepeats && repeat == std::floor(repeat))
        samples_.repeat = static_cast<int>(repeat);
    }
    if (next == Next::Version) {
      // The reader hands every number on as a double.
      const double version = value.is_number() ? value.get<double>() : 0.0;
      if (!(version >= 1.0 && version <= RunJsonFormatVersion && version == std::floor(version)))
        return refuseVersion(value.is_number() && version == std::floor(version) &&
                                     std::fabs(version) < 1e15
                                 ? std::to_string(static_cast<long long>(version))
                                 : value.dump());
    }
    if (next != Next::Keep || frame.place != Place::Record) return true;
    if (frame.array)
      frame.node->push_back(std::move(value));
    else
      (*frame.node)[frame.key] = std::move(value);
    return true;
  }

  bool open(bool array) {
    if (skipped_ > 0) {
      ++skipped_;
      return true;
    }
    Next next;
    RecordKind kind = recordKind_;
    if (!place(next, kind, true)) return false;
    if (frames_.empty()) {
      if (array) return refuse("not a JSON object");
      frames_.emplace_back(Place::Document);
      return true;
    }
    return array ? openArray(next) : openObject(next, kind);
  }

  bool openArray(Next next) {
    Frame& parent = frames_.back();
    if (next == Next::SweepRows) {
      currentRows_ = &samples_.sweeps[parent.key];
      currentRows_->clear();
      frames_.emplace_back(Place::SweepRows, true);
    } else if (next == Next::Keep && parent.place == Place::Record && !parent.array) {
      Json* node = &((*parent.node)[parent.key] = Json::array());
      frames_.emplace_back(Place::Record, true, node);
    } else {
      if (next == Next::Keep && parent.place == Place::Record) parent.node->push_back(nullptr);
      skipped_ = 1;  // an array in a record's array is a sample that is not a number
    }
    return true;
  }

  bool openObject(Next next, RecordKind kind) {
    Frame& parent = frames_.back();
    switch (next) {
      case Next::Values: frames_.emplace_back(Place::Values); return true;
      case Next::Sweeps: frames_.emplace_back(Place::Sweeps); return true;
      case Next::Evidences: frames_.emplace_back(Place::Evidences); return true;
      case Next::Settings: frames_.emplace_back(Place::Settings); return true;
      case Next::Record:
        record_ = Json::object();
        recordKind_ = kind;
        recordKey_ = parent.key;
        frames_.emplace_back(Place::Record, false, &record_);
        recordDepth_ = frames_.size() - 1;
        return true;
      case Next::Keep:
        if (parent.place == Place::Record && !parent.array) {
          Json* node = &((*parent.node)[parent.key] = Json::object());
          frames_.emplace_back(Place::Record, false, node);
          return true;
        }
        if (parent.place == Place::Record) parent.node->push_back(nullptr);  // not a number
        break;
      default:
        break;
    }
    skipped_ = 1;
    return true;
  }

  bool close() {
    if (skipped_ > 0) {
      --skipped_;
      return true;
    }
    frames_.pop_back();
    if (recordDepth_ == 0 || frames_.size() != recordDepth_) return true;
    recordDepth_ = 0;
    return keepRecord();
  }

  // The record just read, turned into what RunSamples holds.
  bool keepRecord() {
    switch (recordKind_) {
      case RecordKind::Value: {
        Spread spread;
        if (!spreadOf(record_, "", spread)) break;
        if (!parts_.valueSamples) spread.samples = {};  // the extremes are all --compare reads
        samples_.values[recordKey_] = spread;
        if (samples_.values.size() > MaxRunJsonValues)
          return refuse("more than " + std::to_string(MaxRunJsonValues) +
                        " values with samples, more than this program writes");
        break;
      }
      case RecordKind::SweepRow:
        readSweepRow(record_, currentRows_->back());
        break;
      case RecordKind::Evidence: {
        Evidence evidence;
        if (!readEvidence(record_, evidence)) break;
        samples_.evidence[recordKey_] = evidence;
        if (samples_.evidence.size() > MaxRunJsonEvidence)
          return refuse("evidence for more than " + std::to_string(MaxRunJsonEvidence) +
                        " detections, more than this program writes");
        break;
      }
    }
    record_ = Json();
    return true;
  }

  const RunJsonParts& parts_;
  RunSamples& samples_;
  std::unordered_set<std::string_view> reportKeys_;  // the report's own strings
  std::vector<Frame> frames_;
  size_t skipped_ = 0;  // depth inside a container that is passed over
  Json record_;
  RecordKind recordKind_ = RecordKind::Value;
  std::string recordKey_;
  size_t recordDepth_ = 0;  // frames_ index of the record's own object; 0 outside one
  std::vector<std::map<std::string, Spread>>* currentRows_ = nullptr;
};

}  // namespace

bool parseRunJson(const std::string& text, RunSamples& samples, std::string& error,
                  const RunJsonParts& parts) {
  samples = RunSamples();
  RunJsonReader reader(parts, samples);
  bool parsed = false;
  // NOTE: with a SAX reader nlohmann reports its errors through parse_error; anything it
  // throws all the same is answered alike.
  try {
    parsed = Json::sax_parse(text, &reader);
  } catch (const Json::exception&) {
    reader.error = "not valid JSON";
  }
  if (!parsed) {
    error = reader.error.empty() ? "not valid JSON" : reader.error;
    samples = RunSamples();
    return false;
  }
  if (!reader.isProgram) {
    error = "not a Corvalis run (no \"program\": \"Corvalis\")";
    samples = RunSamples();
    return false;
  }
  return true;
}

bool readRunJson(const std::string& path, RunSamples& samples, bool& found, std::string& error,
                 const RunJsonParts& parts) {
  samples = RunSamples();
  found = false;
  if (platform::pathKind(path) == platform::PathKind::Missing) return true;
  found = true;
  std::string text;
  if (!readFileBytes(path, MaxRunJsonBytes, "BASE.json", text, error)) return false;
  if (parseRunJson(text, samples, error, parts)) return true;
  error = path + ": " + error;
  return false;
}

}  // namespace corvalis
