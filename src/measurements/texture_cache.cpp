#include "measurements/texture_cache.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "framework/format.h"
#include "framework/gl_errors.h"
#include "framework/measurement_loop.h"
#include "framework/prng.h"
#include "framework/progress.h"
#include "framework/sample_stats.h"
#include "framework/stop_request.h"
#include "framework/timers.h"
#include "gl/display_config.h"
#include "gl/gl_caps.h"
#include "gl/window.h"
#include "measurements/csv_data_file.h"
#include "platform/gl_include.h"
#include "report/data_files.h"
#include "report/output_file.h"
#include "report/result_report.h"

namespace corvalis {

namespace {

// Texel data every texture and the palette are made from.
constexpr size_t TexelDataBytes = 16777216;

// How each format appears in the report; its key and data file stand in CacheDataFiles.
const char* const formatTexts[CacheFormats] = {" using RGBA textures", " using DXT1 textures",
                                               " using DXT5 textures", " using paletted textures"};

// The texture cache row of the loop family: four quads a batch, a glFinish every 128
// quads to bound the queue, at least 0.25 s or 2000 quads. With timeBoundQueue, a
// renderer that takes longer than the minimum time for 128 quads gets its glFinish
// as soon as the minimum time's worth is queued (nextQueueFinish), so each size takes
// about 0.25 s there too instead of a whole 128-quad queue.
LoopSpec textureCacheLoop(bool timeBoundQueue) {
  LoopSpec spec;
  spec.step = 4;
  spec.cap = 2000;
  spec.minSeconds = 0.25;
  spec.batchEnd = BatchEnd::Sync;
  spec.finishEvery = 128;
  spec.warmupSwap = false;  // the warm-up is a swap and a clear, no draw
  spec.timeBoundQueue = timeBoundQueue;
  return spec;
}

// With repeats, the sizes are visited in four rounds per repeat, and the visits of a size
// together take about its single window. A visit draws at least one batch of four
// full-window quads, which on a software renderer at 1024x768 already takes some 20 ms;
// the visits are kept that short, since neighbouring sizes measured right after each
// other share the machine's load, and many such pairs pin a drop down better than few
// long ones.
constexpr double SliceBudget = 1.0;
constexpr int RoundsPerRepeat = 4;
// The adaptive mode's most further passes over a format whose answer stays uncertain.
constexpr int AutoExtraSweeps = 1;

// Filtering and wrapping shared by all eight textures.
void setTextureParameters() {
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
}

// An RGBA8 texture with its full mip chain built by GLU; left bound.
GLuint makeRgbaTexture(int width, int height, const unsigned char* data) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA8, width, height, GL_RGBA, GL_UNSIGNED_BYTE, data);
  setTextureParameters();
  return texture;
}

// Bits of one texel of level 0 of the bound texture, as the GL stores it.
int boundTextureBitsPerTexel() {
  GLint red = 0, green = 0, blue = 0, alpha = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_RED_SIZE, &red);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_GREEN_SIZE, &green);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_BLUE_SIZE, &blue);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha);
  return red + green + blue + alpha;
}

// A texture given level by level from the start of the data, which the driver
// converts to internalFormat (compressing it for S3TC).
GLuint makeLevelTexture(GLenum internalFormat, GLenum sourceFormat, int width, int height,
                        const unsigned char* data) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  for (int level = 0, w = width, h = height; w >= 1; ++level, w /= 2, h = std::max(1, h / 2)) {
    glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(internalFormat), w, h, 0, sourceFormat,
                 GL_UNSIGNED_BYTE, data);
  }
  setTextureParameters();
  return texture;
}

