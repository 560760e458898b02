#pragma once
// The human-readable page of the report: an HTML 4.01 Transitional document whose
// sections are bold headings, plain items lines, and groups nested bullet lists.
// The drawing calls write their texts unchanged; the report calls escape the parts that
// come from outside.

#include <string>

#include "report/report_writer.h"

namespace corvalis {

// '&', '<', '>' and '"' as entities; every other byte unchanged.
std::string escapeHtml(const std::string& text);

class HtmlWriter : public ReportWriter {
 public:
  // Creates the file and writes the page head; without a file every call does nothing.
  // Data files are linked as linkBase + suffix, relative to the page's folder.
  explicit HtmlWriter(const char* fileName, std::string linkBase = std::string());

  // Closes every open list, then writes the bold title, linked when link is given.
  void writeHeading(const char* title, const char* link);
  // Opens a nested list, with a title item when a title is given.
  void openList(const char* title);
  // Closes the innermost list; nothing when none is open.
  void closeList();
  // A line ending in a line break at top level, a list item inside a list.
  void writeLine(const char* text);
  // A list item, opening a list first at top level.
  void writeListItem(const char* text);

  // The report's calls: "Label: value" lines or value and markup joined, values as
  // list items with their data-file link.
  void beginSection(const char* title, const char* link, bool skipped) override;
  void beginGroup(const char* title, const DataFileLink* link) override;
  void endGroup() override;
  void addText(const ReportLine& line, const char* text) override;
  void addValue(const ReportLine& line, const ReportValue& value) override;

 private:
  // Closes every open list and writes the trailer.
  void writeEnd() override;
  // At top level, opens the list that values and groups live in.
  void openOuterList();
  void closeAllLists();
  // The link from the page to a data file beside it.
  std::string dataFileLink(const DataFileLink& link) const;

  std::string linkBase_;
  int listDepth_ = 0;
};

}  // namespace corvalis
