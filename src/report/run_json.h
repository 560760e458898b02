#pragma once
// Reads the samples of a run from BASE.json: every value measured more than once, the
// spread of every sweep point and the evidence of every detection. Everything is
// optional: a run without the file or without repeats simply has none of them.

#include <map>
#include <string>
#include <vector>

#include "framework/measured.h"

namespace corvalis {

// The lowest and highest of the repeated measurements of one value, and the samples
// themselves in the order taken (NaN for one that was not a number), where the document
// lists them.
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
  // known confidence word, or with a step that is not four numbers, is left out.
  std::map<std::string, Evidence> evidence;
  // The run's --repeat N (settings.repeat); 0 where the document does not say.
  int repeat = 0;
};

// Parses the JSON text; false with a reason when it is not valid JSON of that shape.
bool parseRunJson(const std::string& text, RunSamples& samples, std::string& error);

// Reads BASE.json beside a run. A missing file is no error ('found' false); a file
// that is there but unreadable or malformed is one, naming the file.
bool readRunJson(const std::string& path, RunSamples& samples, bool& found, std::string& error);

}  // namespace corvalis