// The square and the wide texture of one driver-converted format.
void makeLevelSweep(FormatSweep& sweep, GLenum internalFormat, GLenum sourceFormat,
                    int bitsPerTexel, int firstIndex, int log2Side, const unsigned char* data) {
  const int side = 1 << log2Side;
  sweep.squareTexture = makeLevelTexture(internalFormat, sourceFormat, side, side, data);
  sweep.wideTexture =
      makeLevelTexture(internalFormat, sourceFormat, side, std::max(1, side / 2), data);
  sweep.bitsPerTexel = bitsPerTexel;
  sweep.firstIndex = firstIndex;
  sweep.lastIndex = 2 * log2Side;
}

// Every fragment textured, blended, writing depth and inverting stencil, for the run.
void setupFragmentState() {
  glDisable(GL_DITHER);
  glDisable(GL_CULL_FACE);
  glColor4ub(255, 255, 255, 192);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  glDepthFunc(GL_ALWAYS);
  glDepthMask(GL_TRUE);
  glEnable(GL_DEPTH_TEST);
  glStencilFunc(GL_ALWAYS, 0, ~0u);
  glStencilOp(GL_INVERT, GL_INVERT, GL_INVERT);
  glStencilMask(~0u);
  glEnable(GL_STENCIL_TEST);
}

// Quads drawn from the vertex array that buildQuads set, textured and modulated.
void setupTexturedArrayState() {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

void deleteTexture(uint32_t& texture) {
  if (texture != 0) {
    GLuint name = texture;
    glDeleteTextures(1, &name);
  }
  texture = 0;
}

}  // namespace

void TextureCacheTest::run(const RunContext& context) {
  quadVertices.reset();
  // A new run starts from nothing, so a sweep skipped now never reports old rates.
  for (FormatSweep& sweep : sweeps) sweep = FormatSweep();
  for (float& bytes : cacheBytes) bytes = 0.0f;
  {
    TestWindow window(32, true, true);
    window.describeFormat(modeText, sizeof modeText);
    failed = window.initFailed;
    if (!failed) measure(window, context);
  }
  if (!failed && !context.inRounds()) judgeSingleRun();
  hasRun = true;
}

// How sure each answer of a single run is: judged against the largest wiggle of all the
// formats' curves, since load that shook one sweep may have missed another by chance.
void TextureCacheTest::judgeSingleRun() {
  double noise = 0.0;
  for (int format = 0; format < CacheFormats; ++format)
    if (sweeps[format].measured)
      noise = std::max(noise, cacheCurveNoise(sweeps[format], cacheBytes[format]));
  for (int format = 0; format < CacheFormats; ++format)
    if (sweeps[format].measured)
      sweeps[format].evidence = judgeCacheSize(sweeps[format], cacheBytes[format], noise);
}

// Everything between the window's creation and its destruction.
void TextureCacheTest::measure(const TestWindow& window, const RunContext& context) {
  setupFragmentState();
  createTextures(window.caps);
  buildQuads();
  setupTexturedArrayState();

  const SyncMethod sync = window.syncMethod();
  runSweep(sweeps[CacheRgba], cacheBytes[CacheRgba], sync, context);
  for (int format = CacheDxt1; format < CacheFormats; ++format) {
    FormatSweep& sweep = sweeps[format];
    if (sweep.squareTexture != 0 && sweep.wideTexture != 0)
      runSweep(sweep, cacheBytes[format], sync, context);
  }

  deleteTextures();
  quadVertices.reset();
}

