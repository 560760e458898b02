// Files a user hands the program, or that change behind its back, made as a hostile or
// unlucky user would: --compare on things that are no reports, reports too wide or too
// large, bytes that would steer a terminal, a malformed BASE.json, and data files
// edited between the run writing them and the charts page reading them back. Each must
// end in a clear message, a sound exit status and output of bounded size.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>

#include "integration/run_support.h"
#include "integration/shell_command.h"

using namespace corvalis_test;

namespace {

const std::string Header = "[Corvalis 0.50]\r\n";

// The most the program reads of a BASE.json: its bytes, the entries of one array, and the
// values with samples that --compare keeps of it.
constexpr size_t JsonBytes = size_t{16} << 20;
constexpr size_t JsonArray = 10000;
constexpr size_t JsonValues = 4096;

void writeFile(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(corvalis::testing::writeBytes(path, bytes)) << path;
}

// Files --compare refuses, in either place: no regular file (the kinds the file reader's
// unit tests name one by one), 8 GB without a header, a report too wide or too large, a
// malformed BASE.json beside one. Each is named on one line (exit 2, no usage text) and
// nothing is written, under 1 GB of address space: /dev/zero never ends and a FIFO without
// a writer never answers, and both were read or waited on before; one key of 400,000
// characters printed padded to its width took gigabytes.
TEST(HostileFiles, CompareRefusesWhatIsNoReportWithOneLine) {
  const std::string folder = makeTempFolder();
  writeFile(folder + "/a.txt", Header + "Info:Method=Flush\r\n");
  ASSERT_EQ(shellIn(folder, "mkfifo fifo && truncate -s 8G huge.txt"), 0);
  std::string wideKey = Header + std::string(400000, 'K') + "=1\r\n";
  for (int i = 0; i < 40000; ++i) wideKey += "k" + std::to_string(i) + "=1\r\n";
  writeFile(folder + "/widekey.txt", wideKey);
  std::string large = Header;
  while (large.size() <= (1u << 20)) large += "Fillrate:32:Col=100.000 M Pix/s\r\n";
  writeFile(folder + "/large.txt", large);
  // Keys beyond what a run writes, in one report or over the reports of one comparison
  // (whose table holds a cell per key and run: ten reports of 1 MiB took 1.6 GB), and
  // more text in all than a comparison holds.
  std::string keys = Header;
  for (int i = 0; i <= 4096; ++i) keys += "k" + std::to_string(i) + "=1\r\n";
  writeFile(folder + "/keys.txt", keys);
  std::string distinct, wide = Header, wideFiles;
  for (int f = 0; f < 4; ++f) {
    distinct.clear();
    for (int i = 0; i < 4096; ++i) distinct += std::to_string(f) + "_" + std::to_string(i) + "=1\r\n";
    writeFile(folder + "/d" + std::to_string(f) + ".txt", Header + distinct);
  }
  for (int i = 0; i < 256; ++i) wide += "k" + std::to_string(i) + "=" + std::string(4000, 'v') + "\r\n";
  writeFile(folder + "/wide.txt", wide);
  for (int f = 0; f < 17; ++f) {
    const std::string name = "w" + std::to_string(f) + ".txt";
    ASSERT_EQ(link((folder + "/wide.txt").c_str(), (folder + "/" + name).c_str()), 0);
    wideFiles += (f ? " " : "") + name;
  }
  writeFile(folder + "/b.txt", Header + "Info:Method=Swap\r\n");
  writeFile(folder + "/b.json", "{\"program\": \"Corvalis\", \"values\": {");
  // A number beyond a double threw out of the JSON library and aborted the program; an
  // array longer than any run writes and a file one byte over the limit are refused.
  const std::string fillrate = Header + "Fillrate:Color=480.311 M Pix/s\r\n";
  for (const char* name : {"/over.txt", "/long.txt", "/limit.txt"}) writeFile(folder + name, fillrate);
  writeFile(folder + "/over.json", "{\"program\":\"Corvalis\",\"values\":{\"Fillrate:Color\":{\"min\":1e999}}}");
  std::string samples = "{\"program\":\"Corvalis\",\"values\":{\"Fillrate:Color\":{\"samples\":[1";
  for (size_t i = 0; i < JsonArray; ++i) samples += ",1";
  writeFile(folder + "/long.json", samples + "]}}}");
  writeFile(folder + "/limit.json", "{\"program\":\"Corvalis\"}" +
                                        std::string(JsonBytes - 21, ' '));
  const std::pair<std::string, std::string> cases[] = {  // the file, what is said of it
      {"/dev/zero", "/dev/zero: cannot be read: a character device, not a regular file"},
      {"fifo", "fifo: cannot be read: a FIFO (named pipe), not a regular file"},
      {"huge.txt", "huge.txt: not a Corvalis text report (no [Corvalis 0.50] header)"},
      {"widekey.txt", "widekey.txt: line 2: longer than 4096 bytes, the limit for a line of a text report"},
      {"large.txt", "large.txt: larger than 1 MiB, the limit for a text report"},
      {"keys.txt", "keys.txt: more than 4096 keys, more than this program writes"},
      {"d0.txt d1.txt d2.txt d3.txt",
       "5 reports with more than 13107 different keys: more than 65536 values (keys x reports), "
       "the limit for one comparison"},
      {wideFiles, "reports with more than 16 MiB of keys and values in all, the limit for one comparison"},
      {"b.txt", "b.json: not valid JSON (at byte 36)"},
      {"over.txt", "over.json: a number too large for a double (at byte 61)"},
      {"long.txt", "long.json: an array of more than 10000 entries, more than this program writes"},
      {"limit.txt", "limit.json: larger than 16 MiB, the limit for BASE.json"},
  };
  for (const auto& [path, what] : cases) {
    for (const std::string& args : {path + " a.txt", "a.txt " + path}) {
      EXPECT_EQ(shellIn(folder, "$B --compare " + args + " --output cmp >out 2>err", 1000000), 2)
          << args;
      EXPECT_EQ(readBytes(folder + "/err"), "corvalis: --compare: " + what + "\n");
      EXPECT_EQ(readBytes(folder + "/out"), "") << args;
      EXPECT_FALSE(fileExists(folder + "/cmp.compare.htm")) << args;
    }
  }
}

// What --compare keeps of a BASE.json is bounded per file, whatever the file holds: one
// of 64 MiB of samples took 1.38 GB and kept 265 MB loaded, so that 50 would have needed
// 14 GB. Eight runs, each with a BASE.json of exactly the byte limit filled with the
// costliest document accepted (every value of the report with samples, arrays at their
// longest), stay under 200 MiB; text reports at the limits of one comparison under
// 256 MiB. The peaks are in the failure messages.
TEST(HostileFiles, CompareMemoryIsBoundedPerFileAndInAll) {
  const std::string folder = makeTempFolder();
  std::string report = Header, json = "{\"program\":\"Corvalis\",\"values\":{";
  const size_t perValue = JsonBytes / JsonValues / 2 - 32;
  for (size_t i = 0; i < JsonValues; ++i) {
    const std::string key = "Fillrate:K" + std::to_string(i);
    report += key + "=" + std::to_string(100 + i % 7) + ".000 M Pix/s\r\n";
    json += (i ? ",\"" : "\"") + key + "\":{\"samples\":[1";
    for (size_t n = 1; n < perValue; ++n) json += n % 2 ? ",2" : ",1";
    json += "]}";
  }
  json += "}}";
  ASSERT_LE(json.size(), JsonBytes);
  json.resize(JsonBytes, ' ');  // to the byte
  writeFile(folder + "/r.json", json);
  std::vector<std::string> args{"--compare"};
  for (int i = 0; i < 8; ++i) {
    const std::string name = "r" + std::to_string(i);
    writeFile(folder + "/" + name + ".txt", report);
    ASSERT_EQ(link((folder + "/r.json").c_str(), (folder + "/" + name + ".json").c_str()), 0);
    args.push_back(name + ".txt");
  }
  const RunResult r = runCorvalis(args, {}, folder);
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "\nFillrate:K4095  100.000 M Pix/s  ")) << r.out.substr(0, 2000);
  EXPECT_LT(r.peakKilobytes, 200 * 1024) << "peak resident size " << r.peakKilobytes << " KiB";
  std::cout << "peak resident size of --compare over 8 runs: " << r.peakKilobytes << " KiB\n";
  // The text reports at the limits of one comparison, with the gate and both files: 16 of
  // almost 1 MiB with the same 4,084 keys (65,344 cells, just under 16 MiB of text).
  std::string large = Header;
  for (int i = 0;; ++i) {
    std::string line = "Fillrate:K" + std::to_string(i) + "=" + std::to_string(100 + i % 7) +
                       ".000 M Pix/s" + std::string(225, 'x') + "\r\n";
    if (large.size() + line.size() > (size_t{1} << 20)) break;
    large += line;
  }
  writeFile(folder + "/large.txt", large);
  std::vector<std::string> largeArgs{"--compare"};
  for (int i = 0; i < 16; ++i) {
    const std::string name = "large" + std::to_string(i) + ".txt";
    ASSERT_EQ(link((folder + "/large.txt").c_str(), (folder + "/" + name).c_str()), 0);
    largeArgs.push_back(name);
  }
  for (const char* arg : {"--fail-on-regression", "5", "--output", "cmp"}) largeArgs.push_back(arg);
  const RunResult l = runCorvalis(largeArgs, {}, folder);
  ASSERT_EQ(l.exitStatus, 0) << l.err;
  EXPECT_TRUE(contains(l.out, "\nverdict: pass, 0 regressions\n")) << l.err;
  EXPECT_LT(l.peakKilobytes, 256 * 1024) << "peak resident size " << l.peakKilobytes << " KiB";
  std::cout << "peak resident size of --compare over 16 text reports: " << l.peakKilobytes
            << " KiB\n";
}

