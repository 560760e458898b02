#include "framework/gl_errors.h"

#include <cstdio>

#include "platform/gl_include.h"

#ifndef GL_INVALID_FRAMEBUFFER_OPERATION
#define GL_INVALID_FRAMEBUFFER_OPERATION 0x0506
#endif
#ifndef GL_CONTEXT_LOST
#define GL_CONTEXT_LOST 0x0507
#endif
#ifndef GL_TABLE_TOO_LARGE
#define GL_TABLE_TOO_LARGE 0x8031
#endif

namespace corvalis {

namespace {

// A context keeps at most one flag per kind of error, so a real queue is short.
// NOTE: a context that was lost, or a call made with no context current (opengl32 on
// Windows), may answer an error on every call; the drain stops after this many.
constexpr int MaxQueuedErrors = 16;

const char* const Separator = ", ";

bool listed(const std::string& list, const std::string& name) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(Separator, start);
    if (end == std::string::npos) end = list.size();
    if (list.compare(start, end - start, name) == 0) return true;
    start = end + 2;
  }
  return false;
}

void addName(std::string& list, const std::string& name) {
  if (name.empty() || listed(list, name)) return;
  if (!list.empty()) list += Separator;
  list += name;
}

}  // namespace

std::string glErrorName(unsigned code) {
  switch (code) {
    case GL_INVALID_ENUM:
      return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE:
      return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION:
      return "GL_INVALID_OPERATION";
    case GL_STACK_OVERFLOW:
      return "GL_STACK_OVERFLOW";
    case GL_STACK_UNDERFLOW:
      return "GL_STACK_UNDERFLOW";
    case GL_OUT_OF_MEMORY:
      return "GL_OUT_OF_MEMORY";
    case GL_INVALID_FRAMEBUFFER_OPERATION:
      return "GL_INVALID_FRAMEBUFFER_OPERATION";
    case GL_CONTEXT_LOST:
      return "GL_CONTEXT_LOST";
    case GL_TABLE_TOO_LARGE:
      return "GL_TABLE_TOO_LARGE";
    default:
      break;
  }
  char text[32];
  std::snprintf(text, sizeof text, "GL error 0x%04X", code);
  return text;
}

std::string takeGlErrors() {
  std::string names;
  for (int i = 0; i < MaxQueuedErrors; ++i) {
    const GLenum code = glGetError();
    if (code == GL_NO_ERROR) break;
    addName(names, glErrorName(code));
  }
  return names;
}

void mergeGlErrors(std::string& into, const std::string& more) {
  size_t start = 0;
  while (start < more.size()) {
    size_t end = more.find(Separator, start);
    if (end == std::string::npos) end = more.size();
    addName(into, more.substr(start, end - start));
    start = end + 2;
  }
}

}  // namespace corvalis
