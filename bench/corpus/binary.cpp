#include "bench/corpus/binary.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/corpus/bytes.h"
#include "bench/corpus/text.h"
#include "bench/corpus/words.h"

namespace corpus {

using namespace std::string_view_literals;

namespace {

// x86-64 machine code in the shape compilers emit: functions with a
// prologue, moves between registers and stack slots, calls to other
// functions, compares and branches, an epilogue and padding.
class Code {
 public:
  explicit Code(Random& random) : random_(random) {}

  std::string Generate(size_t bytes) {
    // Inlined functions and repeated idioms: the same bytes in many functions.
    std::string scratch;
    for (size_t i = 0; i < snippetRanks_.size(); ++i) {
      scratch.clear();
      for (uint64_t n = random_.Between(2, 8); n > 0; --n) Instruction(scratch);
      snippets_.push_back(scratch);
    }
    std::string out;
    while (out.size() < bytes) {
      starts_.push_back(out.size());
      Function(out);
    }
    return out;
  }

 private:
  void Rel32(std::string& out, int64_t target) {
    Le32(out, uint32_t(target - int64_t(out.size() + 4)));
  }
  int64_t Callee(const std::string& out) {
    if (starts_.size() < 2 || random_.Percent(25)) {
      return int64_t(out.size()) + int64_t(random_.Below(1 << 20)) - (1 << 19);  // PLT or later
    }
    return int64_t(
        starts_[starts_.size() - 1 - random_.Below(std::min<size_t>(starts_.size(), 64))]);
  }
  uint8_t Slot() { return uint8_t(0x100 - 8 * (1 + random_.Below(slots_))); }

  void Function(std::string& out) {
    slots_ = 2 + random_.Below(10);
    out += "\xf3\x0f\x1e\xfa";  // endbr64
    const bool frame = random_.Percent(60);
    if (frame) out += "\x55\x48\x89\xe5";
    const uint64_t saved = random_.Below(4);
    for (uint64_t i = 0; i < saved; ++i)
      out += i == 0 ? std::string("\x53") : std::string{'\x41', char(0x54 + i)};
    out += "\x48\x83\xec";
    out += char(8 * slots_);
    const bool guarded = random_.Percent(40);
    if (guarded) out += "\x64\x48\x8b\x04\x25\x28\x00\x00\x00\x48\x89\x45\xf8\x31\xc0"sv;
    const size_t body = out.size() + 20 + random_.Below(random_.Percent(80) ? 200 : 2000);
    while (out.size() < body) {
      if (random_.Percent(12)) {
        out += snippets_[snippetRanks_.Pick(random_)];
      } else {
        Instruction(out);
      }
    }
    if (guarded) {
      out += "\x48\x8b\x45\xf8\x64\x48\x2b\x04\x25\x28\x00\x00\x00\x75"sv;
      out += char(random_.Between(8, 40));
    }
    out += "\x48\x83\xc4";
    out += char(8 * slots_);
    for (uint64_t i = saved; i > 0; --i)
      out += i == 1 ? std::string("\x5b") : std::string{'\x41', char(0x5c + i - 1)};
    out += frame ? "\x5d\xc3" : "\xc3";
    while (out.size() % 16) out += out.size() % 16 >= 12 ? '\xcc' : '\x90';
  }

  void Instruction(std::string& out) {
    static const char* const kMoves[] = {"\x48\x89\xc7", "\x48\x89\xde", "\x4c\x89\xe7",
                                         "\x89\xc6",     "\x48\x89\xef", "\x4c\x89\xf6"};
    switch (random_.Below(16)) {
      case 0:
      case 1:
        out += "\x48\x8b\x45";
        out += char(Slot());
        break;
      case 2:
        out += "\x48\x89\x45";
        out += char(Slot());
        break;
      case 3:
        out += "\x8b\x7d";
        out += char(Slot());
        break;
      case 4:
      case 5:
        out += kMoves[random_.Below(6)];
        break;
      case 6: {
        out += '\xe8';
        const int64_t target = Callee(out);
        Rel32(out, target);
        break;
      }
      case 7:
        out += "\x48\x8d\x3d";  // lea rdi, [rip + string]
        Le32(out, uint32_t(0x100000 + random_.Below(0x40000)));
        break;
      case 8:
        out += random_.Percent(50) ? "\x48\x85\xc0" : "\x85\xc0";
        out += random_.Percent(50) ? '\x74' : '\x75';
        out += char(random_.Between(2, 60));
        break;
      case 9:
        out += "\x48\x83\xf8";
        out += char(random_.Below(16));
        out += "\x0f\x84";
        Le32(out, uint32_t(random_.Between(8, 600)));
        break;
      case 10:
        out += '\xb8';
        Le32(out, uint32_t(random_.Percent(70) ? random_.Below(64) : random_.Below(1 << 20)));
        break;
      case 11:
        out += "\x48\x8b\x43";
        out += char(8 * random_.Below(8));
        break;
      case 12:
        out += "\x48\x89\x43";
        out += char(8 * random_.Below(8));
        break;
      case 13:
        out += "\x31\xc0";
        break;
      case 14:
        out += "\xff\x15";  // call through the GOT
        Le32(out, uint32_t(0x200000 + 8 * random_.Below(400)));
        break;
      default:
        out += "\xf2\x0f\x10\x45";
        out += char(Slot());
    }
  }