// A NUL, an OSC title sequence, a carriage return, DEL and C1 controls in keys and values,
// and a key and value of 2,000 characters over 4,000 rows: the table shows blanks for the
// controls and cuts every column to 96 characters, so that it grows with the rows alone;
// the page keeps the texts whole, with the same blanks, and is written to its end.
TEST(HostileFiles, CompareCleansControlBytesAndCutsWideColumns) {
  const std::string folder = makeTempFolder();
  const std::string key(2000, 'K'), value(2000, 'V');
  std::string evil = Header + std::string("Info:Driver=ab\0cd\r\n", 19) +
                     "Info:Esc=x\x1B]0;pwned\x07y\rOVER\x7F\x85\x9B" "1m\r\n"
                     "Key\x1B[2J=1.000 M Pix/s\r\n" + key + "=" + value + "\r\n";
  for (int i = 0; i < 4000; ++i) evil += "k" + std::to_string(i) + "=1\r\n";
  writeFile(folder + "/evil.txt", evil);
  writeFile(folder + "/a.txt", Header + "Info:Driver=llvmpipe\r\nKey\x1B[2J=2.000 M Pix/s\r\nk7=2\r\n");
  ASSERT_EQ(shellIn(folder, "$B --compare evil.txt a.txt --output cmp >out 2>err", 1000000), 0)
      << readBytes(folder + "/err");
  const std::string out = readBytes(folder + "/out");
  EXPECT_EQ(readBytes(folder + "/err"), "");
  size_t longest = 0, lines = 0;
  std::istringstream split(out);
  for (std::string line; std::getline(split, line); ++lines) longest = std::max(longest, line.size());
  EXPECT_EQ(lines, 1u + 4004u + 2u + 2u);  // heading, rows, two notes, "Comparison:" and path
  EXPECT_LE(longest, 4u * (96 + 2) + 10) << "a row wider than four bounded columns";
  for (const char* row : {"\nInfo:Driver +ab cd +llvmpipe\n", "\nk7 +1 +2 +2\\.000 \\*\n",
                          "\nInfo:Esc +x \\]0;pwned y OVER   1m +\\(missing\\)\n",
                          "\nKey \\[2J +1\\.000 M Pix/s +2\\.000 M Pix/s +2\\.000 \\*\n"})
    EXPECT_TRUE(std::regex_search(out, std::regex(row))) << row << out.substr(0, 2000);
  EXPECT_TRUE(contains(out, "\n" + key.substr(0, 93) + "...  " + value.substr(0, 93) + "...  (missing)\n"));
  EXPECT_TRUE(contains(out, "texts longer than 96 characters are cut and end in \"...\""));
  EXPECT_TRUE(contains(out, "\nComparison:\n"));
  const std::string page = readBytes(folder + "/cmp.compare.htm");
  for (const std::string& cell : {std::string("<td>ab cd</td>"), std::string("<td>x ]0;pwned y OVER   1m</td>"),
                                  "<tr><td>" + key + "</td><td>" + value + "</td>"})
    EXPECT_TRUE(contains(page, cell)) << cell.substr(0, 40);
  const std::string end = "</table>\r\n</body>\r\n</html>\r\n";
  ASSERT_GT(page.size(), end.size());
  EXPECT_EQ(page.substr(page.size() - end.size()), end);
  // No control byte but the line ends: C0, DEL, and C1 as a byte (the page) or as
  // UTF-8 (the terminal).
  for (const std::string* text : {&out, &page}) {
    for (size_t i = 0; i < text->size(); ++i) {
      const unsigned char byte = static_cast<unsigned char>((*text)[i]);
      const bool c1 = text == &page ? byte >= 0x80 && byte <= 0x9F
                                    : byte == 0xC2 && i + 1 < text->size() &&
                                          static_cast<unsigned char>((*text)[i + 1]) <= 0x9F;
      if ((byte < 0x20 && byte != '\n' && byte != '\r') || byte == 0x7F || c1)
        ADD_FAILURE() << "control byte " << static_cast<int>(byte) << " at " << i;
    }
  }
}

