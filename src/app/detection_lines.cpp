#include "app/detection_lines.h"

#include <cctype>

#include "framework/format.h"

namespace corvalis {

namespace {

// Where a step is: a block size in pixels, or the working set after which the rate falls.
std::string whereText(const Evidence& evidence, const StepEstimate& step) {
  if (evidence.unit == "B") return "after " + formatBinary(step.position) + "B";
  return formatC("at %g %s", step.position, evidence.unit.c_str());
}

// The ratio and, where repeats gave it one, its interval.
std::string stepText(const Evidence& evidence, const StepEstimate& step) {
  if (step.low == step.ratio && step.high == step.ratio)
    return formatC("%.3f ", step.ratio) + whereText(evidence, step);
  return formatC("%.3f [%.3f, %.3f] ", step.ratio, step.low, step.high) +
         whereText(evidence, step);
}

}  // namespace

std::string detectionLine(const ResultReport::Detection& detection) {
  const Evidence& evidence = detection.evidence;
  std::string line = formatC("%-24s %-10s %-10s", detection.key.c_str(), detection.answer.c_str(),
                             confidenceWord(evidence.confidence));
  if (evidence.step) {
    line += evidence.confidence == Confidence::None ? "deepest step " : "";
    line += stepText(evidence, *evidence.step);
  } else {
    line += "no step measured";
  }
  if (evidence.runnerUp)
    line += formatC("; runner-up %.3f ", evidence.runnerUp->ratio) +
            whereText(evidence, *evidence.runnerUp);
  if (evidence.noise > 0.0)
    line += formatC("; a drop counts beyond %.1f %% (noise %.1f %%)",
                    100.0 * (1.0 - evidence.threshold), 100.0 * evidence.noise);
  return line;
}

std::string checkLine(const ResultReport::Detection& detection, int width, int height) {
  std::string test = detection.key.substr(0, detection.key.find(':'));
  for (char& c : test) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return formatC("check it with repeats: corvalis -%dx%d --tests %s --repeat 5", width, height,
                 test.c_str());
}

}  // namespace corvalis