// The textures of every format the driver offers. The GL errors of each format's
// textures are its sweep's; those of the state before them count for RGBA.
void TextureCacheTest::createTextures(const GlCaps& caps) {
  // The same pseudo-random bytes on every run: the generator is reseeded first.
  std::vector<unsigned char> data(TexelDataBytes);
  Lcg& random = sharedRandom();
  random.seed(1234);
  for (unsigned char& byte : data) byte = static_cast<unsigned char>(random.next() & 0xff);

  GLint maxTextureSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
  const int log2Side = largestTextureLog2(maxTextureSize, screenWidth, screenHeight);
  const int side = 1 << log2Side;

  FormatSweep& rgba = sweeps[CacheRgba];
  rgba.squareTexture = makeRgbaTexture(side, side, data.data());
  rgba.bitsPerTexel = boundTextureBitsPerTexel();
  rgba.wideTexture = makeRgbaTexture(side, std::max(1, side / 2), data.data());
  rgba.firstIndex = 0;
  rgba.lastIndex = 2 * log2Side;
  rgba.glError = takeGlErrors();

  if (caps.compressedS3TC) {
    glHint(GL_TEXTURE_COMPRESSION_HINT_ARB, GL_NICEST);
    makeLevelSweep(sweeps[CacheDxt1], GL_COMPRESSED_RGB_S3TC_DXT1_EXT, GL_RGB, 4, 4, log2Side,
                   data.data());
    sweeps[CacheDxt1].glError = takeGlErrors();
    makeLevelSweep(sweeps[CacheDxt5], GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, GL_RGBA, 8, 4, log2Side,
                   data.data());
    sweeps[CacheDxt5].glError = takeGlErrors();
  }
  // NOTE: Mesa resolves glColorTableEXT to a stub without offering paletted textures;
  // the capability flag, which requires both extensions, decides.
  if (caps.palettedTexture && caps.glColorTableEXT) {
    glEnable(GL_SHARED_TEXTURE_PALETTE_EXT);
    // The first 1024 bytes of the data are the shared palette of 256 RGBA entries.
    caps.glColorTableEXT(GL_SHARED_TEXTURE_PALETTE_EXT, GL_RGBA8, 256, GL_RGBA, GL_UNSIGNED_BYTE,
                         data.data());
    makeLevelSweep(sweeps[CachePaletted], GL_COLOR_INDEX8_EXT, GL_COLOR_INDEX, 8, 0, log2Side,
                   data.data());
    sweeps[CachePaletted].glError = takeGlErrors();
  }
}

void TextureCacheTest::deleteTextures() {
  for (FormatSweep& sweep : sweeps) {
    deleteTexture(sweep.squareTexture);
    deleteTexture(sweep.wideTexture);
  }
}

void TextureCacheTest::buildQuads() {
  // Four identical full-window quads; setRegion fills in their texture coordinates.
  static const float corners[4][2] = {{-1.0f, 1.0f}, {-1.0f, -1.0f}, {1.0f, -1.0f}, {1.0f, 1.0f}};
  quadVertices.reset(new float[16 * QuadVertexFloats]);
  for (int vertex = 0; vertex < 16; ++vertex) {
    float* v = quadVertices.get() + vertex * QuadVertexFloats;
    v[0] = corners[vertex % 4][0];
    v[1] = corners[vertex % 4][1];
    v[2] = 0.0f;
    v[3] = 0.0f;
    v[4] = 0.0f;
  }
  const GLsizei stride = QuadVertexFloats * sizeof(float);
  glVertexPointer(3, GL_FLOAT, stride, quadVertices.get());
  glTexCoordPointer(2, GL_FLOAT, stride, quadVertices.get() + 3);
}

void TextureCacheTest::setRegion(int a, int b) {
  setQuadTexCoords(quadVertices.get(), a, b, screenWidth, screenHeight);
}

namespace {

// Seconds the renderer takes for one full-window quad at size index n: one quad drawn
// first, untimed, so that its first use of the texture is not counted.
double quadSeconds(int n, const std::function<void(int)>& select, const Batch& clear) {
  select(n);
  clear();
  glDrawArrays(GL_QUADS, 0, 4);
  glFinish();
  PerfTimer clock;
  glDrawArrays(GL_QUADS, 0, 4);
  glFinish();
  return clock.elapsed();
}

}  // namespace