// Numbers a hand-made report can hold and no run writes, each compared with itself or a
// neighbour: a negative rate is never slower than itself at any PCT (v < v * (1 - PCT/100)
// held for every negative v, and more so at a larger PCT); values near the largest double
// keep the page's bars finite (158 * v / largest overflowed to width="inf"); a PCT that
// underflows a double reads as 0, like any smaller one, where 1e-300 was taken and 1e-400
// refused.
TEST(HostileFiles, CompareHandMadeNumbersGiveSoundVerdictsAndFiniteBars) {
  const std::string folder = makeTempFolder();
  writeFile(folder + "/neg.txt", Header + "Fillrate:Color=-5.000 M Pix/s\r\n");
  writeFile(folder + "/huge.txt", Header + "Fillrate:Color=1.7976e308 Pix/s\r\n");
  writeFile(folder + "/big.txt", Header + "Fillrate:Color=1.5e306 Pix/s\r\n");
  const struct {
    std::string args, gateLine;
  } cases[] = {
      {"neg.txt neg.txt --fail-on-regression 0", "--fail-on-regression 0"},
      {"neg.txt neg.txt --fail-on-regression 5", "--fail-on-regression 5"},
      {"neg.txt neg.txt --fail-on-regression 100", "--fail-on-regression 100"},
      {"big.txt huge.txt huge.txt --fail-on-regression 1e-300", "--fail-on-regression 1e-300"},
      {"big.txt huge.txt --fail-on-regression 1e-400", "--fail-on-regression 0"},
      {"big.txt huge.txt --fail-on-regression -1e-400", "--fail-on-regression 0"},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(shellIn(folder, "rm -f cmp.*; $B --compare " + c.args + " --output cmp", 0, &out), 0)
        << c.args << "\n" << out;
    EXPECT_TRUE(contains(out, "gate (" + c.gateLine + "): ")) << out;
    EXPECT_TRUE(contains(out, "\nverdict: pass, 0 regressions\n")) << out;
    const std::string page = readBytes(folder + "/cmp.compare.htm");
    EXPECT_GE(occurrences(page, "<rect "), 2u) << c.args;
    EXPECT_TRUE(contains(page, " width=\"158.0\" ")) << c.args;  // the largest bar, whole
    EXPECT_FALSE(std::regex_search(page, std::regex("<rect[^>]*=\"[^\"]*(nan|inf)"))) << page;
  }
  // The slower of two runs still fails at any PCT below its drop, also at that scale.
  std::string out;
  EXPECT_EQ(shellIn(folder, "$B --compare huge.txt big.txt --fail-on-regression 1e-400", 0, &out), 4)
      << out;
}

