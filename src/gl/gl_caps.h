#pragma once
// The table of extension capabilities and entry points of one context: every
// TestWindow probes its own, because entry points belong to a context.

#include <cstdint>
#include <functional>

#include "platform/gl_include.h"
#include "platform/platform.h"

namespace corvalis {

// Signatures of the ATI vertex array object entry points (absent from modern glext.h).
typedef GLuint(APIENTRYP PfnGlNewObjectBufferAti)(GLsizei size, const void* pointer, GLenum usage);
typedef void(APIENTRYP PfnGlUpdateObjectBufferAti)(GLuint buffer, GLuint offset, GLsizei size,
                                                  const void* pointer, GLenum preserve);
typedef void(APIENTRYP PfnGlFreeObjectBufferAti)(GLuint buffer);
typedef void(APIENTRYP PfnGlArrayObjectAti)(GLenum array, GLint size, GLenum type, GLsizei stride,
                                           GLuint buffer, GLuint offset);
typedef void(APIENTRYP PfnGlColorTableExt)(GLenum target, GLenum internalFormat, GLsizei width,
                                          GLenum format, GLenum type, const void* table);
typedef int(APIENTRYP PfnWglSwapIntervalExt)(int interval);
typedef const char*(APIENTRYP PfnWglGetExtensionsStringArb)(void* dc);

struct GlCaps {
  bool swapControl = false;
  bool multitexture = false;
  int32_t maxTextureUnits = 1;
  bool vertexBufferObject = false;
  bool vertexArrayObjectATI = false;
  bool fragmentProgram = false;
  bool palettedTexture = false;
  bool drawRangeElements = false;
  bool anisotropicFilter = false;
  int32_t maxAnisotropy = 0;
  bool edgeClamp = false;
  bool envCombine = false;
  bool compressedS3TC = false;

  PfnWglSwapIntervalExt wglSwapIntervalEXT = nullptr;
  PfnWglGetExtensionsStringArb wglGetExtensionsStringARB = nullptr;

  PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB = nullptr;
  PFNGLMULTITEXCOORD1FARBPROC glMultiTexCoord1fARB = nullptr;
  PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB = nullptr;
  PFNGLACTIVETEXTUREARBPROC glActiveTextureARB = nullptr;

  PFNGLGENBUFFERSARBPROC glGenBuffersARB = nullptr;
  PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB = nullptr;
  PFNGLBINDBUFFERARBPROC glBindBufferARB = nullptr;
  PFNGLBUFFERDATAARBPROC glBufferDataARB = nullptr;
  PFNGLBUFFERSUBDATAARBPROC glBufferSubDataARB = nullptr;
  PFNGLMAPBUFFERARBPROC glMapBufferARB = nullptr;
  PFNGLUNMAPBUFFERARBPROC glUnmapBufferARB = nullptr;

  PfnGlNewObjectBufferAti glNewObjectBufferATI = nullptr;
  PfnGlUpdateObjectBufferAti glUpdateObjectBufferATI = nullptr;
  PfnGlFreeObjectBufferAti glFreeObjectBufferATI = nullptr;
  PfnGlArrayObjectAti glArrayObjectATI = nullptr;

  PFNGLGENPROGRAMSARBPROC glGenProgramsARB = nullptr;
  PFNGLDELETEPROGRAMSARBPROC glDeleteProgramsARB = nullptr;
  PFNGLBINDPROGRAMARBPROC glBindProgramARB = nullptr;
  PFNGLPROGRAMSTRINGARBPROC glProgramStringARB = nullptr;
  PFNGLPROGRAMENVPARAMETER4FVARBPROC glProgramEnvParameter4fvARB = nullptr;
  PFNGLGETPROGRAMIVARBPROC glGetProgramivARB = nullptr;

  PfnGlColorTableExt glColorTableEXT = nullptr;
  PFNGLDRAWRANGEELEMENTSEXTPROC glDrawRangeElementsEXT = nullptr;
  PFNGLCOMPRESSEDTEXIMAGE2DARBPROC glCompressedTexImage2DARB = nullptr;

  // GL_EXTENSIONS of the probed context, fetched on the probe's first look-up; owned by
  // that context.
  const char* extensionString = nullptr;
};

// What the probe reads from the current context. Tests substitute their own answers to
// drive the probe without a driver; the default reads the real context.
struct GlQueries {
  std::function<const char*()> extensions;               // glGetString(GL_EXTENSIONS)
  std::function<void(GLenum name, GLint* value)> getInteger;  // glGetIntegerv
};

// The table of the current context, filled from a cleared one.
GlCaps probeExtensions(platform::DeviceContext dc);
// The same probe, reading through the given queries; entry points still come from the
// installed platform's getProcAddress.
GlCaps probeExtensions(platform::DeviceContext dc, const GlQueries& queries);
// True when name occurs as a whole word in the extension string the probe read.
bool hasExtension(const GlCaps& caps, const char* name);
// The whole-word search itself, over a given list (spaces separate names).
bool extensionListed(const char* extensions, const char* name);

}  // namespace corvalis
