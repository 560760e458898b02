#pragma once
// PLACEHOLDER until the measurement lands: never runs, so it is always "test skipped".

#include "framework/bench_test.h"

namespace corvalis {

class BandwidthTest : public BenchTest {
 public:
  const char* name() const override { return "Bandwidth"; }
  const char* key() const override { return "Bandwidth"; }
  void run() override {}
  void writeResults(ResultReport&) override {}
  void summary(char* buffer) override { buffer[0] = '\0'; }
};

}  // namespace corvalis
