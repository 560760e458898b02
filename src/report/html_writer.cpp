#include "report/html_writer.h"

#include "report/result_report.h"

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

HtmlWriter::HtmlWriter(const char* fileName) {
  if (fileName == nullptr || !file_.open(fileName)) return;
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

bool HtmlWriter::finish(bool commitNow) {
  if (file_.isOpen()) {
    closeAllLists();
    file_.write("</body>\n</html>\n");
  }
  return commitNow ? file_.close() : file_.finish();
}

}  // namespace corvalis
