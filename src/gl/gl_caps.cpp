#include "gl/gl_caps.h"

#include <cstring>

namespace corvalis {

namespace {

GlQueries realQueries() {
  GlQueries queries;
  queries.extensions = [] {
    return reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  };
  queries.getInteger = [](GLenum name, GLint* value) { glGetIntegerv(name, value); };
  return queries;
}

// One probe under way: the table it fills and where it reads the context's answers.
struct Probe {
  GlCaps& caps;
  const GlQueries& queries;

  // The extension string is fetched on the first look-up, after the table was cleared.
  bool listed(const char* name) {
    if (!caps.extensionString && queries.extensions) caps.extensionString = queries.extensions();
    return extensionListed(caps.extensionString, name);
  }
};

// Resolves one entry point into its typed slot; false when it is absent.
template <typename Pointer>
bool resolve(Pointer& slot, const char* name) {
  slot = reinterpret_cast<Pointer>(platform::current().getProcAddress(name));
  return slot != nullptr;
}

GLint readInteger(const GlQueries& queries, GLenum name, GLint fallback) {
  GLint value = fallback;
  if (queries.getInteger) queries.getInteger(name, &value);
  return value;
}

// Each chain stops at its first missing entry point, and its flag needs all of them.
void probeTable(platform::DeviceContext dc, Probe& probe) {
  GlCaps& c = probe.caps;

  if (resolve(c.wglGetExtensionsStringARB, "wglGetExtensionsStringARB"))
    c.wglGetExtensionsStringARB(dc);  // called once; the GL string is what is consulted

  if (probe.listed("WGL_EXT_swap_control"))
    c.swapControl = resolve(c.wglSwapIntervalEXT, "wglSwapIntervalEXT");

  if (probe.listed("GL_ARB_multitexture") &&
      resolve(c.glMultiTexCoord2fARB, "glMultiTexCoord2fARB") &&
      resolve(c.glMultiTexCoord1fARB, "glMultiTexCoord1fARB") &&
      resolve(c.glClientActiveTextureARB, "glClientActiveTextureARB") &&
      resolve(c.glActiveTextureARB, "glActiveTextureARB")) {
    c.maxTextureUnits = readInteger(probe.queries, GL_MAX_TEXTURE_UNITS_ARB, 1);
    c.multitexture = true;
  }

  if (probe.listed("GL_ARB_vertex_buffer_object"))
    c.vertexBufferObject = resolve(c.glGenBuffersARB, "glGenBuffersARB") &&
                           resolve(c.glDeleteBuffersARB, "glDeleteBuffersARB") &&
                           resolve(c.glBindBufferARB, "glBindBufferARB") &&
                           resolve(c.glBufferDataARB, "glBufferDataARB") &&
                           resolve(c.glBufferSubDataARB, "glBufferSubDataARB") &&
                           resolve(c.glMapBufferARB, "glMapBufferARB") &&
                           resolve(c.glUnmapBufferARB, "glUnmapBufferARB");

  if (probe.listed("GL_ATI_vertex_array_object"))
    c.vertexArrayObjectATI = resolve(c.glNewObjectBufferATI, "glNewObjectBufferATI") &&
                             resolve(c.glUpdateObjectBufferATI, "glUpdateObjectBufferATI") &&
                             resolve(c.glFreeObjectBufferATI, "glFreeObjectBufferATI") &&
                             resolve(c.glArrayObjectATI, "glArrayObjectATI");

  if (probe.listed("GL_ARB_fragment_program"))
    c.fragmentProgram = resolve(c.glGenProgramsARB, "glGenProgramsARB") &&
                        resolve(c.glDeleteProgramsARB, "glDeleteProgramsARB") &&
                        resolve(c.glBindProgramARB, "glBindProgramARB") &&
                        resolve(c.glProgramStringARB, "glProgramStringARB") &&
                        resolve(c.glProgramEnvParameter4fvARB, "glProgramEnvParameter4fvARB") &&
                        resolve(c.glGetProgramivARB, "glGetProgramivARB");

  if (probe.listed("GL_EXT_paletted_texture") && probe.listed("GL_EXT_shared_texture_palette"))
    c.palettedTexture = resolve(c.glColorTableEXT, "glColorTableEXT");

  if (probe.listed("GL_EXT_draw_range_elements"))
    c.drawRangeElements = resolve(c.glDrawRangeElementsEXT, "glDrawRangeElementsEXT");

  if (probe.listed("GL_EXT_texture_filter_anisotropic")) {
    c.maxAnisotropy = readInteger(probe.queries, GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, 0);
    c.anisotropicFilter = c.maxAnisotropy > 1;
  }

  c.edgeClamp = probe.listed("GL_EXT_texture_edge_clamp") ||
                probe.listed("GL_SGIS_texture_edge_clamp");
  c.envCombine = probe.listed("GL_EXT_texture_env_combine");

  if (probe.listed("GL_EXT_texture_compression_s3tc") &&
      probe.listed("GL_ARB_texture_compression"))
    c.compressedS3TC = resolve(c.glCompressedTexImage2DARB, "glCompressedTexImage2DARB");
}

}  // namespace

GlCaps probeExtensions(platform::DeviceContext dc) { return probeExtensions(dc, realQueries()); }

GlCaps probeExtensions(platform::DeviceContext dc, const GlQueries& queries) {
  GlCaps caps;
  Probe probe{caps, queries};
  probeTable(dc, probe);
  return caps;
}

bool hasExtension(const GlCaps& caps, const char* name) {
  return extensionListed(caps.extensionString, name);
}

// Whole-word search with spaces as the only separators: a name that is only a prefix of
// a listed one does not match, and extra spaces anywhere are tolerated.
bool extensionListed(const char* extensions, const char* name) {
  if (!extensions || !name) return false;
  const size_t length = std::strlen(extensions);
  const size_t n = std::strlen(name);
  if (length == 0 || n == 0) return false;
  size_t p = 0;
  for (;;) {
    while (p < length && extensions[p] == ' ') ++p;
    if (p >= length) return false;
    if (length - p >= n && std::strncmp(extensions + p, name, n) == 0 &&
        (extensions[p + n] == ' ' || extensions[p + n] == '\0'))
      return true;
    while (p < length && extensions[p] != ' ') ++p;
    if (p >= length) return false;
  }
}

}  // namespace corvalis