// Times every working-set size of one format, then looks for the cache's edge. With
// repeats the sizes are visited in rounds, each round taking every size for a short
// slice, so that load that comes and goes falls on all sizes alike.
void TextureCacheTest::runSweep(FormatSweep& sweep, float& detected, const SyncMethod& sync,
                                const RunContext& context) {
  const int repeats = context.detectionRepeats();
  const double pixelsPerQuad = static_cast<double>(screenWidth) * screenHeight;
  const std::string phase = std::string(CacheDataFiles[&sweep - sweeps].key) + " sweep";
  const int steps = sweep.lastIndex - sweep.firstIndex + 1;
  const Batch clear = [&sync] {
    sync.swap();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  };
  const Batch fourQuads = [] { glDrawArrays(GL_QUADS, 0, 16); };
  // Binds the texture of size index n and sets its region.
  const auto select = [&](int n) {
    glBindTexture(GL_TEXTURE_2D, n % 2 == 0 ? sweep.squareTexture : sweep.wideTexture);
    const MipRegion region = mipRegionOf(n);
    setRegion(region.a, region.b);
  };
  std::vector<LoopResult> timed;
  const LoopSpec spec = textureCacheLoop(timeBoundQueue);
  const int rounds = RoundsPerRepeat * repeats;
  // A slice draws at least one iteration. Where four quads take longer than a slice's
  // share of the window (a software renderer at a large screen), the slices draw one
  // quad an iteration instead, the four in turn as a batch draws them, so that the rounds
  // cost about the single window there too; the rate is counted in quads either way.
  LoopSpec slice = sliceOf(spec, rounds, SliceBudget);
  Batch sliceBatch = fourQuads;
  int nextQuad = 0;
  if (repeats > 1 && quadSeconds(sweep.firstIndex, select, clear) * spec.step > slice.minSeconds) {
    LoopSpec quads = spec;
    quads.step = 1;
    slice = sliceOf(quads, rounds, SliceBudget);
    sliceBatch = [&nextQuad] {
      glDrawArrays(GL_QUADS, 4 * nextQuad, 4);
      nextQuad = (nextQuad + 1) % 4;
    };
  }
  std::vector<Pattern> sizes;
  for (int n = sweep.firstIndex; n <= sweep.lastIndex; ++n)
    sizes.push_back({sliceBatch, [&select, &clear, n] {
                       select(n);
                       clear();
                     }});
  // Rounds over every size; their slices join those of an earlier pass.
  const auto sweepInRounds = [&] {
    const std::vector<LoopResult> pass = runInRounds(slice, sync, rounds, sizes);
    for (int n = sweep.firstIndex; n <= sweep.lastIndex; ++n) {
      const LoopResult& result = pass[n - sweep.firstIndex];
      mergeGlErrors(sweep.glError, result.glError);
      for (double rate : result.rates(1.0))
        sweep.samples[n].push_back(static_cast<float>(rate * pixelsPerQuad));
      sweep.rates[n] = static_cast<float>(
          summarizeSamples(std::vector<double>(sweep.samples[n].begin(), sweep.samples[n].end()))
              .median);
    }
  };
  if (repeats > 1) {
    reportProgress(phase.c_str(), 1, 1);
    sweepInRounds();
    sweep.measured = true;
    // With repeats, an edge counts only beyond the curve's noise; the evidence is kept.
    CacheDecision decision = decideCacheSize(sweep);
    // The adaptive mode sweeps again while the answer stays uncertain and time is left.
    for (int pass = 0; context.adaptive && pass < AutoExtraSweeps; ++pass) {
      if (!decision.complete || decision.evidence.confidence != Confidence::Uncertain ||
          stopRequested() || context.pastDeadline())
        break;
      sweepInRounds();
      decision = decideCacheSize(sweep);
    }
    detected = decision.bytes;
    if (decision.complete) sweep.evidence = decision.evidence;
    return;
  }
  for (int n = sweep.firstIndex; n <= sweep.lastIndex; ++n) {
    reportProgress(phase.c_str(), n - sweep.firstIndex + 1, steps);
    select(n);
    timed.push_back(runMeasurementLoop(spec, sync, fourQuads, clear));
  }
  for (int n = sweep.firstIndex; n <= sweep.lastIndex; ++n) {
    // One texel fetch per pixel of every full-window quad.
    const LoopResult& result = timed[n - sweep.firstIndex];
    mergeGlErrors(sweep.glError, result.glError);
    sweep.rates[n] = static_cast<float>(result.rate(1.0) * pixelsPerQuad);
  }
  sweep.measured = true;
  // One sweep: the rule's answer, judged once every sweep is in (judgeSingleRun).
  detected = detectCacheSize(sweep);
}

