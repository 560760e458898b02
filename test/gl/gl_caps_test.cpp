#include "gl/gl_caps.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "platform/fake/fake_platform.h"

namespace corvalis {
namespace {

TEST(ExtensionListed, WholeWordsOnlyAndSpacesTolerated) {
  const char* list = " GL_ARB_multitexture  GL_EXT_texture3D ";
  EXPECT_TRUE(extensionListed(list, "GL_ARB_multitexture"));
  EXPECT_TRUE(extensionListed(list, "GL_EXT_texture3D"));
  EXPECT_FALSE(extensionListed(list, "GL_EXT_texture"));
  EXPECT_FALSE(extensionListed(list, "GL_ARB_multi"));
  EXPECT_FALSE(extensionListed(list, "multitexture"));
  EXPECT_FALSE(extensionListed(list, "GL_EXT_texture3D_more"));
  EXPECT_TRUE(extensionListed("GL_A", "GL_A")) << "the last name ends at the terminator";
  EXPECT_FALSE(extensionListed("", "GL_A"));
  EXPECT_FALSE(extensionListed("   ", "GL_A"));
  EXPECT_FALSE(extensionListed(nullptr, "GL_A"));
  EXPECT_FALSE(extensionListed("GL_A ", ""));
}

// Runs the probe against a scripted extension list and integer answers.
class ProbeExtensionsTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::install(&fake); }
  void TearDown() override { platform::install(nullptr); }

  void probe() {
    GlQueries queries;
    queries.extensions = [this] { return extensions.c_str(); };
    queries.getInteger = [this](GLenum name, GLint* value) {
      auto found = integers.find(name);
      if (found != integers.end()) *value = found->second;
    };
    caps = probeExtensions(&dcMarker, queries);
  }

  platform::FakePlatform fake;
  std::string extensions;
  std::map<GLenum, GLint> integers = {{GL_MAX_TEXTURE_UNITS_ARB, 4},
                                      {GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, 16}};
  char dcMarker = 0;
  GlCaps caps;
};

TEST_F(ProbeExtensionsTest, FullDriverSetsEveryFlag) {
  extensions =
      "WGL_EXT_swap_control GL_ARB_multitexture GL_ARB_vertex_buffer_object "
      "GL_ATI_vertex_array_object GL_ARB_fragment_program GL_EXT_paletted_texture "
      "GL_EXT_shared_texture_palette GL_EXT_draw_range_elements "
      "GL_EXT_texture_filter_anisotropic GL_SGIS_texture_edge_clamp GL_EXT_texture_env_combine "
      "GL_EXT_texture_compression_s3tc GL_ARB_texture_compression";
  probe();
  const std::pair<const char*, bool> flags[] = {
      {"swapControl", caps.swapControl},         {"multitexture", caps.multitexture},
      {"vertexBufferObject", caps.vertexBufferObject}, {"vertexArrayObjectATI", caps.vertexArrayObjectATI},
      {"fragmentProgram", caps.fragmentProgram}, {"palettedTexture", caps.palettedTexture},
      {"drawRangeElements", caps.drawRangeElements}, {"anisotropicFilter", caps.anisotropicFilter},
      {"edgeClamp", caps.edgeClamp}, {"envCombine", caps.envCombine}, {"compressedS3TC", caps.compressedS3TC}};
  for (const auto& [name, set] : flags) EXPECT_TRUE(set) << name;
  EXPECT_EQ(caps.maxTextureUnits, 4);
  EXPECT_EQ(caps.maxAnisotropy, 16);
  EXPECT_NE(caps.glActiveTextureARB, nullptr);
  EXPECT_NE(caps.glUnmapBufferARB, nullptr);
  EXPECT_EQ(fake.count("wglGetExtensionsStringARB"), 1) << "called once with the device context";
  EXPECT_STREQ(caps.extensionString, extensions.c_str());
}

TEST_F(ProbeExtensionsTest, ListedButMissingEntryPointStopsTheChain) {
  extensions = "GL_ARB_multitexture GL_ARB_vertex_buffer_object";
  fake.missingProcs = {"glClientActiveTextureARB", "glMapBufferARB"};
  probe();
  EXPECT_FALSE(caps.multitexture);
  EXPECT_EQ(caps.maxTextureUnits, 1);
  EXPECT_FALSE(caps.vertexBufferObject);
  EXPECT_EQ(caps.glActiveTextureARB, nullptr);
}

// An answer of 1 for the anisotropy limit counts only with its extension listed, and
// even then is no filter.
TEST_F(ProbeExtensionsTest, EntryPointsWithoutTheirExtensionAreNotUsed) {
  extensions = "GL_EXT_paletted_texture GL_EXT_texture_compression_s3tc";
  integers[GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT] = 1;
  probe();
  EXPECT_FALSE(caps.swapControl) << "wglSwapIntervalEXT resolves but is not listed";
  EXPECT_FALSE(caps.palettedTexture) << "shared palette missing";
  EXPECT_FALSE(caps.compressedS3TC) << "ARB_texture_compression missing";
  EXPECT_FALSE(caps.multitexture);
  EXPECT_EQ(caps.maxAnisotropy, 0);
  EXPECT_FALSE(caps.edgeClamp);

  extensions = "GL_EXT_texture_filter_anisotropic GL_EXT_texture_edge_clamp";
  probe();
  EXPECT_EQ(caps.maxAnisotropy, 1);
  EXPECT_FALSE(caps.anisotropicFilter);
  EXPECT_TRUE(caps.edgeClamp);
}

TEST_F(ProbeExtensionsTest, SecondProbeStartsFromAClearedTable) {
  extensions = "GL_ARB_multitexture WGL_EXT_swap_control";
  probe();
  ASSERT_TRUE(caps.multitexture);
  std::string second = "GL_EXT_texture_env_combine";
  extensions = second;
  probe();
  EXPECT_FALSE(caps.multitexture);
  EXPECT_FALSE(caps.swapControl);
  EXPECT_EQ(caps.maxTextureUnits, 1);
  EXPECT_EQ(caps.glActiveTextureARB, nullptr);
  EXPECT_TRUE(caps.envCombine);
  EXPECT_TRUE(hasExtension(caps, "GL_EXT_texture_env_combine"))
      << "the new context's string is kept";
  EXPECT_FALSE(hasExtension(caps, "GL_ARB_multitexture"));
}

}  // namespace
}  // namespace corvalis
