#include "app/cli_options.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "app/launcher_settings.h"
#include "app/text_encoding.h"
#include "framework/run_context.h"

namespace corvalis {

namespace {

// "'X' (U+20AC)": the character in UTF-8 and its code point.
std::string codePointText(unsigned long point) {
  std::string utf8;
  if (point < 0x800) {
    utf8 += static_cast<char>(0xC0 | (point >> 6));
  } else if (point < 0x10000) {
    utf8 += static_cast<char>(0xE0 | (point >> 12));
    utf8 += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
  } else {
    utf8 += static_cast<char>(0xF0 | (point >> 18));
    utf8 += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    utf8 += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
  }
  utf8 += static_cast<char>(0x80 | (point & 0x3F));
  char code[32];
  std::snprintf(code, sizeof code, "U+%04lX", point);
  return "'" + utf8 + "' (" + code + ")";
}

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string trimmed(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

// The first argument is the screen size when it starts with a dash that does not begin
// a long option: "-800x600", "-800", "-x600", "--800x600".
bool isSizeArgument(const char* arg) {
  if (arg[0] != '-') return false;
  if (arg[1] == '-') return arg[2] == '\0' ? false : !std::isalpha(static_cast<unsigned char>(arg[2]));
  return arg[1] == '\0' || arg[1] == 'x' || !std::isalpha(static_cast<unsigned char>(arg[1]));
}

bool parseTests(const std::string& list, CliOptions& options, std::string& error) {
  options.tests.fill(false);
  options.testsGiven = true;
  size_t start = 0;
  bool any = false;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string name = trimmed(list.substr(start, comma - start));
    start = comma + 1;
    if (name.empty()) continue;
    if (lowered(name) == "all") {
      options.tests.fill(true);
      any = true;
      continue;
    }
    int index = findTestByName(name);
    if (index < 0) {
      error = "unknown test '" + name + "' in --tests (see --list)";
      return false;
    }
    options.tests[static_cast<size_t>(index)] = true;
    any = true;
  }
  if (!any) {
    error = "--tests needs at least one test name (see --list)";
    return false;
  }
  return true;
}

bool parseDevice(const std::string& text, CliOptions& options, std::string& error) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 0 || value > 1000) {
    error = "--device needs a device number from --list-devices, not '" + text + "'";
    return false;
  }
  options.device = static_cast<int>(value);
  return true;
}

}  // namespace

bool parseRepeatCount(const std::string& text, int& repeat) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || value < 1 || value > MaxMeasurementRepeats) return false;
  repeat = static_cast<int>(value);
  return true;
}

bool parseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error) {
  options.tests.fill(true);
  int i = 1;
  if (argc > 1 && isSizeArgument(argv[1])) {
    parseScreenSize(argv[1], options.width, options.height);
    i = 2;
  }
  for (; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool hasInlineValue = false;
    size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      hasInlineValue = true;
    }
    // Options that take a value read it from "--opt=value" or the next argument.
    auto takeValue = [&](std::string& out) {
      if (hasInlineValue) {
        out = value;
        return true;
      }
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    auto noValue = [&]() {
      if (!hasInlineValue) return true;
      error = "option " + arg + " takes no value";
      return false;
    };

    if (arg == "--tests") {
      if (!takeValue(value) || !parseTests(value, options, error)) return false;
    } else if (arg == "--output") {
      if (!takeValue(options.output)) return false;
      if (options.output.empty()) {
        error = "--output needs a base name";
        return false;
      }
      if (options.output.size() >= BaseNameSize) {
        error = "--output base name is longer than " + std::to_string(BaseNameSize - 1) +
                " characters";
        return false;
      }
    } else if (arg == "--comment") {
      if (!takeValue(value)) return false;
      // The report holds ISO-8859-1: the limit counts its characters, and one it has no
      // byte for is refused rather than silently replaced.
      if (unsigned long beyond = firstBeyondLatin1(value)) {
        error = "--comment holds " + codePointText(beyond) +
                ", which the report's ISO-8859-1 text cannot hold";
        return false;
      }
      options.comment = utf8ToLatin1(value);
      if (options.comment.size() > CommentSize - 2) {
        error = "--comment is longer than " + std::to_string(CommentSize - 2) + " characters";
        return false;
      }
      options.commentGiven = true;
    } else if (arg == "--sync") {
      if (!takeValue(value)) return false;
      std::string method = lowered(value);
      if (method == "swap") {
        options.syncSwap = true;
      } else if (method == "flush") {
        options.syncSwap = false;
      } else {
        error = "--sync takes 'flush' or 'swap', not '" + value + "'";
        return false;
      }
    } else if (arg == "--device") {
      if (!takeValue(value) || !parseDevice(value, options, error)) return false;
    } else if (arg == "--repeat") {
      if (!takeValue(value)) return false;
      if (!parseRepeatCount(value, options.repeat)) {
        error = "--repeat needs a whole number from 1 to 100, not '" + value + "'";
        return false;
      }
    } else if (arg == "--no-bb-bold") {
      if (!noValue()) return false;
      options.bbBold = false;
    } else if (arg == "--no-bb-code") {
      if (!noValue()) return false;
      options.bbCode = false;
    } else if (arg == "--no-bb-url") {
      if (!noValue()) return false;
      options.bbUrl = false;
    } else if (arg == "--bbcode") {
      if (!noValue()) return false;
      options.printBBCode = true;
    } else if (arg == "--list") {
      if (!noValue()) return false;
      options.list = true;
    } else if (arg == "--window" || arg == "--headless") {
      if (!noValue()) return false;
      const WindowMode mode = arg == "--window" ? WindowMode::Window : WindowMode::Headless;
      if (options.windowMode != WindowMode::Auto && options.windowMode != mode) {
        error = "--window and --headless exclude each other";
        return false;
      }
      options.windowMode = mode;
    } else if (arg == "--list-devices") {
      if (!noValue()) return false;
      options.listDevices = true;
    } else if (arg == "--no-charts") {
      if (!noValue()) return false;
      options.charts = false;
    } else if (arg == "--compare") {
      if (!noValue()) return false;
      // Every following argument that is not an option is a report to compare.
      while (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0)
        options.compare.push_back(argv[++i]);
      if (options.compare.size() < 2) {
        error = "--compare needs at least two text reports (OLD.txt NEW.txt)";
        return false;
      }
    } else if (arg == "--help" || arg == "-h") {
      if (!noValue()) return false;
      options.help = true;
    } else if (arg == "--version") {
      if (!noValue()) return false;
      options.version = true;
    } else if (arg.empty() || arg[0] != '-') {
      error = "unexpected argument '" + arg + "' (a screen size is written -WIDTHxHEIGHT and comes first)";
      return false;
    } else {
      error = "unknown option '" + arg + "'";
      return false;
    }
  }
  if (options.windowMode == WindowMode::Window && options.device >= 0) {
    error = "--device picks a device for headless runs; a --window run renders on the X "
            "server's driver";
    return false;
  }
  return true;
}

