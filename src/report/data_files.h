#pragma once
// The data files that Texture cache and Tiling write beside the reports, and that the
// charts page and BASE.json name again: one table of kinds, so that the file names, the
// report keys and the chart titles cannot drift apart.

namespace corvalis {

struct DataFileKind {
  const char* name;    // the file's name after the base name: BASE.rgba.csv is "rgba";
                       // BASE.json keys the file's rows by it
  const char* suffix;  // the same name as the reports link it, dots and extension included
  const char* key;     // the report key of the detected value: TexCache:RGBA, Tiling:Color
  const char* title;   // what the chart of the file is about
};

// Texture cache, one file per texture format, in the order the test measures them:
// RGBA, DXT1, DXT5, paletted.
constexpr DataFileKind CacheDataFiles[4] = {{"rgba", ".rgba.csv", "RGBA", "RGBA textures"},
                                            {"dxt1", ".dxt1.csv", "DXT1", "DXT1 textures"},
                                            {"dxt5", ".dxt5.csv", "DXT5", "DXT5 textures"},
                                            {"pal8", ".pal8.csv", "Pal", "paletted textures"}};

// Tiling, one file per buffer set-up, in the order the report lists them: all buffers,
// colour, depth, stencil.
constexpr DataFileKind TileDataFiles[4] = {{"tile_all", ".tile_all.csv", "Combined", "all buffers"},
                                           {"tile_c", ".tile_c.csv", "Color", "color buffer"},
                                           {"tile_z", ".tile_z.csv", "Z", "depth buffer"},
                                           {"tile_s", ".tile_s.csv", "Stencil", "stencil buffer"}};

}  // namespace corvalis
