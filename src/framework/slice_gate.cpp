#include "framework/slice_gate.h"

namespace corvalis {

namespace {

SliceGate* installedGate = nullptr;

}  // namespace

SliceGate* sliceGate() { return installedGate; }

void setSliceGate(SliceGate* gate) { installedGate = gate; }

bool runCalledOff() { return installedGate != nullptr && installedGate->calledOff(); }

}  // namespace corvalis
