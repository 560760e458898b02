#pragma once
// PLACEHOLDER until the measurement lands: never runs, so it is always "test skipped".

#include "framework/bench_test.h"

namespace corvalis {

class TilingTest : public BenchTest {
 public:
  const char* name() const override { return "Tiling"; }
  const char* key() const override { return "Tiling"; }
  void run() override {}
  void writeResults(ResultReport&) override {}
  void summary(char* buffer) override { buffer[0] = '\0'; }
};

}  // namespace corvalis
