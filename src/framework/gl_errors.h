#pragma once
// GL errors seen by a measurement: read after a timed part, outside its timing, so that
// a call the driver refused cannot pass unnoticed as a wrong number.

#include <string>

namespace corvalis {

// "GL_INVALID_ENUM" and the like for a glGetError code; "GL error 0x%04X" for a code
// without a name.
std::string glErrorName(unsigned code);

// Reads and clears the errors the current context has queued: their names, each once,
// in the order read, joined by ", "; empty when there was none.
std::string takeGlErrors();

// Adds to 'into' the names of 'more' (both lists as takeGlErrors gives them) that it
// does not hold yet.
void mergeGlErrors(std::string& into, const std::string& more);

}  // namespace corvalis
