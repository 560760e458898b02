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

}  // namespace corvalis
