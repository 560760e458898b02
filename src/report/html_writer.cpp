#include "report/html_writer.h"

#include <cmath>
#include <utility>

#include "corvalis_version.h"

namespace corvalis {

std::string escapeHtml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

namespace {

std::string orEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

HtmlWriter::HtmlWriter(const char* fileName, std::string linkBase)
    : ReportWriter(fileName), linkBase_(std::move(linkBase)) {
  if (!file_.isOpen()) return;
  file_.write(
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\"   "
      "\"http://www.w3.org/TR/html4/loose.dtd\">\n");
  file_.write("<HTML>\n<HEAD>\n<meta name=\"generator\" Content=\"");
  file_.write(ProgramVersion);
  file_.write("\">\n");
  file_.write("<meta http-equiv=\"content-Type\" content=\"text/html; charset=iso-8859-1\">\n");
  file_.write("<title>*cough*</title>\n</head>\n");
  file_.write(
      "<BODY bgcolor=\"#2020A0\" text=\"#FFFFFF\" link=\"#FFC040\" vlink=\"#FF8000\" "
      "alink=\"FF80C0\">\n");
}

void HtmlWriter::closeAllLists() {
  while (listDepth_ > 0) {
    file_.write(listDepth_ >= 2 ? "</ul></li>\n" : "</ul>\n");
    --listDepth_;
  }
}

void HtmlWriter::writeHeading(const char* title, const char* link) {
  if (!file_.isOpen()) return;
  closeAllLists();
  file_.write("<b>");
  if (link != nullptr) {
    file_.write("<a href=\"");
    file_.write(link);
    file_.write("\">");
  }
  file_.write(title);
  if (link != nullptr) file_.write("</a>");
  file_.write("</b><br>\n");
}

void HtmlWriter::openOuterList() {
  if (listDepth_ != 0) return;
  file_.write("<ul>");
  listDepth_ = 1;
}

void HtmlWriter::openList(const char* title) {
  if (!file_.isOpen()) return;
  if (title != nullptr) {
    openOuterList();
    file_.write("<li>");
    file_.write(title);
  }
  file_.write("<ul>");
  ++listDepth_;
}

void HtmlWriter::closeList() {
  if (!file_.isOpen()) return;
  if (listDepth_ > 1) {
    file_.write("</ul></li>\n");
    --listDepth_;
  } else if (listDepth_ == 1) {
    file_.write("</ul>\n");
    listDepth_ = 0;
  }
}

void HtmlWriter::writeLine(const char* text) {
  if (!file_.isOpen()) return;
  if (listDepth_ < 1) {
    file_.write(text);
    file_.write("<br>\n");
  } else {
    file_.write("<li>");
    file_.write(text);
    file_.write("</li>\n");
  }
}

void HtmlWriter::writeListItem(const char* text) {
  if (!file_.isOpen()) return;
  openOuterList();
  file_.write("<li>");
  file_.write(text);
  file_.write("</li>\n");
}

void HtmlWriter::writeEnd() {
  closeAllLists();
  file_.write("</body>\n</html>\n");
}

std::string HtmlWriter::dataFileLink(const DataFileLink& link) const {
  // The base name is the user's; the suffix and the link text are the report's own.
  return "<a href=\"" + escapeHtml(linkBase_) + orEmpty(link.suffix) + "\">" +
         orEmpty(link.text) + "</a>";
}

void HtmlWriter::beginSection(const char* title, const char* link, bool /*skipped*/) {
  writeHeading(title, link);
}

void HtmlWriter::beginGroup(const char* title, const DataFileLink* link) {
  if (link == nullptr) {
    openList(title);
    return;
  }
  const std::string heading = orEmpty(title) + " (" + dataFileLink(*link) + ")";
  openList(heading.c_str());
}

void HtmlWriter::endGroup() { closeList(); }

void HtmlWriter::addText(const ReportLine& line, const char* text) {
  const std::string value = escapeHtml(orEmpty(text));
  if (line.htmlText != nullptr) {
    writeLine((value + line.htmlText).c_str());
  } else if (line.label != nullptr) {
    writeLine((std::string(line.label) + ": " + value).c_str());
  } else {
    writeLine(value.c_str());
  }
}

void HtmlWriter::addValue(const ReportLine& line, const ReportValue& value) {
  std::string item = displayText(value) + orEmpty(line.htmlText);
  // A failed value has no data behind it to link to.
  if (value.link != nullptr && value.link->text != nullptr && value.link->suffix != nullptr &&
      std::isfinite(value.measured.value)) {
    item += "(" + dataFileLink(*value.link) + ")";
  }
  writeListItem(item.c_str());
}

}  // namespace corvalis