// The charts page reads the data files back after the run: one edited in between (a
// subnormal rate, a working set of 1e308, a negative rate, not a number, infinity) must
// not reach the SVG as nan or infinity, nor lose the axis its ticks. The edit is made by a
// library loaded under the program that replaces the file right after its rename. The
// page's unit tests draw every such value; this is the path from the edited file.
TEST(HostileFiles, TamperedChartDataIsLeftOutWithANote) {
  const std::string folder = makeTempFolder();
  const std::string csv = "rgba_fetches/s,bytes\r\n64278904.0,4\r\n4.94e-324,8\r\n33670472.0,1e308\r\n"
                          "-5,32\r\nnan,64\r\n80366168.0,inf\r\n20000000.0,256\r\n";
  writeFile(folder + "/tampered.csv", csv);
  const RunResult r = runCorvalis({"-64x48", "--tests", "texcache", "--output", "t"},
                                  {{"LD_PRELOAD", CORVALIS_TAMPER_LIBRARY},
                                   {"CORVALIS_TAMPER_SUFFIX", "t.rgba.csv"},
                                   {"CORVALIS_TAMPER_WITH", folder + "/tampered.csv"}},
                                  folder);
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_EQ(readBytes(folder + "/t.rgba.csv"), csv) << "the edit did not happen";
  const std::string page = readBytes(folder + "/t.charts.htm");
  const size_t begin = page.find("Texture cache: RGBA textures");
  ASSERT_NE(begin, std::string::npos) << r.err;
  const std::string chart = page.substr(begin, page.find("</figure>", begin) - begin);
  EXPECT_TRUE(contains(chart, "Left out of this chart: 5 values that no measurement gives")) << chart;
  EXPECT_FALSE(std::regex_search(chart, std::regex("=\"[^\"]*(nan|inf)"))) << chart;
  // The axes keep their tick labels (the y labels end left of the plot at x 84).
  EXPECT_GE(occurrences(chart, "<text x=\"84.0\""), 2u) << chart;
  EXPECT_GE(occurrences(chart, "y=\"338.0\" text-anchor=\"middle\">"), 2u) << chart;
}

}  // namespace
