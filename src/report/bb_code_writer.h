#pragma once
// The report as BB code for forum posts, laid out for a monospaced [CODE] block:
// headings, group lines dashed out to 48 characters, values in one column.

#include <string>

#include "report/report_writer.h"

namespace corvalis {

// bbOptions mask
constexpr unsigned BBBold = 1;
constexpr unsigned BBCodeBlock = 2;
constexpr unsigned BBUrl = 4;

// Outside text made unable to open or close a tag: every '[' that starts something
// shaped like a tag ('[', an optional '/', a letter, then letters, digits or '*' up to
// ']' or '=') becomes '(', and so does the '[' of "[*]" and "[/*]". "[/CODE]" would end
// the code block early, "[url=...]" or "[img]" would put a link or picture in the post
// and "[*]" would start a list item; brackets that cannot form a tag ("[1]", "a[0]",
// "[ x ]", "[**]") stay as they are.
std::string breakBBCodeTags(const std::string& text);

class BBCodeWriter : public ReportWriter {
 public:
  // Creates the file and, with BBCodeBlock, opens the [CODE] block; without a file
  // every call does nothing.
  BBCodeWriter(const char* fileName, unsigned bbOptions);

  int groupDepth() const { return groupDepth_; }

  // A section heading at depth 0, a dashed group line deeper; nothing for a null title.
  void openGroup(const char* title, const char* url);
  // Ends the innermost group with an empty line.
  void closeGroup();
  // Ends every open group, one empty line each.
  void closeAllGroups();
  // One label/value line with the value in column 20; nothing for a null label.
  void writeItem(const char* label, const char* value);

  // The report's calls: skipped tests leave no trace, lines without a value none either,
  // outside text has its tags broken.
  void beginSection(const char* title, const char* link, bool skipped) override;
  void beginGroup(const char* title, const DataFileLink* link) override;
  void endGroup() override;
  void addText(const ReportLine& line, const char* text) override;
  void addValue(const ReportLine& line, const ReportValue& value) override;

 private:
  // Closes the [CODE] block; open groups stay as they are.
  void writeEnd() override;
  void writeRepeated(char c, int count);

  int groupDepth_ = 0;
  unsigned bbOptions_ = 0;
};

}  // namespace corvalis
