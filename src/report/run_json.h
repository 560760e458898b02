#pragma once
// Reads the samples of a run from BASE.json: every value measured more than once, the
// spread of every sweep point and the evidence of every detection. Everything is
// optional: a run without the file or without repeats simply has none of them.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "framework/measured.h"
#include "report/run_files.h"

namespace corvalis {

// The lowest and highest of the repeated measurements of one value, and, for the fields of
// a sweep, the samples themselves in the order taken (NaN for one that was not a number),
// where the document lists them. A value keeps its extremes alone unless its reader asks
// for its samples (RunJsonParts::valueSamples): they are all that --compare reads of it.
struct Spread {
  double low = 0;
  double high = 0;
  std::vector<double> samples = {};
};

struct RunSamples {
  // Key path of the text report -> spread, only for values with samples.
  std::map<std::string, Spread> values;
  // Data file suffix ("rgba", "tile_c") -> one entry per row: field ("rate",
  // "widthAligned", ...) -> spread, only for fields with samples.
  std::map<std::string, std::vector<std::map<std::string, Spread>>> sweeps;
  // Key path -> the evidence of the detection behind that value. An entry without a
  // known confidence word, with a step that is not four numbers or with a unit longer
  // than 8 characters, is left out.
  std::map<std::string, Evidence> evidence;
  // The run's --repeat N (settings.repeat); 0 where the document does not say.
  int repeat = 0;
};

// What a reader keeps of BASE.json; the rest is passed over as it is parsed, so that a
// large document costs memory only for what its reader uses.
struct RunJsonParts {
  bool values = true;
  // When given, only the values of keys that this text report has (--compare reads no
  // other).
  const TextReport* valuesOf = nullptr;
  // Only the sweeps of the data files this program writes (data_files.h).
  bool sweeps = true;
  // Each value's samples too, not only its extremes (the bench's reproducibility mode).
  bool valueSamples = false;
};

// The most of each kind that a document may hold. A run of --repeat 100 over every test
// writes at most 1,600 samples of one value (a hundred repeats of up to sixteen slices),
// under a hundred values with samples and a dozen detections; beyond these limits a
// document is refused as not written by this program, so that neither one value nor one
// file can take the machine's memory.
constexpr size_t MaxRunJsonArray = 10000;    // entries of an array (samples, sweep rows)
constexpr size_t MaxRunJsonValues = 4096;    // values with samples that a reader keeps
constexpr size_t MaxRunJsonEvidence = 256;   // detections with evidence

// Parses the JSON text; false with a reason when it is not valid JSON of that shape, or
// holds more than the limits above.
bool parseRunJson(const std::string& text, RunSamples& samples, std::string& error,
                  const RunJsonParts& parts = RunJsonParts());

// Reads BASE.json beside a run. A missing file is no error ('found' false); a file
// that is there but unreadable or malformed is one, naming the file.
bool readRunJson(const std::string& path, RunSamples& samples, bool& found, std::string& error,
                 const RunJsonParts& parts = RunJsonParts());

}  // namespace corvalis
