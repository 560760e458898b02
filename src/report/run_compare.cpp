#include "report/run_compare.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "corvalis_version.h"
#include "framework/format.h"
#include "report/compare_gate.h"
#include "report/html_writer.h"

namespace corvalis {

namespace {

std::string trimmedRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

const Spread* spreadOf(const CompareRun& run, const std::string& key) {
  auto it = run.samples.values.find(key);
  return it == run.samples.values.end() ? nullptr : &it->second;
}

std::string ratioText(const CompareRow& row, size_t run) {
  if (run == 0 || !std::isfinite(row.ratios[run])) return "";
  return formatC("%.3f", row.ratios[run]) + (row.changed[run] ? " *" : "  ");
}

std::string fileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A text from a file or the command line on the page.
std::string pageText(const std::string& text) { return escapeHtml(cleanOutsideText(text)); }

// The gate's word in a later run's verdict column: empty where nothing moved.
std::string verdictCell(const CompareGate& gate, size_t row, size_t run) {
  const GateVerdict verdict = gate.rows[row].cells[run].verdict;
  if (verdict == GateVerdict::Info || verdict == GateVerdict::Same) return "";
  return gateVerdictWord(verdict);
}

}  // namespace

std::string compareRunName(const std::vector<CompareRun>& runs, size_t index) {
  const std::string name = fileNameOf(runs[index].path);
  for (size_t r = 0; r < runs.size(); ++r)
    if (r != index && fileNameOf(runs[r].path) == name) return runs[index].path;
  return name;
}

std::string compareCell(const std::string& text, bool& cut) {
  std::string cell = cleanOutsideText(text);
  if (cell.size() <= CompareColumnWidth) return cell;
  cut = true;
  return cell.substr(0, CompareColumnWidth - 3) + "...";
}

bool loadCompareRun(const std::string& path, CompareRun& run, std::string& error,
                    bool valueSamples) {
  run = CompareRun();
  run.path = path;
  if (!readTextReport(path, run.report, error)) return false;
  std::string jsonPath = path;
  if (jsonPath.size() > 4 && jsonPath.compare(jsonPath.size() - 4, 4, ".txt") == 0)
    jsonPath.replace(jsonPath.size() - 4, 4, ".json");
  else
    jsonPath += ".json";
  // The spreads of the values the report has, and the evidence: all that is compared.
  RunJsonParts parts;
  parts.valuesOf = &run.report;
  parts.sweeps = false;
  parts.valueSamples = valueSamples;
  bool found = false;
  return readRunJson(jsonPath, run.samples, found, error, parts);
}

bool addCompareRun(const CompareRun& run, size_t runCount, CompareLoad& load,
                   std::string& error) {
  const size_t keysAllowed = MaxCompareCells / std::max<size_t>(runCount, 1);
  for (const auto& entry : run.report.values) {
    load.textBytes += entry.first.size() + entry.second.size();
    load.keys.insert(entry.first);
    if (load.keys.size() > keysAllowed) {
      error = std::to_string(runCount) + " reports with more than " +
              std::to_string(keysAllowed) + " different keys: more than " +
              std::to_string(MaxCompareCells) +
              " values (keys x reports), the limit for one comparison";
      return false;
    }
  }
  if (load.textBytes <= MaxCompareTextBytes) return true;
  error = "reports with more than " + std::to_string(MaxCompareTextBytes >> 20) +
          " MiB of keys and values in all, the limit for one comparison";
  return false;
}

bool significantChange(double base, double value, const Spread* baseSpread,
                       const Spread* valueSpread) {
  if (!std::isfinite(base) || !std::isfinite(value)) return false;
  const double change = std::fabs(value - base);
  if (baseSpread != nullptr && valueSpread != nullptr)
    return change > std::max(baseSpread->high - baseSpread->low,
                             valueSpread->high - valueSpread->low);
  if (base == 0) return value != 0;
  return change > CompareThreshold * std::fabs(base);
}

std::vector<CompareRow> compareRuns(const std::vector<CompareRun>& runs) {
  std::vector<CompareRow> rows;
  std::map<std::string, size_t> index;
  for (size_t r = 0; r < runs.size(); ++r) {
    for (const auto& entry : runs[r].report.values) {
      auto found = index.find(entry.first);
      if (found == index.end()) {
        CompareRow row;
        row.key = entry.first;
        row.present.assign(runs.size(), false);
        row.texts.assign(runs.size(), std::string());
        row.values.assign(runs.size(), std::nan(""));
        row.ratios.assign(runs.size(), std::nan(""));
        row.changed.assign(runs.size(), false);
        found = index.emplace(entry.first, rows.size()).first;
        rows.push_back(row);
      }
      CompareRow& row = rows[found->second];
      if (row.present[r]) continue;  // a repeated key: the first line holds
      row.present[r] = true;
      row.texts[r] = trimmedRight(entry.second);
      double value = 0;
      std::string unit;
      if (parseReportValue(entry.second, value, unit)) row.values[r] = value;
    }
  }
  for (CompareRow& row : rows) {
    const double base = row.values[0];
    for (size_t r = 1; r < runs.size(); ++r) {
      const double value = row.values[r];
      if (std::isfinite(base) && std::isfinite(value) && base != 0) row.ratios[r] = value / base;
      row.changed[r] = significantChange(base, value, spreadOf(runs[0], row.key),
                                         spreadOf(runs[r], row.key));
    }
  }
  return rows;
}

std::string compareTableText(const std::vector<CompareRun>& runs,
                             const std::vector<CompareRow>& rows, const CompareGate* gate) {
  std::string text;
  if (gate != nullptr)
    for (const std::string& note : compareNotes(runs)) text += "note: " + note + "\n";
  // Columns: key, then per run its text and (from the second run on) the ratio and,
  // with a gate, its verdict.
  std::vector<std::vector<std::string>> table;
  bool cut = false;
  std::vector<std::string> heading{"key"};
  for (size_t r = 0; r < runs.size(); ++r) {
    heading.push_back(compareCell(compareRunName(runs, r), cut));
    if (r > 0) heading.push_back("ratio");
    if (r > 0 && gate != nullptr) heading.push_back("gate");
  }
  table.push_back(heading);
  for (size_t i = 0; i < rows.size(); ++i) {
    const CompareRow& row = rows[i];
    std::vector<std::string> line{compareCell(row.key, cut)};
    for (size_t r = 0; r < runs.size(); ++r) {
      line.push_back(row.present[r] ? compareCell(row.texts[r], cut) : "(missing)");
      if (r > 0) line.push_back(ratioText(row, r));
      if (r > 0 && gate != nullptr) line.push_back(verdictCell(*gate, i, r));
    }
    table.push_back(line);
  }
  std::vector<size_t> widths(heading.size(), 0);
  for (const auto& line : table)
    for (size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], line[c].size());
  for (const auto& line : table) {
    std::string out;
    for (size_t c = 0; c < line.size(); ++c) {
      out += line[c];
      if (c + 1 < line.size()) out += std::string(widths[c] - line[c].size() + 2, ' ');
    }
    text += trimmedRight(out) + "\n";
  }
  bool nameCut = false;
  text += "ratio: value / " + compareCell(compareRunName(runs, 0), nameCut) +
          "; * a change beyond the runs' spread (with samples) or 5 %\n";
  if (cut)
    text += "texts longer than " + std::to_string(CompareColumnWidth) +
            " characters are cut and end in \"...\"; the page of --output BASE shows them whole\n";
  if (gate != nullptr) text += gateSummaryText(runs, *gate);
  return text;
}

