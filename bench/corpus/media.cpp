#include "bench/corpus/media.h"

#include <algorithm>
#include <cstdio>

#include "bench/corpus/bytes.h"
#include "bench/corpus/text.h"

namespace corpus {

namespace {

// Entropy-coded JPEG data: a 0xFF byte is followed by a stuffed 0x00.
void EntropyCoded(Random& random, std::string& out, size_t bytes) {
  std::string data;
  random.Fill(data, bytes);
  for (char c : data) {
    out += c;
    if (static_cast<unsigned char>(c) == 0xff) out += '\0';
  }
}

void JpegSegment(std::string& out, unsigned marker, const std::string& body) {
  out += '\xff';
  out += char(marker);
  Be16(out, uint32_t(body.size() + 2));
  out += body;
}

std::string JpegTables(Random& random, uint32_t width, uint32_t height) {
  std::string out;
  std::string quant;
  for (int table = 0; table < 2; ++table) {
    quant += char(table);
    const uint64_t quality = random.Between(2, 6);
    for (int i = 0; i < 64; ++i) quant += char(1 + (i / 8 + i % 8) * quality);
  }
  JpegSegment(out, 0xdb, quant);
  std::string frame;
  frame += char(8);
  Be16(frame, height);
  Be16(frame, width);
  frame += char(3);
  for (int c = 1; c <= 3; ++c) {
    frame += char(c);
    frame += char(c == 1 ? 0x22 : 0x11);
    frame += char(c == 1 ? 0 : 1);
  }
  JpegSegment(out, 0xc0, frame);
  // The standard Huffman tables' counts and symbols, as most encoders write.
  std::string huffman;
  for (int table = 0; table < 4; ++table) {
    huffman += char((table / 2) << 4 | table % 2);
    const int symbols = table < 2 ? 12 : 162;
    int remaining = symbols;
    for (int length = 1; length <= 16; ++length) {
      const int count = std::min(remaining, length < 3 ? length : length * 2);
      huffman += char(count);
      remaining -= count;
    }
    for (int s = 0; s < symbols; ++s) huffman += char(table < 2 ? s : (s * 37 + 1) & 0xff);
  }
  JpegSegment(out, 0xc4, huffman);
  std::string scan = {3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0};
  JpegSegment(out, 0xda, scan);
  return out;
}

void TiffEntry(std::string& ifd, std::string& data, uint32_t dataBase, uint16_t tag,
               const std::string& text) {
  Le16(ifd, tag);
  Le16(ifd, 2);  // ASCII
  Le32(ifd, uint32_t(text.size() + 1));
  if (text.size() + 1 <= 4) {
    std::string inline_value = text;
    inline_value.resize(4, '\0');
    ifd += inline_value;
  } else {
    Le32(ifd, dataBase + uint32_t(data.size()));
    data += text;
    data += '\0';
  }
}

void PngChunk(std::string& out, std::string_view type, const std::string& body) {
  Be32(out, uint32_t(body.size()));
  std::string chunk(type);
  chunk += body;
  out += chunk;
  Be32(out, Crc32(chunk));
}

}  // namespace

std::string Jpeg(Random& random, size_t bytes) {
  static const char* const kCameras[][2] = {{"Canon", "Canon EOS R6"},
                                            {"SONY", "ILCE-7M3"},
                                            {"Apple", "iPhone 13"},
                                            {"FUJIFILM", "X-T4"}};
  const auto& camera = kCameras[random.Below(4)];
  const uint32_t width = random.Percent(50) ? 4000 : 6000, height = width * 2 / 3;
  std::string out = "\xff\xd8";
  // Exif: camera, date, software, then a thumbnail of its own.
  std::string tiff = "II*";
  tiff += '\0';
  Le32(tiff, 8);
  std::string ifd, data;
  char date[32];
  const uint64_t month = random.Between(1, 12), day = random.Between(1, 28);
  const uint64_t hour = random.Between(6, 20), minute = random.Below(60);
  std::snprintf(date, sizeof date, "2023:%02u:%02u %02u:%02u:%02u", unsigned(month), unsigned(day),
                unsigned(hour), unsigned(minute), 0u);
  const std::string fields[] = {camera[0], camera[1], date, "Ver.1.10", "旅行 京都"};
  const uint16_t tags[] = {0x010f, 0x0110, 0x0132, 0x0131, 0x010e};
  Le16(ifd, 5);
  const uint32_t base = 8 + 2 + 5 * 12 + 4;
  for (int i = 0; i < 5; ++i) TiffEntry(ifd, data, base, tags[i], fields[i]);
  Le32(ifd, 0);
  std::string thumbnail = "\xff\xd8" + JpegTables(random, 160, 120);
  EntropyCoded(random, thumbnail, random.Between(5000, 11000));
  thumbnail += "\xff\xd9";
  JpegSegment(out, 0xe1, "Exif" + std::string(2, '\0') + tiff + ifd + data + thumbnail);
  out += JpegTables(random, width, height);
  if (out.size() + 2 < bytes) EntropyCoded(random, out, (bytes - out.size() - 2) * 255 / 256);
  out += "\xff\xd9";
  return out;
}

std::string Png(Random& random, uint32_t width, uint32_t height, size_t bytes) {
  std::string out = "\x89PNG\r\n\x1a\n";
  std::string header;
  Be32(header, width);
  Be32(header, height);
  header += std::string("\x08\x06\x00\x00\x00", 5);
  PngChunk(out, "IHDR", header);
  if (random.Percent(60)) {
    PngChunk(out, "tEXt", std::string("Software\0www.inkscape.org", 25));
  }
  std::string data = "\x78\xda";
  const size_t overhead = out.size() + 12 + 12 + 6;
  random.Fill(data, bytes > overhead ? bytes - overhead : 16);
  Be32(data, uint32_t(random.Next()));  // Adler-32
  PngChunk(out, "IDAT", data);
  PngChunk(out, "IEND", "");
  return out;
}

std::string ZipOf(Random& random, const std::vector<std::pair<std::string, size_t>>& members) {
  std::string out, central;
  const uint32_t dosTime = uint32_t(random.Below(0x10000)),
                 dosDate = 0x5600 + uint32_t(random.Below(0x180));
  for (const auto& member : members) {
    const std::string& name = member.first;
    const size_t size = member.second;
    std::string payload;
    random.Fill(payload, size);
    const uint32_t crc = uint32_t(random.Next());
    const uint32_t plain = uint32_t(size * (2 + random.Below(5)));
    auto common = [&](std::string& h) {
      Le16(h, 20);
      Le16(h, 0x0800);  // names in UTF-8
      Le16(h, 8);       // deflated
      Le16(h, dosTime);
      Le16(h, dosDate);
      Le32(h, crc);
      Le32(h, uint32_t(size));
      Le32(h, plain);
      Le16(h, uint32_t(name.size()));
      Le16(h, 0);
    };
    const uint32_t offset = uint32_t(out.size());
    out += "PK\x03\x04";
    common(out);
    out += name;
    out += payload;
    central += "PK\x01\x02";
    Le16(central, 0x031e);
    common(central);
    Le16(central, 0);
    Le16(central, 0);
    Le16(central, 0);
    Le32(central, 0644u << 16);
    Le32(central, offset);
    central += name;
  }
  const uint32_t start = uint32_t(out.size());
  out += central;
  out += "PK\x05\x06";
  Le32(out, 0);
  Le16(out, uint32_t(members.size()));
  Le16(out, uint32_t(members.size()));
  Le32(out, uint32_t(central.size()));
  Le32(out, start);
  Le16(out, 0);
  return out;
}

std::vector<std::pair<std::string, size_t>> OfficeMembers(Random& random, bool spreadsheet,
                                                          size_t bytes) {
  std::vector<std::pair<std::string, size_t>> members = {
      {"[Content_Types].xml", 380 + random.Below(80)},
      {"_rels/.rels", 240},
      {"docProps/core.xml", 330 + random.Below(60)},
      {"docProps/app.xml", 420 + random.Below(90)}};
  const std::string part = spreadsheet ? "xl/" : "word/";
  members.push_back({part + "_rels/" + (spreadsheet ? "workbook.xml.rels" : "document.xml.rels"),
                     300 + random.Below(200)});
  members.push_back({part + "styles.xml", 1500 + random.Below(2500)});
  members.push_back({part + "theme/theme1.xml", 1700});
  if (spreadsheet) members.push_back({"xl/sharedStrings.xml", 800 + random.Below(4000)});
  size_t used = 0;
  for (const auto& member : members) used += member.second + 2 * member.first.size() + 76;
  size_t main = bytes > used + 1024 ? bytes - used : 1024;
  if (!spreadsheet && random.Percent(40) && main > 40000) {
    const size_t image = main / 2;
    members.push_back({"word/media/image1.png", image});
    main -= image;
  }
  members.push_back({part + (spreadsheet ? "worksheets/sheet1.xml" : "document.xml"), main});
  return members;
}

std::string Gzip(Random& random, std::string_view name, size_t bytes) {
  std::string out = "\x1f\x8b\x08\x08";
  Le32(out, 1672531200 + uint32_t(random.Below(365 * 86400)));
  out += '\0';
  out += '\3';
  out += name;
  out += '\0';
  random.Fill(out, bytes > out.size() + 8 ? bytes - out.size() - 8 : 16);
  Le32(out, uint32_t(random.Next()));
  Le32(out, uint32_t(bytes * 3));
  return out;
}

std::string Mp3(Random& random, std::string_view title, size_t bytes) {
  std::string frames;
  auto text = [&](const char* id, std::string_view value) {
    frames += id;
    Be32(frames, uint32_t(value.size() + 1));
    frames += std::string(2, '\0');
    frames += '\3';  // UTF-8
    frames += value;
  };
  text("TIT2", title);
  text("TPE1", "Kyoto Strings Ensemble");
  text("TALB", "Live 2023");
  text("TYER", "2023");
  std::string out = "ID3\x04";
  out += std::string(2, '\0');
  const uint32_t size = uint32_t(frames.size());
  for (int shift = 21; shift >= 0; shift -= 7) out += char(size >> shift & 0x7f);
  out += frames;
  while (out.size() < bytes) {
    // 128 kbit/s at 44.1 kHz: 417 or 418 bytes a frame.
    const bool padded = random.Percent(50);
    out += padded ? "\xff\xfb\x92\x64" : "\xff\xfb\x90\x64";
    random.Fill(out, padded ? 414 : 413);
  }
  return out;
}

std::string Mp4(Random& random, size_t bytes) {
  std::string out;
  Be32(out, 32);
  out += "ftypisom";
  Be32(out, 0x200);
  out += "isomiso2avc1mp41";
  // The sample tables: one size per frame, then the chunk offsets.
  const uint32_t samples = uint32_t(bytes / 12000) + 1;
  std::string sizes, offsets;
  for (uint32_t i = 0; i < samples; ++i) {
    Be32(sizes, uint32_t(i % 30 == 0 ? random.Between(40000, 60000) : random.Between(4000, 16000)));
    Be32(offsets, uint32_t(48 + i * 12000));
  }
  std::string stbl = "stsz" + std::string(8, '\0');
  Be32(stbl, samples);
  stbl += sizes;
  stbl += "stco" + std::string(4, '\0');
  Be32(stbl, samples);
  stbl += offsets;
  Be32(out, uint32_t(stbl.size() + 8));
  out += "moov";
  out += stbl;
  const size_t header = out.size() + 8;
  Be32(out, uint32_t(bytes > header ? bytes - out.size() : 8));
  out += "mdat";
  if (bytes > out.size()) random.Fill(out, bytes - out.size());
  return out;
}

std::string Pdf(Random& random, size_t bytes) {
  Prose prose(random, random.Percent(30));
  std::string out = "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n";
  // Object n's offset is offsets[n - 1]; the page tree (2) comes last, when
  // its pages are known.
  std::vector<size_t> offsets(3);
  auto object = [&](size_t number, const std::string& body) {
    offsets[number - 1] = out.size();
    out << number << " 0 obj\n" << body << "\nendobj\n";
  };
  object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  std::string info;
  info << "<< /Title (" << prose.Title() << ") /Producer (LibreOffice 7.4) /CreationDate (D:2023"
       << random.Between(1001, 1228) << "120000+09'00') >>";
  object(3, info);
  std::string kids;
  while (out.size() < bytes) {
    const size_t page = offsets.size() + 1;
    offsets.resize(page + 1);
    std::string body;
    body << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 "
         << random.Between(4, 9) << " 0 R >> >> /Contents " << page + 1 << " 0 R >>";
    object(page, body);
    kids << (kids.empty() ? "" : " ") << page << " 0 R";
    std::string stream;
    const size_t length =
        std::min<size_t>(bytes - std::min(bytes, out.size()) + 64, random.Between(4000, 60000));
    stream << "<< /Length " << length << " /Filter /FlateDecode >>\nstream\n";
    random.Fill(stream, length);
    stream += "\nendstream";
    object(page + 1, stream);
  }
  std::string pages;
  pages << "<< /Type /Pages /Kids [" << kids << "] /Count " << (offsets.size() - 3) / 2 << " >>";
  object(2, pages);
  const size_t xref = out.size();
  out << "xref\n0 " << offsets.size() + 1 << "\n0000000000 65535 f \n";
  char line[24];
  for (size_t offset : offsets) {
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    out += line;
  }
  out << "trailer\n<< /Size " << offsets.size() + 1 << " /Root 1 0 R /Info 3 0 R >>\nstartxref\n"
      << xref << "\n%%EOF\n";
  return out;
}

std::string GitPack(Random& random, size_t bytes) {
  std::string out = "PACK";
  Be32(out, 2);
  Be32(out, uint32_t(bytes / 900));
  random.Fill(out, bytes > 32 ? bytes - 32 : 0);
  random.Fill(out, 20);
  return out;
}

std::string TrueTypeFont(Random& random, std::string_view family, size_t bytes) {
  // Glyph outlines: contour ends, flags and small coordinate steps.
  std::string glyf, loca;
  uint32_t glyphs = 0;
  while (glyf.size() + loca.size() + 2048 < bytes) {
    Be32(loca, uint32_t(glyf.size()));
    const uint32_t contours = uint32_t(random.Between(1, 4));
    Be16(glyf, contours);
    for (int k = 0; k < 4; ++k) Be16(glyf, uint32_t(random.Between(0, 1400)));
    uint32_t point = 0;
    for (uint32_t c = 0; c < contours; ++c) Be16(glyf, point += uint32_t(random.Between(4, 30)));
    Be16(glyf, 0);
    for (uint32_t p = 0; p < point; ++p) glyf += char(random.Percent(70) ? 0x37 : 0x01);
    for (uint32_t p = 0; p < 2 * point; ++p) {
      if (random.Percent(70)) {
        glyf += char(random.Below(120));
      } else {
        Be16(glyf, uint32_t(random.Below(1200)));
      }
    }
    if (glyf.size() % 2) glyf += '\0';
    ++glyphs;
  }
  std::string hmtx;
  for (uint32_t g = 0; g < glyphs; ++g) {
    Be16(hmtx, uint32_t(random.Between(500, 1300)));
    Be16(hmtx, uint32_t(random.Below(120)));
  }
  std::string name;
  const std::string copyright = "Copyright (c) 2003 by Bitstream, Inc. All Rights Reserved. " +
                                std::string(family) + " changes are in public domain.";
  for (char c : copyright) Be16(name, uint8_t(c));
  const std::pair<const char*, const std::string*> tables[] = {
      {"glyf", &glyf}, {"hmtx", &hmtx}, {"loca", &loca}, {"name", &name}};
  std::string out;
  Be32(out, 0x00010000);
  Be16(out, 4);
  Be16(out, 64);
  Be16(out, 2);
  Be16(out, 0);
  uint32_t offset = 12 + 16 * 4;
  for (const auto& [tag, table] : tables) {
    out += tag;
    Be32(out, Crc32(*table));
    Be32(out, offset);
    Be32(out, uint32_t(table->size()));
    offset += uint32_t(table->size());
  }
  for (const auto& table : tables) out += *table.second;
  return out;
}

}  // namespace corpus
