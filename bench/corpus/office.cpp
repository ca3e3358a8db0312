#include "bench/corpus/office.h"

#include <iterator>

#include "bench/corpus/text.h"

namespace corpus {

namespace {

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Identifier(Prose& prose) {
  std::string id;
  id << prose.Noun() << "_" << prose.Noun();
  return id;
}

}  // namespace

std::string HtmlPage(Random& random, std::string_view manual, int page, size_t bytes) {
  Random style = Random::For(manual);
  Prose prose(random, false);
  const std::string title = Escape(prose.Title());
  std::string out;
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta http-equiv=\"Content-Type\" "
         "content=\"text/html; charset=UTF-8\">\n<title>"
      << title
      << "</title>\n<link rel=\"stylesheet\" type=\"text/css\" href=\"manual.css\">\n"
         "<meta name=\"generator\" content=\"DocBook XSL Stylesheets V1.79."
      << style.Below(3)
      << "\">\n</head>\n<body bgcolor=\"white\" text=\"black\" link=\"#0000FF\" "
         "vlink=\"#840084\" alink=\"#0000FF\">\n<div class=\"navheader\"><table width=\"100%\" "
         "summary=\"Navigation header\"><tr><th colspan=\"3\" align=\"center\">"
      << manual << "</th></tr><tr><td width=\"20%\" align=\"left\"><a accesskey=\"p\" href=\"page"
      << page - 1 << ".html\">Prev</a>&#160;</td><th width=\"60%\" align=\"center\">" << title
      << "</th><td width=\"20%\" align=\"right\">&#160;<a accesskey=\"n\" href=\"page" << page + 1
      << ".html\">Next</a></td></tr></table><hr></div>\n<div class=\"sect1\"><div "
         "class=\"titlepage\"><div><div><h2 class=\"title\" style=\"clear: both\"><a name=\""
      << Identifier(prose) << "\"></a>" << page << ". " << title << "</h2></div></div></div>\n";
  while (out.size() < bytes) {
    switch (random.Below(8)) {
      case 0:
        out << "<pre class=\"programlisting\">";
        for (uint64_t i = random.Between(2, 8); i > 0; --i) {
          out << "$ " << Identifier(prose) << " --" << prose.Noun() << "=" << random.Below(100)
              << " " << prose.Noun() << ".txt\n";
        }
        out << "</pre>\n";
        break;
      case 1:
        out << "<div class=\"itemizedlist\"><ul class=\"itemizedlist\" "
               "style=\"list-style-type: disc; \">";
        for (uint64_t i = random.Between(2, 6); i > 0; --i) {
          out << "<li class=\"listitem\"><p>" << Escape(prose.Sentence()) << "</p></li>";
        }
        out << "</ul></div>\n";
        break;
      case 2:
        out << "<div class=\"note\" style=\"margin-left: 0.5in; margin-right: 0.5in;\"><h3 "
               "class=\"title\">Note</h3><p>"
            << Escape(prose.Paragraph()) << "</p></div>\n";
        break;
      default:
        out << "<p>" << Escape(prose.Paragraph()) << " See <a class=\"link\" href=\"page"
            << random.Between(1, 80) << ".html#" << Identifier(prose) << "\" title=\""
            << Escape(prose.Title()) << "\"><code class=\"option\">--" << prose.Noun()
            << "</code></a>.</p>\n";
    }
  }
  out << "</div><div class=\"navfooter\"><hr><table width=\"100%\" summary=\"Navigation "
         "footer\"><tr><td width=\"40%\" align=\"left\"><a accesskey=\"p\" href=\"page"
      << page - 1
      << ".html\">Prev</a>&#160;</td><td width=\"20%\" align=\"center\"><a accesskey=\"h\" "
         "href=\"index.html\">Home</a></td><td width=\"40%\" align=\"right\">&#160;<a "
         "accesskey=\"n\" href=\"page"
      << page + 1 << ".html\">Next</a></td></tr></table></div>\n</body>\n</html>\n";
  return out;
}

std::string StyleSheet(Random& random) {
  static const char* const kSelectors[] = {
      "body", "h1", "h2",     "h3",        "p",    "pre.programlisting", "div.note",      "table",
      "td",   "th", "a:link", "a:visited", "code", "div.navheader",      "div.navfooter", "ul",
      "li",   "dt", "dd"};
  static const char* const kProperties[] = {
      "margin", "padding",     "color",      "background-color", "font-family", "font-size",
      "border", "line-height", "text-align", "font-weight",      "width",       "max-width"};
  std::string out = "/* Style sheet of the manual. */\n";
  for (const char* selector : kSelectors) {
    out << selector << " {\n";
    for (uint64_t i = random.Between(2, 7); i > 0; --i) {
      out << "  " << kProperties[random.Below(std::size(kProperties))] << ": ";
      if (random.Percent(40)) {
        out << "#" << 100000 + random.Below(900000);
      } else {
        out << random.Below(40) << "px " << random.Below(40) << "px";
      }
      out << ";\n";
    }
    out << "}\n\n";
  }
  return out;
}

std::string FlatOpenDocument(Random& random, bool japanese, size_t bytes) {
  Prose prose(random, japanese);
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<office:document "
      "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
      "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
      "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
      "xmlns:meta=\"urn:oasis:names:tc:opendocument:xmlns:meta:1.0\" "
      "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
      "xmlns:officeooo=\"http://openoffice.org/2009/office\" "
      "office:version=\"1.3\" office:mimetype=\"application/vnd.oasis.opendocument.text\">\n"
      " <office:meta><meta:generator>LibreOffice/7.4.7.2$Linux_X86_64 "
      "LibreOffice_project/40$Build-2</meta:generator></office:meta>\n <office:font-face-decls>"
      "<style:font-face style:name=\"Liberation Serif\" svg:font-family=\"&apos;Liberation "
      "Serif&apos;\" style:font-family-generic=\"roman\" style:font-pitch=\"variable\"/>"
      "<style:font-face style:name=\"Noto Sans CJK JP\" svg:font-family=\"&apos;Noto Sans CJK "
      "JP&apos;\" style:font-family-generic=\"system\" style:font-pitch=\"variable\"/>"
      "</office:font-face-decls>\n <office:automatic-styles>\n";
  for (int i = 1; i <= 12; ++i) {
    out << "  <style:style style:name=\"P" << i
        << "\" style:family=\"paragraph\" style:parent-style-name=\"Standard\">"
           "<style:paragraph-properties fo:margin-top=\"0."
        << random.Below(40)
        << "cm\" fo:margin-bottom=\"0.212cm\" style:contextual-spacing=\"false\"/>"
           "<style:text-properties fo:font-size=\""
        << random.Between(9, 14) << "pt\" officeooo:rsid=\"00" << random.Between(100000, 999999)
        << "\"/></style:style>\n";
  }
  out << " </office:automatic-styles>\n <office:body>\n  <office:text>\n"
      << "   <text:h text:style-name=\"P1\" text:outline-level=\"1\">" << Escape(prose.Title())
      << "</text:h>\n";
  while (out.size() < bytes) {
    const uint64_t style = random.Between(2, 12);
    if (random.Percent(10)) {
      out << "   <table:table table:name=\"Table" << random.Below(20)
          << "\" table:style-name=\"Table1\"><table:table-column "
             "table:number-columns-repeated=\"3\"/>";
      for (uint64_t row = random.Between(2, 8); row > 0; --row) {
        out << "<table:table-row>";
        for (int c = 0; c < 3; ++c) {
          out << "<table:table-cell office:value-type=\"string\"><text:p text:style-name=\"P"
              << style << "\">";
          if (c == 0) {
            out << Escape(prose.Noun());
          } else {
            out << random.Below(10000);
          }
          out << "</text:p></table:table-cell>";
        }
        out << "</table:table-row>";
      }
      out << "</table:table>\n";
    } else if (random.Percent(15)) {
      out << "   <text:h text:style-name=\"P1\" text:outline-level=\"2\">" << Escape(prose.Title())
          << "</text:h>\n";
    } else {
      out << "   <text:p text:style-name=\"P" << style << "\">" << Escape(prose.Sentence())
          << "<text:span text:style-name=\"T" << random.Between(1, 4) << "\">"
          << Escape(prose.Sentence()) << "</text:span>" << Escape(prose.Paragraph())
          << "</text:p>\n";
    }
  }
  out << "  </office:text>\n </office:body>\n</office:document>\n";
  return out;
}

std::string Rtf(Random& random, bool japanese, size_t bytes) {
  Prose prose(random, japanese);
  // Non-ASCII text as \uN? escapes, as word processors write it.
  auto encode = [](const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c < 0x80) {
        if (c == '\\' || c == '{' || c == '}') out += '\\';
        out += char(c);
        ++i;
        continue;
      }
      const int length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
      uint32_t code = c & (0xff >> (length + 1));
      for (int k = 1; k < length && i + k < text.size(); ++k) {
        code = code << 6 | (text[i + k] & 0x3f);
      }
      out << "\\u" << (code < 0x8000 ? int(code) : int(code) - 0x10000) << "?";
      i += length;
    }
    return out;
  };
  std::string out =
      "{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1033\\deflangfe1041{\\fonttbl{\\f0\\froman"
      "\\fprq2\\fcharset0 Times New Roman;}{\\f1\\fnil\\fprq2\\fcharset128 MS Mincho;}}\n"
      "{\\colortbl ;\\red0\\green0\\blue255;\\red255\\green0\\blue0;}\n"
      "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1\n";
  while (out.size() < bytes) {
    const bool bold = random.Percent(20);
    out << "\\pard\\sa200\\sl276\\slmult1\\f" << (japanese ? "1" : "0") << "\\fs"
        << (random.Percent(20) ? 28 : 22) << (bold ? "\\b " : " ") << encode(prose.Paragraph())
        << (bold ? "\\b0" : "") << "\\par\n";
  }
  return out + "}\n";
}