void TextureCacheTest::writeResults(ResultReport& report) {
  if (failed) {
    report.addItem(modeText, nullptr, "Error");
    return;
  }
  report.addItem(modeText, nullptr, "Mode");
  for (int format = 0; format < CacheFormats; ++format) {
    const DataFileKind& kind = CacheDataFiles[format];
    const std::optional<Evidence>& evidence = sweeps[format].evidence;
    // RGBA always shows, even as 0; the others only when a size was found. The evidence
    // of a format that found none still goes to the machine-readable form.
    const std::string& glError = sweeps[format].glError;
    if (format != CacheRgba && cacheBytes[format] == 0.0f) {
      if (evidence) report.addEvidence(kind.key, *evidence);
      if (!glError.empty()) report.addGlError(kind.key, glError);
      continue;
    }
    Measured found(cacheBytes[format]);
    found.evidence = evidence;
    found.glError = glError;
    report.addBinaryValue(found, "B", formatTexts[format], kind.key, "CSV", kind.suffix);
  }
}

void TextureCacheTest::summary(char* buffer) {
  if (failed) return;
  std::snprintf(buffer, SummarySize, "%sB", formatBinary(cacheBytes[CacheRgba]).c_str());
}

std::string TextureCacheTest::summaryConfidence() const {
  const std::optional<Evidence>& evidence = sweeps[CacheRgba].evidence;
  return !failed && evidence ? confidenceWord(evidence->confidence) : "";
}

void TextureCacheTest::writeSweeps(ResultReport& report) {
  for (int format = 0; format < CacheFormats; ++format) {
    const FormatSweep& sweep = sweeps[format];
    if (format != CacheRgba && !sweep.measured) continue;
    std::vector<SweepRow> rows;
    const int first = std::max(sweep.firstIndex, 0);
    const int last = std::min(sweep.lastIndex, MaxSizeIndices - 1);
    for (int n = first; n <= last; ++n) {
      const std::vector<double> samples(sweep.samples[n].begin(), sweep.samples[n].end());
      rows.push_back({{"bytes", workingSetBytes(n, sweep.bitsPerTexel), {}},
                      {"rate", sweep.rates[n], samples}});
    }
    report.addSweep(CacheDataFiles[format].name, rows);
  }
}

void TextureCacheTest::writeDataFiles(const char* baseName, FileGroup& files) {
  // After a run whose window failed, every sweep is empty: the RGBA file then holds
  // its header alone and no stale rows.
  for (int format = 0; format < CacheFormats; ++format) {
    const FormatSweep& sweep = sweeps[format];
    if (format != CacheRgba && !sweep.measured) continue;
    const DataFileKind& kind = CacheDataFiles[format];
    OutputFile* file = openDataFile(files, baseName, kind.suffix);
    if (!file) continue;
    file->write(std::string(kind.name) + "_fetches/s,bytes\n");
    const int first = std::max(sweep.firstIndex, 0);
    const int last = std::min(sweep.lastIndex, MaxSizeIndices - 1);
    for (int n = first; n <= last; ++n) {
      // At most 2^22 texels of 32 bits: always within an unsigned.
      const double bytes = std::min(workingSetBytes(n, sweep.bitsPerTexel), 4294967295.0);
      file->write(csvNumber(sweep.rates[n]) + formatC(",%u\n", static_cast<unsigned>(bytes)));
    }
    file->finish();
  }
}

}  // namespace corvalis
