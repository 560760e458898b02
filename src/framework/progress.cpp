#include "framework/progress.h"

namespace corvalis {

namespace {
ProgressSink* installedSink = nullptr;
}  // namespace

void setProgressSink(ProgressSink* sink) { installedSink = sink; }

void reportProgress(const char* phase, int step, int total) {
  if (installedSink != nullptr && phase != nullptr) installedSink->progress(phase, step, total);
}

}  // namespace corvalis