std::string SpreadsheetXml(Random& random, size_t bytes) {
  Prose prose(random, random.Percent(50));
  std::string out;
  out << "<?xml version=\"1.0\"?>\n<?mso-application progid=\"Excel.Sheet\"?>\n<Workbook "
         "xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
         "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n <Styles>\n  <Style "
         "ss:ID=\"Default\" ss:Name=\"Normal\"><Alignment ss:Vertical=\"Bottom\"/><Font "
         "ss:FontName=\"Calibri\" ss:Size=\"11\"/></Style>\n  <Style ss:ID=\"s62\"><NumberFormat "
         "ss:Format=\"#,##0\"/></Style>\n </Styles>\n <Worksheet ss:Name=\""
      << Escape(prose.Noun()) << "\">\n  <Table>\n";
  for (int row = 1; out.size() < bytes; ++row) {
    out << "   <Row>\n    <Cell><Data ss:Type=\"Number\">" << row
        << "</Data></Cell>\n    <Cell><Data ss:Type=\"String\">" << Escape(prose.Noun())
        << "</Data></Cell>\n    <Cell><Data ss:Type=\"String\">" << Escape(prose.Noun())
        << "</Data></Cell>\n    <Cell ss:StyleID=\"s62\"><Data ss:Type=\"Number\">"
        << random.Between(1, 50)
        << "</Data></Cell>\n    <Cell ss:StyleID=\"s62\"><Data ss:Type=\"Number\">"
        << random.Between(1, 2000) * 10
        << "</Data></Cell>\n    <Cell ss:Formula=\"=RC[-2]*RC[-1]\"><Data ss:Type=\"Number\">"
        << random.Between(10, 100000) << "</Data></Cell>\n   </Row>\n";
  }
  out << "  </Table>\n </Worksheet>\n</Workbook>\n";
  return out;
}

}  // namespace corpus