bool wantsDisplay(const CliOptions& options) {
  return options.windowMode == WindowMode::Window ||
         (options.windowMode == WindowMode::Auto && options.device < 0);
}

WindowBackend chooseWindowBackend(const CliOptions& options, bool displayOpened) {
  if (!wantsDisplay(options)) return WindowBackend::Pbuffer;
  if (displayOpened) return WindowBackend::X11Window;
  return options.windowMode == WindowMode::Window ? WindowBackend::NoDisplay
                                                  : WindowBackend::Pbuffer;
}

const char* usageText() {
  return "usage: corvalis [-WIDTHxHEIGHT] [--tests LIST] [--output BASE] [--comment TEXT]\n"
         "                [--sync flush|swap] [--no-bb-bold] [--no-bb-code] [--no-bb-url]\n"
         "                [--bbcode] [--list] [--list-devices] [--device N] [--repeat N]\n"
         "                [--window | --headless] [--no-charts] [--help] [--version]\n"
         "       corvalis --compare OLD.txt NEW.txt [MORE.txt...] [--output BASE]\n"
         "\n"
         "  -WIDTHxHEIGHT     screen size of the test windows (default 1024x768)\n"
         "  --tests LIST      comma-separated tests by name or key (default: all; see --list)\n"
         "  --output BASE     report base name; writes BASE.htm, BASE.txt, BASE.bb.txt,\n"
         "                    BASE.json, the data files BASE.*.csv and their charts\n"
         "                    BASE.charts.htm (default: results)\n"
         "  --comment TEXT    comment for the report's information section (126 characters)\n"
         "  --sync METHOD     end timed batches with glFlush (flush, default) or a buffer swap\n"
         "  --no-bb-bold      no [b] tags in the BB-code report\n"
         "  --no-bb-code      no [CODE] block around the BB-code report\n"
         "  --no-bb-url       no [url] link in the BB-code report\n"
         "  --bbcode          print the BB-code report to stdout after the run\n"
         "  --list            list the tests and exit\n"
         "  --list-devices    list the rendering devices and exit\n"
         "  --device N        render headless on device N of --list-devices\n"
         "  --window          draw in X11 windows on the display DISPLAY names\n"
         "  --headless        draw in EGL pbuffers (no display needed)\n"
         "                    (default: windows when DISPLAY is set and opens)\n"
         "  --repeat N        take every timed measurement N times (1 to 100, default 1) and\n"
         "                    report the median; BASE.json then holds the N samples\n"
         "  --no-charts       do not write the charts page BASE.charts.htm\n"
         "  --compare OLD NEW...  compare text reports of earlier runs: one row per key,\n"
         "                    each value and its ratio to the first run (* above spread\n"
         "                    or 5 %); with --output BASE also BASE.compare.htm\n"
         "  --help, --version\n"
         "\n"
         "Exit status: 0 all selected tests produced results, 3 a selected test failed,\n"
         "1 a report or data file (or the output) could not be written, 2 a usage error\n"
         "or a file --compare cannot compare, 128 + N stopped by signal N (previous files\n"
         "kept).\n";
}

}  // namespace corvalis
