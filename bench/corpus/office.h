// Office-like documents as desktop users keep them uncompressed: HTML pages
// of a manual, flat OpenDocument text, RTF, SpreadsheetML workbooks and the
// style sheets beside them. Markup repeats from page to page, as it does in
// documents one program wrote.
#pragma once

#include <string>
#include <string_view>

#include "bench/corpus/random.h"

namespace corpus {

// One page of a manual of about bytes bytes; manual names the manual, which
// sets its navigation and style (the same on each of its pages).
std::string HtmlPage(Random& random, std::string_view manual, int page, size_t bytes);
std::string StyleSheet(Random& random);
std::string FlatOpenDocument(Random& random, bool japanese, size_t bytes);
std::string Rtf(Random& random, bool japanese, size_t bytes);
std::string SpreadsheetXml(Random& random, size_t bytes);

}  // namespace corpus
