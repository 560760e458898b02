#pragma once
// How a timed batch of drawing is pushed to the hardware: a buffer swap when the user
// chose Swap, else glFlush.

#include "platform/platform.h"

namespace corvalis {

class SyncMethod {
 public:
  SyncMethod(platform::DeviceContext dc, bool swapSync) : dc_(dc), swapSync_(swapSync) {}
  // After every timed batch: swap when Swap was chosen, otherwise glFlush.
  void endBatch() const;
  // A buffer swap whatever was chosen: warm-ups and clears between measurements.
  void swap() const;
  bool swapSync() const { return swapSync_; }
  // Clears the buffers of the GL bit mask, then three times swaps and clears them again,
  // so that every buffer of the swap chain starts a measurement with the same contents.
  void clearThroughSwaps(unsigned clearMask) const;

 private:
  platform::DeviceContext dc_;
  bool swapSync_;
};

}  // namespace corvalis