  Random& random_;
  uint64_t slots_ = 4;
  std::vector<size_t> starts_;
  std::vector<std::string> snippets_;
  Zipf snippetRanks_{150, 2};
};

std::string Mangled(std::string_view space, std::string_view type, std::string_view function) {
  std::string out;
  out << "_ZN" << space.size() << space << type.size() << type << function.size() << function
      << "ERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE";
  return out;
}

}  // namespace

std::string Elf(Random& random, std::string_view name, bool library, size_t bytes) {
  Prose prose(random, false);
  const uint64_t base = library ? 0 : 0x400000;
  // Symbol names and strings first: the code refers to them.
  std::string strtab(1, '\0'), symtab(24, '\0'), rodata, relocations, ehFrame;
  const size_t text = bytes * 55 / 100;
  Code code(random);
  const std::string machine = code.Generate(text);
  uint64_t address = base + 0x1000;
  while (symtab.size() < bytes * 6 / 100) {
    std::string type(random.Pick(words::kNouns));
    type[0] = char(type[0] - 32);
    const std::string_view verb = random.Pick(words::kVerbsBase);
    const std::string symbol = Mangled(name, type, verb);
    Le32(symtab, uint32_t(strtab.size()));
    symtab += '\x12';
    symtab += '\0';
    Le16(symtab, 14);
    Le64(symtab, address += 16 * random.Between(2, 40));
    Le64(symtab, 16 * random.Between(1, 30));
    strtab << symbol << '\0';
  }
  while (rodata.size() < bytes * 12 / 100) {
    switch (random.Below(3)) {
      case 0:
        rodata << name << ": " << prose.Sentence() << ": %s\n" << '\0';
        break;
      case 1:
        rodata << "cannot " << random.Pick(words::kVerbsBase) << " '%s': %s" << '\0';
        break;
      default:
        // A lookup table of 32-bit values.
        for (int i = 0; i < 64; ++i)
          Le32(rodata, uint32_t(random.Below(random.Percent(50) ? 256 : 1 << 24)));
    }
  }
  uint64_t target = base + 0x200000;
  while (relocations.size() < bytes * 5 / 100) {
    Le64(relocations, target += 8);
    Le64(relocations, 8);  // R_X86_64_RELATIVE
    Le64(relocations, base + 0x1000 + 16 * random.Below(bytes / 16));
  }
  uint64_t pc = base + 0x1000;
  while (ehFrame.size() < bytes * 6 / 100) {
    // A frame description: its length, the CIE it belongs to, the code it
    // covers and the call frame instructions for it.
    static const char kOps[] = {'\x41', '\x0e', '\x10', '\x86', '\x02', '\x43', '\x0d', '\x06'};
    const size_t start = ehFrame.size();
    const uint32_t length = 20 + 4 * uint32_t(random.Below(6));
    Le32(ehFrame, length);
    Le32(ehFrame, uint32_t(start));
    Le32(ehFrame, uint32_t(pc += 16 * random.Between(2, 60)));
    Le32(ehFrame, uint32_t(16 * random.Between(2, 60)));
    while (ehFrame.size() - start < length + 4) ehFrame += kOps[random.Below(8)];
  }
  std::string out =
      "\x7f"
      "ELF\x02\x01\x01";
  out += std::string(9, '\0');
  Le16(out, library ? 3 : 2);
  Le16(out, 0x3e);
  Le32(out, 1);
  Le64(out, base + 0x1000);
  Le64(out, 64);
  Le64(out, 0);
  Le32(out, 0);
  Le16(out, 64);
  Le16(out, 56);
  Le16(out, 4);
  Le16(out, 64);
  Le16(out, 0);
  Le16(out, 0);
  for (uint32_t segment = 0; segment < 4; ++segment) {
    Le32(out, 1);
    Le32(out, segment == 1 ? 5 : 4);
    Le64(out, segment * 0x1000);
    Le64(out, base + segment * 0x1000);
    Le64(out, base + segment * 0x1000);
    Le64(out, 0x1000);
    Le64(out, 0x1000);
    Le64(out, 0x1000);
  }
  out += "/lib64/ld-linux-x86-64.so.2";
  out += '\0';
  out.resize(0x1000, '\0');
  out += machine;
  out += rodata;
  out += ehFrame;
  out += relocations;
  out += symtab;
  out += strtab;
  if (out.size() < bytes) out.resize(bytes, '\0');
  return out;
}

std::string WindowsInstaller(Random& random, std::string_view product, size_t bytes) {
  std::string out = "MZ\x90";
  out += std::string(57, '\0');
  Le32(out, 0x80);
  out += "\x0e\x1f\xba\x0e\x00\xb4\x09\xcd\x21\xb8\x01\x4c\xcd\x21"sv;
  out += "This program cannot be run in DOS mode.\r\r\n$";
  out.resize(0x80, '\0');
  // The COFF header and the start of the optional header of a 64-bit GUI
  // program.
  out += "PE\0\0"sv;
  Le16(out, 0x8664);
  Le16(out, 4);
  Le32(out, 1672531200 + uint32_t(random.Below(365 * 86400)));
  Le32(out, 0);
  Le32(out, 0);
  Le16(out, 240);
  Le16(out, 0x22);
  Le16(out, 0x20b);
  out += "\x0e\x1d"sv;
  Le32(out, uint32_t(bytes / 10));
  Le32(out, uint32_t(bytes - bytes / 10));
  Le32(out, 0);
  Le32(out, 0x1000);
  Le32(out, 0x1000);
  Le64(out, 0x140000000);
  Le32(out, 0x1000);
  Le32(out, 0x200);
  for (int version : {6, 0, 0, 0, 6, 0}) Le16(out, uint32_t(version));
  Le32(out, 0);
  Le32(out, uint32_t(bytes + 0x1000));
  Le32(out, 0x400);
  Le32(out, 0);
  Le16(out, 2);  // Windows GUI
  Le16(out, 0x8160);
  out.resize(0x400, '\0');
  Code code(random);
  out += code.Generate(bytes / 10);
  // Version information in UTF-16, as Windows resources keep it.
  for (const std::string& text :
       {std::string("CompanyName"), std::string("Example Software"), std::string("ProductName"),
        std::string(product), std::string("FileVersion"), std::string("2.4.1.0")}) {
    for (char c : text) Le16(out, uint8_t(c));
    Le16(out, 0);
  }
  while (out.size() % 512) out += '\0';
  if (out.size() < bytes) random.Fill(out, bytes - out.size());
  return out;
}

std::string Database(Random& random, size_t bytes) {
  Prose prose(random, true);
  constexpr size_t kPage = 4096;
  std::string out = std::string("SQLite format 3", 15) + '\0';
  Be16(out, kPage);
  out += "\x01\x01\x00\x40\x20\x20"sv;
  Be32(out, 1);                        // change counter
  Be32(out, uint32_t(bytes / kPage));  // pages
  for (uint32_t field : {0u, 0u, 1u, 4u, 0u, 0u, 1u, 0u, 0u, 0u}) Be32(out, field);
  out.resize(92, '\0');
  Be32(out, 1);        // valid for change 1
  Be32(out, 3040001);  // written by SQLite 3.40.1
  out.resize(kPage, '\0');
  uint32_t rowid = 0;
  while (out.size() + kPage <= bytes) {
    // A table leaf page: header, cell pointers, free space, then cells
    // filled from the end of the page.
    std::vector<std::string> cells;
    size_t used = 8;
    while (true) {
      std::string record, body;
      const std::string note = prose.Sentence();
      char date[16];
      const uint64_t month = random.Between(1, 12), day = random.Between(1, 28);
      std::snprintf(date, sizeof date, "2023-%02u-%02u", unsigned(month), unsigned(day));
      body << date << note;
      record += char(4);
      record += char(13 + 2 * 10);
      record += char(13 + 2 * note.size() > 127 ? 127 : 13 + 2 * note.size());
      record += char(3);
      record += body;
      Be16(record, uint32_t(random.Between(100, 30000)));
      record += char(0);
      std::string cell;
      cell += char(record.size() & 0x7f);
      cell += char(++rowid & 0x7f);
      cell += record;
      if (used + cell.size() + 2 + kPage / 5 > kPage) break;
      used += cell.size() + 2;
      cells.push_back(cell);
    }
    std::string page(kPage, '\0');
    page[0] = 0x0d;
    size_t end = kPage;
    std::string pointers;
    for (const std::string& cell : cells) {
      end -= cell.size();
      page.replace(end, cell.size(), cell);
      Be16(pointers, uint32_t(end));
    }
    std::string header;
    header += '\x0d';
    Be16(header, 0);
    Be16(header, uint32_t(cells.size()));
    Be16(header, uint32_t(end));
    header += '\0';
    page.replace(0, header.size(), header);
    page.replace(8, pointers.size(), pointers);
    out += page;
  }
  return out;
}

}  // namespace corpus
