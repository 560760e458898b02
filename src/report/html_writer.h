#pragma once
// The human-readable page of the report: an HTML 4.01 Transitional document whose
// sections are bold headings, plain items lines, and groups nested bullet lists.
// Texts are written unchanged: callers escape the parts that come from outside.

#include <string>

#include "report/output_file.h"

namespace corvalis {

// '&', '<', '>' and '"' as entities; every other byte unchanged.
std::string escapeHtml(const std::string& text);

class HtmlWriter {
 public:
  // Creates the file and writes the page head; without a file every call does nothing.
  explicit HtmlWriter(const char* fileName);

  bool isOpen() const { return file_.isOpen(); }
  const std::string& path() const { return file_.path(); }

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
  // Closes every open list, writes the trailer and closes the file, renaming it into
  // place unless the caller does that later (output().commit()); false when the page
  // could not be written completely.
  bool finish(bool commitNow = true);
  OutputFile& output() { return file_; }

 private:
  // At top level, opens the list that values and groups live in.
  void openOuterList();
  void closeAllLists();

  OutputFile file_;
  int listDepth_ = 0;
};

}  // namespace corvalis
