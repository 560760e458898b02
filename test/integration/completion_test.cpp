// The bash completion, run in bash as the shell runs it: COMP_WORDS and COMP_CWORD set,
// the function called, COMPREPLY read back. --tests and --device ask the real program.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "integration/run_support.h"
#include "integration/shell_command.h"

using namespace corvalis_test;

namespace {

// Single-quoted for the shell.
std::string quoted(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

using Words = std::set<std::string>;

// Completes the last of 'words' (words[0] the program) inside 'folder'; returns the exit
// status and puts COMPREPLY into 'reply', where any line the script printed on stderr
// shows up as a word too.
int complete(const std::vector<std::string>& words, const std::string& folder, Words& reply) {
  std::string array;
  for (const std::string& word : words) array += " " + quoted(word);
  const std::string command =
      "cd " + quoted(folder) + " && env -u DISPLAY bash --norc --noprofile -c " +
      quoted("source " + quoted(CORVALIS_COMPLETION) + "; COMP_WORDS=(" + array +
             "); COMP_CWORD=" + std::to_string(words.size() - 1) +
             "; _corvalis; status=$?; printf '%s\\n' \"${COMPREPLY[@]}\"; exit $status") +
      " 2>&1";
  std::string out;
  const int status = shellCommand(command, &out);
  reply.clear();
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) reply.insert(line);
  return status;
}

// Options, test lists, devices and reports; without a program to ask (a path that does not
// exist) --device completes nothing and --tests the known names, quietly and without failing.
TEST(BashCompletion, OptionsTestListsDevicesAndReports) {
  const std::string folder = makeTempFolder();
  for (const char* file : {"old.txt", "new.txt", "new.htm"}) std::ofstream(folder + "/" + file) << "x";
  const std::string program = CORVALIS_BINARY, missing = folder + "/no-such-corvalis";
  // Without its program the script falls back to a corvalis on the PATH, which would answer.
  const bool installed = std::system("command -v corvalis >/dev/null 2>&1") == 0;
  const struct {
    std::vector<std::string> words;
    Words expected;
  } cases[] = {
      {{program, "--te"}, {"--tests"}},
      {{program, "--no-bb-"}, {"--no-bb-bold", "--no-bb-code", "--no-bb-url"}},
      {{program, "--tests", "fill"}, {"fillrate"}},
      {{program, "--tests", "fillrate,te"}, {"fillrate,texcache", "fillrate,texturing"}},
      {{program, "--tests", "Tiling,fillrate,t"}, {"Tiling,fillrate,texcache", "Tiling,fillrate,texturing"}},
      {{program, "--tests", "=", "geo"}, {"geometry"}},  // --tests=geo, split at the "="
      {{program, "--tests=re"}, {"--tests=readback"}},
      {{program, "--device", ""}, {"0"}},  // llvmpipe, the one device without a GPU
      {{program, "--b-device", ""}, {"0"}},
      {{program, "--a", "GALLIUM"}, {}},  // NAME=VALUE: no file names, no options
      {{program, "--a-"}, {"--a-device"}},
      {{program, "--sync", "s"}, {"swap"}},
      {{program, "--compare", ""}, {"old.txt", "new.txt"}},
      {{program, "--compare", "old.txt", "n"}, {"new.txt"}},
      {{program, "--compare", "old.txt", "new.txt", "--fail"}, {"--fail-on-regression"}},
      {{program, "--repeat", ""}, {"auto"}},
      {{program, "--budget", ""}, {}},
      {{program, "-640x480", ""}, {}},
      {{missing, "--device", ""}, {}},
      {{missing, "--tests", "t"}, {"texcache", "texturing", "tiling"}},
  };
  for (const auto& c : cases) {
    if (c.words[0] == missing && installed) continue;
    Words reply;
    const std::string what = (c.words[0] == missing ? "no program: " : "") +
                             c.words[c.words.size() - 2] + " " + c.words.back();
    EXPECT_EQ(complete(c.words, folder, reply), 0) << what;
    EXPECT_EQ(reply, c.expected) << what;
  }
}

}  // namespace
