// Files whose contents are already compressed: photos, icons, music, video,
// archives and packed office documents, PDF. Each has the headers, tables and
// text its format puts around the payload, and a payload of high entropy, as
// compressed data has. A font is here too: outlines compress only somewhat.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/corpus/random.h"

namespace corpus {

// A camera's JPEG: Exif with a thumbnail, tables, entropy-coded data.
std::string Jpeg(Random& random, size_t bytes);
// A PNG of width x height pixels (RGBA) of about bytes bytes.
std::string Png(Random& random, uint32_t width, uint32_t height, size_t bytes);
// A ZIP archive of the named members with compressed (deflated) data of the
// given sizes: .zip downloads, .docx, .xlsx, .jar.
std::string ZipOf(Random& random, const std::vector<std::pair<std::string, size_t>>& members);
// The members an office program writes, for a document of about bytes bytes.
std::vector<std::pair<std::string, size_t>> OfficeMembers(Random& random, bool spreadsheet,
                                                          size_t bytes);
std::string Gzip(Random& random, std::string_view name, size_t bytes);
std::string Mp3(Random& random, std::string_view title, size_t bytes);
std::string Mp4(Random& random, size_t bytes);
std::string Pdf(Random& random, size_t bytes);
std::string GitPack(Random& random, size_t bytes);
std::string TrueTypeFont(Random& random, std::string_view family, size_t bytes);

}  // namespace corpus
