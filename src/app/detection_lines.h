#pragma once
// The console's account of the detections of a run: per detected value its answer, its
// confidence and the step the answer rests on (with repeats, with its interval), so that
// a user sees why an answer is what it is without opening BASE.json.

#include <string>

#include "report/result_report.h"

namespace corvalis {

// One line, e.g. "Tiling:Color:Width       4          clear      0.772 [0.771, 0.773] at
// 4 px; runner-up 0.977 at 16 px". The step reads "at" a block size and "after" a
// working set, whose drop follows it.
std::string detectionLine(const ResultReport::Detection& detection);

// The line under an uncertain answer of a single run: the command that measures its test
// again at the same size with repeats, e.g. "check it with repeats: corvalis -512x384
// --tests tiling --repeat 5".
std::string checkLine(const ResultReport::Detection& detection, int width, int height);

}  // namespace corvalis