std::string compareHtml(const std::vector<CompareRun>& runs, const std::vector<CompareRow>& rows,
                        const CompareGate* gate) {
  static const char* const fills[] = {"#000000", "#0072b2", "#d55e00", "#7f7f7f"};
  std::string html =
      "<!DOCTYPE html>\n<html>\n<head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\">\n"
      "<title>" + std::string(ProgramVersion) + ": comparison</title>\n"
      "<style>body{font-family:sans-serif;margin:1em 2em}table{border-collapse:collapse}"
      "td,th{padding:2px 8px;text-align:left;vertical-align:middle}tr:nth-child(even){background:"
      "#f2f2f2}.changed{font-weight:bold}</style>\n</head>\n<body>\n"
      "<h1>" + ProgramVersion + ": comparison</h1>\n<p>Runs: ";
  for (size_t r = 0; r < runs.size(); ++r)
    html += std::string(r ? ", " : "") + "<span style=\"color:" + fills[r % 4] + "\">&#9632;</span> " +
            pageText(runs[r].path);
  html += ". Ratios are against the first run; <b>*</b> marks a change beyond the runs' "
          "spread (with samples) or 5 %.</p>\n";
  if (gate != nullptr) {
    for (const std::string& note : compareNotes(runs))
      html += "<p>Note: " + escapeHtml(note) + "</p>\n";
    // The summary's lines, the verdict last, as on the terminal.
    std::string summary = escapeHtml(gateSummaryText(runs, *gate));
    summary.pop_back();  // the last line's end
    for (size_t at = summary.find('\n'); at != std::string::npos; at = summary.find('\n', at))
      summary.replace(at++, 1, "<br>");
    html += "<p class=\"changed\">" + summary + "</p>\n";
  }
  html += "<table>\n<tr><th>key</th>";
  for (size_t r = 0; r < runs.size(); ++r)
    html += "<th>" + pageText(compareRunName(runs, r)) + "</th>" + (r ? "<th>ratio</th>" : "") +
            (r && gate ? "<th>gate</th>" : "");
  html += "<th>bars</th></tr>\n";
  for (size_t i = 0; i < rows.size(); ++i) {
    const CompareRow& row = rows[i];
    html += "<tr><td>" + pageText(row.key) + "</td>";
    double largest = 0;
    for (double v : row.values)
      if (std::isfinite(v)) largest = std::max(largest, std::fabs(v));
    for (size_t r = 0; r < runs.size(); ++r) {
      html += "<td>" + (row.present[r] ? pageText(row.texts[r]) : "(missing)") + "</td>";
      if (r > 0)
        html += std::string("<td") + (row.changed[r] ? " class=\"changed\"" : "") + ">" +
                escapeHtml(ratioText(row, r)) + "</td>";
      if (r > 0 && gate != nullptr)
        html += std::string("<td") +
                (gateVerdictFails(gate->rows[i].cells[r].verdict) ? " class=\"changed\"" : "") +
                ">" + verdictCell(*gate, i, r) + "</td>";
    }
    html += "<td>";
    if (largest > 0) {
      // One bar per run, scaled to the largest value of the row; the share is taken
      // first, so that a value near the largest double gives a finite width.
      const double barHeight = 7;
      html += formatC("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"160\" height=\"%.0f\">",
                      barHeight * static_cast<double>(runs.size()) + 2);
      for (size_t r = 0; r < runs.size(); ++r) {
        if (!std::isfinite(row.values[r])) continue;
        html += formatC("<rect x=\"0\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\"/>",
                        1 + barHeight * static_cast<double>(r),
                        158 * (std::fabs(row.values[r]) / largest), barHeight - 1,
                        fills[r % 4]);
      }
      html += "</svg>";
    }
    html += "</td></tr>\n";
  }
  html += "</table>\n</body>\n</html>\n";
  return html;
}

}  // namespace corvalis
