#include "framework/sync_method.h"

#include "platform/gl_include.h"

namespace corvalis {

void SyncMethod::endBatch() const {
  if (swapSync_)
    platform::current().swapBuffers(dc_);
  else
    glFlush();
}

void SyncMethod::swap() const { platform::current().swapBuffers(dc_); }

void SyncMethod::clearThroughSwaps(unsigned clearMask) const {
  glClear(clearMask);
  for (int i = 0; i < 3; ++i) {
    swap();
    glClear(clearMask);
  }
}

}  // namespace corvalis
