#include "framework/measured.h"

namespace corvalis {

const char* confidenceWord(Confidence confidence) {
  switch (confidence) {
    case Confidence::Clear:
      return "clear";
    case Confidence::Uncertain:
      return "uncertain";
    case Confidence::None:
      break;
  }
  return "none";
}

bool confidenceFromWord(const std::string& word, Confidence& confidence) {
  for (Confidence candidate : {Confidence::None, Confidence::Uncertain, Confidence::Clear}) {
    if (word == confidenceWord(candidate)) {
      confidence = candidate;
      return true;
    }
  }
  return false;
}

Measured Measured::scaled(double factor) const {
  Measured out(value * factor);
  out.samples.reserve(samples.size());
  for (double sample : samples) out.samples.push_back(sample * factor);
  out.evidence = evidence;
  out.glError = glError;
  return out;
}

}  // namespace corvalis
