#include "report/ab_compare.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "framework/format.h"
#include "framework/sample_stats.h"
#include "framework/text_encoding.h"
#include "report/charts_page.h"
#include "report/html_writer.h"
#include "corvalis_version.h"
#include "report/json_format.h"
#include "report/json_number.h"

namespace corvalis {

namespace {

using Json = nlohmann::ordered_json;

bool finitePositive(double v) { return std::isfinite(v) && v > 0; }

// The evidence word of a side's value, when its run has evidence for the key.
std::optional<Confidence> confidenceOf(const CompareRun* run, const std::string& key) {
  if (!run) return std::nullopt;
  const auto found = run->samples.evidence.find(key);
  if (found == run->samples.evidence.end()) return std::nullopt;
  return found->second.confidence;
}

const std::vector<double>* samplesOf(const CompareRun* run, const std::string& key) {
  if (!run) return nullptr;
  const auto found = run->samples.values.find(key);
  return found == run->samples.values.end() ? nullptr : &found->second.samples;
}

// B/A of a rate: the paired slices where both sides have them, else the two values.
void rateRatio(const std::array<const CompareRun*, 2>& runs, AbRow& row) {
  const std::vector<double>* a = samplesOf(runs[0], row.key);
  const std::vector<double>* b = samplesOf(runs[1], row.key);
  const std::vector<double> ratios = a && b ? pairedRatios(*a, *b) : std::vector<double>();
  row.p = std::nan("");
  if (!ratios.empty()) {
    const MedianInterval interval = medianInterval(ratios);
    row.pairs = ratios.size();
    row.ratio = interval.median;
    row.low = interval.low;
    row.high = interval.high;
    std::vector<double> logs;
    for (double ratio : ratios) logs.push_back(std::log(ratio));
    row.p = meanZeroPValue(logs);
    return;
  }
  const bool numbers = finitePositive(row.values[0]) && std::isfinite(row.values[1]);
  row.ratio = numbers ? row.values[1] / row.values[0] : std::nan("");
  row.low = row.high = row.ratio;
}

// The word on an answer or a failure text; a detection changed where both sides call
// their answer clear fails the gate, when there is one.
void judgeText(AbRow& row, bool gate) {
  if (row.texts[0] == row.texts[1]) {
    row.word = AbWord::Same;
    return;
  }
  if (row.kind == GateKind::Error) {
    row.word = row.texts[1].empty() ? AbWord::Changed : AbWord::Failed;
    return;
  }
  row.word = AbWord::Changed;
  row.regression = gate && row.confidence[0] == Confidence::Clear &&
                   row.confidence[1] == Confidence::Clear;
}

void judgeRow(const std::array<const CompareRun*, 2>& runs, const AbSession& session, AbRow& row) {
  row.ratio = row.low = row.high = row.p = std::nan("");
  if (row.kind == GateKind::Info) {
    row.word = AbWord::Info;
    return;
  }
  if (row.unfinished[0] || row.unfinished[1]) {
    row.word = AbWord::Failed;
    return;
  }
  if (!row.present[0] || !row.present[1]) {
    row.word = AbWord::Missing;
    return;
  }
  if (row.kind != GateKind::Rate) {
    judgeText(row, session.gate);
    return;
  }
  rateRatio(runs, row);
  // A value without slices of its own (derived from others) has no interval to judge.
  row.word = row.pairs == 0 && std::isfinite(row.ratio)
                 ? AbWord::Info
                 : rateWord(row.ratio, row.low, row.high, session.tolerancePercent);
}

// Slower and faster only for the rates whose difference stands out among the session's
// rates, the gate's regressions among those; counts the judged rates and every
// regression (a changed clear detection's included).
void judgeAmongAll(AbSession& session) {
  std::vector<double> pValues;
  std::vector<AbRow*> rates;
  for (AbRow& row : session.rows) {
    if (row.kind != GateKind::Rate || row.pairs < 2 || !std::isfinite(row.p)) continue;
    rates.push_back(&row);
    pValues.push_back(row.p);
  }
  const std::vector<bool> picks = falseDiscoveryPicks(pValues, AbFalseDiscoveryRate);
  for (size_t i = 0; i < rates.size(); ++i) rates[i]->standsOut = picks[i];
  session.judgedRates = rates.size();
  session.regressions = 0;
  for (AbRow& row : session.rows) {
    if (row.kind == GateKind::Rate) {
      if ((row.word == AbWord::Slower || row.word == AbWord::Faster) && !row.standsOut)
        row.word = AbWord::Same;
      row.regression = session.gate && row.word == AbWord::Slower &&
                       row.high < 1.0 - session.tolerancePercent / 100.0;
    }
    if (row.regression) ++session.regressions;
  }
}

std::string ratioText(double v) { return std::isfinite(v) ? formatC("%.3f", v) : "-"; }

std::string intervalText(const AbRow& row) {
  if (row.pairs == 0 || !std::isfinite(row.low)) return "";
  return ratioText(row.low) + " to " + ratioText(row.high);
}

// A side's cell: its text, with the detection's confidence; "failed" where its worker
// was lost before it finished the test.
std::string sideCell(const AbRow& row, int side) {
  if (row.unfinished[side]) return "(failed)";
  if (!row.present[side]) return "(none)";
  std::string text = row.texts[side];
  if (row.confidence[side]) text += std::string(" (") + confidenceWord(*row.confidence[side]) + ")";
  return text;
}

std::string padded(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string verdictText(const AbSession& session) {
  if (!session.gate) return "";
  if (session.regressions == 0)
    return formatC("verdict: PASS (no interval of B/A below %.3f and no clear detection "
                   "changed)\n",
                   1.0 - session.tolerancePercent / 100.0);
  return "verdict: FAIL, " + std::to_string(session.regressions) + " regression" +
         (session.regressions == 1 ? "" : "s") +
         formatC(" (an interval of B/A below %.3f, or a clear detection changed)\n",
                 1.0 - session.tolerancePercent / 100.0);
}

// The test a key belongs to: its first part.
std::string groupOf(const std::string& key) { return key.substr(0, key.find(':')); }

}  // namespace

const char* abWordText(AbWord word) {
  switch (word) {
    case AbWord::Info: return "info";
    case AbWord::Missing: return "missing";
    case AbWord::Same: return "same";
    case AbWord::Faster: return "faster";
    case AbWord::Slower: return "slower";
    case AbWord::Changed: return "changed";
    case AbWord::Failed: return "failed";
  }
  return "failed";
}

std::vector<double> pairedRatios(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> ratios;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (finitePositive(a[i]) && finitePositive(b[i])) ratios.push_back(b[i] / a[i]);
  return ratios;
}

AbWord rateWord(double ratio, double low, double high, double tolerancePercent) {
  if (!std::isfinite(ratio) || !std::isfinite(low) || !std::isfinite(high)) return AbWord::Failed;
  const double tolerance = tolerancePercent / 100.0;
  if (low <= 1.0 && high >= 1.0) return AbWord::Same;
  if (low >= 1.0 - tolerance && high <= 1.0 + tolerance) return AbWord::Same;
  return high < 1.0 ? AbWord::Slower : AbWord::Faster;
}

void compareSides(const std::array<const CompareRun*, 2>& runs, AbSession& session) {
  std::vector<CompareRun> both(2);
  // The tests a lost side finished: those of which its run has a key.
  std::array<std::set<std::string>, 2> finished;
  for (int side = 0; side < 2; ++side) {
    if (runs[side]) both[side] = *runs[side];
    if (session.lost[side])
      for (const auto& entry : both[side].report.values)
        finished[side].insert(groupOf(entry.first));
  }
  const std::vector<CompareRow> rows = compareRuns(both);
  session.rows.clear();
  for (const CompareRow& compared : rows) {
    AbRow row;
    row.key = compared.key;
    row.kind = gateKindOf(compared.key, compared.texts);
    for (int side = 0; side < 2; ++side) {
      row.present[side] = compared.present[side];
      row.texts[side] = compared.texts[side];
      row.values[side] = compared.values[side];
      row.confidence[side] = confidenceOf(runs[side], row.key);
      row.unfinished[side] = session.lost[side] && finished[side].count(groupOf(row.key)) == 0;
    }
    judgeRow(runs, session, row);
    session.rows.push_back(row);
  }
  judgeAmongAll(session);
}

namespace {

// A rate whose interval alone lies off 1 and out of the tolerance, but whose difference
// does not stand out among the session's rates: same, marked so that the reader sees
// why a ratio like that is not called slower.
bool offOnlyAlone(const AbRow& row, double tolerancePercent) {
  if (row.kind != GateKind::Rate || row.word != AbWord::Same || row.pairs < 2) return false;
  const AbWord alone = rateWord(row.ratio, row.low, row.high, tolerancePercent);
  return alone == AbWord::Slower || alone == AbWord::Faster;
}

// The word a table prints: none for an Info row, "same*" for offOnlyAlone.
std::string wordCell(const AbRow& row, double tolerancePercent) {
  if (row.word == AbWord::Info) return "";
  return std::string(abWordText(row.word)) + (offOnlyAlone(row, tolerancePercent) ? "*" : "");
}

// The note under a table with a "same*" row.
std::string offAloneNote(const AbSession& session) {
  bool any = false;
  for (const AbRow& row : session.rows) any = any || offOnlyAlone(row, session.tolerancePercent);
  if (!any) return "";
  return "same*: the interval alone lies off 1 and out of the tolerance, but among " +
         std::to_string(session.judgedRates) +
         formatC(" rates a difference like it comes by chance (it does not stand out at a "
                 "false discovery rate of %s %%)",
                 formatDecimal(100 * AbFalseDiscoveryRate).c_str());
}

}  // namespace

std::string abTableText(const AbSession& session) {
  std::vector<std::array<std::string, 6>> cells = {
      {"Key", "A", "B", "B/A", "95 % interval", ""}};
  bool cut = false;
  for (const AbRow& row : session.rows) {
    cells.push_back({compareCell(row.key, cut), compareCell(sideCell(row, 0), cut),
                     compareCell(sideCell(row, 1), cut), ratioText(row.ratio),
                     intervalText(row), wordCell(row, session.tolerancePercent)});
    if (row.kind == GateKind::Info) cells.back()[3] = "";
  }
  std::array<size_t, 6> widths{};
  for (const auto& line : cells)
    for (size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], line[c].size());
  std::string text = "A: " + compareCell(session.sides[0], cut) + "\nB: " +
                     compareCell(session.sides[1], cut) + "\n";
  text += formatC("B/A: the median of the paired slices' ratios; same within %s %%; slower "
                  "or faster only where it stands out among all rates (false discovery "
                  "rate %s %%)\n",
                  formatDecimal(session.tolerancePercent).c_str(),
                  formatDecimal(100 * AbFalseDiscoveryRate).c_str());
  for (const auto& line : cells) {
    std::string out;
    for (size_t c = 0; c < line.size(); ++c) out += padded(line[c], widths[c] + 2);
    out.erase(out.find_last_not_of(' ') + 1);
    text += out + "\n";
  }
  if (cut) text += "(texts longer than the column are cut, ending in \"...\")\n";
  const std::string note = offAloneNote(session);
  if (!note.empty()) text += note + "\n";
  for (int side = 0; side < 2; ++side)
    if (session.lost[side])
      text += std::string("Side ") + (side == 0 ? "A" : "B") +
              " was lost during the session: the values of the tests it had finished are "
              "kept, those of the others failed.\n";
  return text + verdictText(session);
}

std::string abHtml(const AbSession& session) {
  Forest forest;
  forest.title = "B/A with its 95 % interval";
  forest.tolerancePercent = session.tolerancePercent;
  for (const AbRow& row : session.rows)
    if (row.kind == GateKind::Rate && std::isfinite(row.ratio))
      forest.rows.push_back({groupOf(row.key), row.key.substr(row.key.find(':') + 1), row.ratio,
                             row.pairs > 0 ? row.low : row.ratio,
                             row.pairs > 0 ? row.high : row.ratio});
  std::string html =
      "<!DOCTYPE html>\n<html>\n<head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\">\n"
      "<title>Corvalis A/B session</title>\n"
      "<style>body{font-family:sans-serif;margin:1em 2em}table{border-collapse:collapse}"
      "td,th{padding:2px 8px;text-align:left;border-bottom:1px solid #ddd}"
      ".slower{color:#b00}.faster{color:#060}</style>\n</head>\n<body>\n"
      "<h1>Corvalis A/B session</h1>\n<p>A: " +
      escapeHtml(cleanOutsideText(session.sides[0])) + "<br>\nB: " +
      escapeHtml(cleanOutsideText(session.sides[1])) + "</p>\n";
  html += "<figure>\n" + forestSvg(forest) + "<figcaption>" +
          escapeHtml(formatC("Each rate's B/A: the median of its paired slices' ratios, with "
                             "its 95 %% interval; the shaded band about 1 is the tolerance of "
                             "%s %% (drawn at least %.0f px wide). A rate is called slower or "
                             "faster where its interval lies off 1 and out of the band, and "
                             "its difference stands out among all rates of the session (false "
                             "discovery rate %s %%).",
                             formatDecimal(session.tolerancePercent).c_str(),
                             ForestMinBandWidth,
                             formatDecimal(100 * AbFalseDiscoveryRate).c_str())) +
          "</figcaption>\n</figure>\n";
  html += "<table>\n<tr><th>Key</th><th>A</th><th>B</th><th>B/A</th><th>95 % interval</th>"
          "<th></th></tr>\n";
  for (const AbRow& row : session.rows) {
    const char* word = row.word == AbWord::Info ? "" : abWordText(row.word);
    const std::string shown = wordCell(row, session.tolerancePercent);
    html += "<tr><td>" + escapeHtml(cleanOutsideText(row.key)) + "</td><td>" +
            escapeHtml(cleanOutsideText(sideCell(row, 0))) + "</td><td>" +
            escapeHtml(cleanOutsideText(sideCell(row, 1))) + "</td><td>" +
            (row.kind == GateKind::Info ? "" : ratioText(row.ratio)) + "</td><td>" +
            intervalText(row) + "</td><td class=\"" + word + "\">" + shown + "</td></tr>\n";
  }
  html += "</table>\n";
  const std::string note = offAloneNote(session);
  if (!note.empty()) html += "<p>" + escapeHtml(note) + "</p>\n";
  const std::string verdict = verdictText(session);
  if (!verdict.empty()) html += "<p>" + escapeHtml(verdict) + "</p>\n";
  return html + "</body>\n</html>\n";
}

std::string abJson(const AbSession& session) {
  Json root = {{"schema", AbJsonSchema},
               {"formatVersion", AbJsonFormatVersion},
               {"program", "Corvalis"},
               {"version", VersionNumber}};
  root["sides"] = {{"A", latin1ToUtf8(session.sides[0])}, {"B", latin1ToUtf8(session.sides[1])}};
  root["lost"] = {{"A", session.lost[0]}, {"B", session.lost[1]}};
  root["tolerancePercent"] = jsonNumber(session.tolerancePercent);
  if (session.gate)
    root["gate"] = {{"verdict", session.regressions == 0 ? "pass" : "fail"},
                    {"regressions", session.regressions}};
  Json values = Json::array();
  for (const AbRow& row : session.rows) {
    Json entry = {{"key", latin1ToUtf8(row.key)}, {"kind", gateKindWord(row.kind)},
                  {"word", abWordText(row.word)}};
    for (int side = 0; side < 2; ++side) {
      Json cell = Json::object();
      if (row.present[side]) {
        cell["text"] = latin1ToUtf8(row.texts[side]);
        cell["value"] = jsonNumber(row.values[side]);
      }
      if (row.confidence[side]) cell["confidence"] = confidenceWord(*row.confidence[side]);
      entry[side == 0 ? "a" : "b"] = cell;
    }
    if (row.kind == GateKind::Rate) {
      entry["ratio"] = jsonNumber(row.ratio);
      entry["low"] = jsonNumber(row.low);
      entry["high"] = jsonNumber(row.high);
      entry["pairs"] = row.pairs;
      entry["p"] = jsonNumber(row.p);
      entry["standsOut"] = row.standsOut;
    }
    if (session.gate) entry["regression"] = row.regression;
    values.push_back(entry);
  }
  root["values"] = values;
  return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace corvalis
