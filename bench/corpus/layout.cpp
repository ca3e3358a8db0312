#include "bench/corpus/layout.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "bench/corpus/binary.h"
#include "bench/corpus/media.h"
#include "bench/corpus/office.h"
#include "bench/corpus/records.h"
#include "bench/corpus/source.h"
#include "bench/corpus/text.h"

namespace corpus {

namespace {

// Sizes between low and high, most of them small, as file sizes are.
size_t Skewed(Random& random, size_t low, size_t high) {
  const uint64_t r = random.Below(1000);
  return low + (high - low) * r * r / 1000 * r / 1000000;
}

std::string Number(unsigned value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*u", width, value);
  return text;
}

class Builder {
 public:
  Builder(Tree& tree, uint32_t permille) : tree_(tree), permille_(permille) {}

  size_t Count(size_t n) const { return std::max<size_t>(1, n * permille_ / 1000); }
  size_t Big(size_t bytes) const { return std::max<size_t>(4096, bytes * permille_ / 1000); }

  // A file whose bytes come from a generator seeded by its path alone.
  void Make(const std::string& path, const std::function<std::string(Random&)>& make,
            bool executable = false) {
    Random random = Random::For(path);
    tree_.File(path, make(random), executable);
  }
  void Empty(const std::string& path) { tree_.File(path, ""); }
  void Folder(const std::string& path) { tree_.Folder(path); }

 private:
  Tree& tree_;
  uint32_t permille_;
};

// English names for a folder's documents, "Budget Review 012.txt".
std::string TitleName(Random& names, unsigned index, const char* extension) {
  Prose prose(names, false);
  std::string name;
  name << prose.Title() << " " << Number(index, 3) << extension;
  return name;
}

void Documents(Builder& b) {
  Random names = Random::For("Documents");
  for (unsigned i = 0; i < b.Count(70); ++i) {
    b.Make("Documents/Reports/" + TitleName(names, i, ".txt"),
           [](Random& r) { return TextDocument(r, false, Skewed(r, 3000, 60000)); });
  }
  for (unsigned i = 0; i < b.Count(30); ++i) {
    b.Make("Documents/Notes/" + TitleName(names, i, ".md"),
           [](Random& r) { return Markdown(r, Skewed(r, 800, 20000)); });
  }
  // Japanese office work.
  for (unsigned i = 0; i < b.Count(60); ++i) {
    const std::string name = i % 3 == 0 ? "議事録 2024年" + std::to_string(1 + i % 12) + "月 第" +
                                              std::to_string(1 + i / 12) + "回.txt"
                             : i % 3 == 1 ? "報告書 " + Number(i, 3) + ".txt"
                                          : "業務メモ（" + Number(i, 3) + "）.txt";
    b.Make("Documents/仕事/" + name,
           [](Random& r) { return TextDocument(r, true, Skewed(r, 2000, 40000)); });
  }
  b.Make("Documents/仕事/データ/表.csv", [&](Random& r) { return SalesCsv(r, b.Big(400000)); });
  b.Make("Documents/仕事/データ/売上 2023年度.csv",
         [&](Random& r) { return SalesCsv(r, b.Big(250000)); });
  for (unsigned i = 0; i < b.Count(6); ++i) {
    b.Make("Documents/仕事/提案書 " + Number(i, 2) + ".rtf",
           [](Random& r) { return Rtf(r, true, Skewed(r, 10000, 90000)); });
    b.Make("Documents/仕事/企画書 " + Number(i, 2) + ".fodt",
           [](Random& r) { return FlatOpenDocument(r, true, Skewed(r, 20000, 150000)); });
  }
  // Office documents: flat and packed.
  for (unsigned i = 0; i < b.Count(35); ++i) {
    b.Make("Documents/Office/" + TitleName(names, i, ".fodt"),
           [](Random& r) { return FlatOpenDocument(r, false, Skewed(r, 15000, 200000)); });
  }
  for (unsigned i = 0; i < b.Count(20); ++i) {
    b.Make("Documents/Office/" + TitleName(names, i, ".rtf"),
           [](Random& r) { return Rtf(r, false, Skewed(r, 8000, 100000)); });
  }
  for (unsigned i = 0; i < b.Count(8); ++i) {
    b.Make("Documents/Office/" + TitleName(names, i, ".xml"),
           [](Random& r) { return SpreadsheetXml(r, Skewed(r, 60000, 400000)); });
  }
  for (unsigned i = 0; i < b.Count(24); ++i) {
    const bool sheet = i % 3 == 2;
    b.Make("Documents/Office/" + TitleName(names, i, sheet ? ".xlsx" : ".docx"),
           [=](Random& r) { return ZipOf(r, OfficeMembers(r, sheet, Skewed(r, 10000, 200000))); });
  }
  // Manuals: pages sharing navigation and style, and their pictures.
  for (const char* manual : {"Backup Guide", "Network Administration", "Spreadsheet Handbook"}) {
    const std::string folder = std::string("Documents/Manuals/") + manual + "/";
    b.Make(folder + "manual.css", [](Random& r) { return StyleSheet(r); });
    for (unsigned page = 0; page < b.Count(110); ++page) {
      b.Make(folder + (page == 0 ? "index.html" : "page" + std::to_string(page) + ".html"),
             [=](Random& r) { return HtmlPage(r, manual, int(page), Skewed(r, 5000, 40000)); });
    }
    for (unsigned i = 0; i < b.Count(8); ++i) {
      b.Make(folder + "images/figure" + std::to_string(i + 1) + ".png",
             [](Random& r) { return Png(r, 640, 480, Skewed(r, 6000, 40000)); });
    }
  }
  for (unsigned i = 0; i < b.Count(10); ++i) {
    b.Make("Documents/PDF/" + TitleName(names, i, ".pdf"),
           [](Random& r) { return Pdf(r, Skewed(r, 50000, 300000)); });
  }
  for (unsigned i = 0; i < b.Count(10); ++i) {
    b.Make("Documents/Spreadsheets/" + TitleName(names, i, ".csv"), [=](Random& r) {
      return i % 2 ? SensorCsv(r, Skewed(r, 40000, 600000))
                   : ContactsCsv(r, Skewed(r, 20000, 300000));
    });
  }
  b.Make("Documents/logs/server 2024-03.log",
         [&](Random& r) { return SystemLog(r, b.Big(5500000)); });
  b.Make("Documents/logs/access.log", [&](Random& r) { return AccessLog(r, b.Big(2000000)); });
  for (unsigned i = 0; i < b.Count(12); ++i) {
    b.Make("Documents/logs/app/application-2024-03-" + Number(i + 1, 2) + ".log",
           [](Random& r) { return ApplicationLog(r, Skewed(r, 20000, 200000)); });
  }
  b.Make("Documents/家計簿.sqlite", [&](Random& r) { return Database(r, b.Big(2000000)); });
  b.Make("Documents/My Notes/shopping list.txt",
         [](Random&) { return std::string("Shopping list\n- milk\n- bread\n- coffee beans\n"); });
  b.Make("Documents/My Notes/Meeting notes (draft).txt",
         [](Random& r) { return TextDocument(r, false, 900); });
  b.Empty("Documents/My Notes/empty file.txt");
  for (unsigned i = 0; i < b.Count(10); ++i) {
    b.Make("Documents/My Notes/note " + Number(i + 1, 2) + ".txt", [](Random& r) {
      const bool japanese = r.Percent(40);
      return TextDocument(r, japanese, Skewed(r, 100, 3000));
    });
  }
  b.Folder("Documents/Empty Folder");
}

void Cpp(Builder& b, const std::string& root, const Project& project) {
  Random names = Random::For(root);
  static const char* const kModules[] = {"archive",  "codec",  "config",   "core",    "io", "net",
                                         "platform", "report", "schedule", "storage", "ui", "util"};
  std::vector<std::string> sources;
  for (unsigned i = 0; i < b.Count(440); ++i) {
    std::string path;
    path << "include/" << project.name() << "/" << kModules[i % 12] << "/" << project.Type(names)
         << "_" << Number(i, 3) << ".h";
    b.Make(root + path,
           [&](Random& r) { return CppHeader(r, project, path, Skewed(r, 1000, 40000)); });
  }
  for (unsigned i = 0; i < b.Count(400); ++i) {
    std::string path;
    path << "src/" << kModules[i % 12] << "/" << project.Function(names) << "_" << Number(i, 3)
         << ".cpp";
    sources.push_back(path);
    b.Make(root + path,
           [&](Random& r) { return CppSource(r, project, path, Skewed(r, 2000, 70000)); });
  }
  for (unsigned i = 0; i < b.Count(60); ++i) {
    std::string path;
    path << "tests/" << project.Function(names) << "_" << Number(i, 3) << "_test.cpp";
    b.Make(root + path,
           [&](Random& r) { return CppSource(r, project, path, Skewed(r, 2000, 30000)); });
  }
  b.Make(root + "CMakeLists.txt", [&](Random& r) { return CMakeLists(r, project, sources); });
  b.Make(root + "README.md", [](Random& r) { return Markdown(r, 6000); });
  for (unsigned i = 0; i < b.Count(10); ++i) {
    b.Make(root + "docs/" + TitleName(names, i, ".md"),
           [](Random& r) { return Markdown(r, Skewed(r, 2000, 30000)); });
  }
  b.Make(root + ".git/HEAD", [](Random&) { return std::string("ref: refs/heads/main\n"); });
  b.Make(root + ".git/config", [](Random&) {
    return std::string(
        "[core]\n\trepositoryformatversion = 0\n\tfilemode = true\n\tbare = false\n"
        "[remote \"origin\"]\n\turl = https://git.example.com/engine.git\n"
        "\tfetch = +refs/heads/*:refs/remotes/origin/*\n");
  });
  b.Make(root + ".git/objects/pack/pack-3f1c0a9e5b7d2c4e6f8a0b1c2d3e4f5a6b7c8d9e.pack",
         [&](Random& r) { return GitPack(r, b.Big(1000000)); });
  b.Empty(root + "src/.gitkeep");
  b.Folder(root + "build");
}

void Projects(Builder& b) {
  Cpp(b, "Projects/engine/", Project("engine"));

  const Project web("webshop");
  Random names = Random::For("Projects/web app");
  for (const char* package : {"app", "app/models", "app/views", "app/services", "tests"}) {
    b.Empty(std::string("Projects/web app/") + package + "/__init__.py");
  }
  for (unsigned i = 0; i < b.Count(300); ++i) {
    static const char* const kPackages[] = {"app/models/", "app/views/", "app/services/", "tests/"};
    std::string path;
    path << "Projects/web app/" << kPackages[i % 4] << (i % 4 == 3 ? "test_" : "")
         << web.Identifier(names) << "_" << Number(i, 3) << ".py";
    b.Make(path, [&](Random& r) { return PythonModule(r, web, Skewed(r, 800, 30000)); });
  }
  for (unsigned i = 0; i < b.Count(60); ++i) {
    std::string path;
    path << "Projects/web app/static/js/" << web.Function(names) << "_" << Number(i, 3) << ".js";
    b.Make(path, [&](Random& r) { return JavaScript(r, web, Skewed(r, 800, 25000)); });
  }
  for (unsigned i = 0; i < b.Count(40); ++i) {
    b.Make("Projects/web app/templates/page" + Number(i, 3) + ".html",
           [=](Random& r) { return HtmlPage(r, "webshop", int(i), Skewed(r, 3000, 20000)); });
  }
  b.Make("Projects/web app/static/css/site.css", [](Random& r) { return StyleSheet(r); });
  b.Make("Projects/web app/package-lock.json",
         [&](Random& r) { return PackageLock(r, web, b.Big(1200000)); });

  const Project driver("usbstor");
  Random driverNames = Random::For("Projects/driver");
  for (unsigned i = 0; i < b.Count(520); ++i) {
    std::string path;
    static const char* const kParts[] = {"core/", "host/", "gadget/", "storage/", "misc/"};
    path << "Projects/driver/" << (i % 3 == 0 ? "include/" : kParts[i % 5])
         << driver.Identifier(driverNames) << "_" << Number(i, 3) << (i % 3 == 0 ? ".h" : ".c");
    b.Make(path, [&](Random& r) { return CSource(r, driver, path, Skewed(r, 1500, 45000)); });
  }

  const Project tables("compiler");
  b.Make("Projects/compiler tables/Intrinsics.inc",
         [&](Random& r) { return GeneratedTable(r, tables, b.Big(2000000)); });
  b.Make("Projects/compiler tables/Attributes.inc",
         [&](Random& r) { return GeneratedTable(r, tables, b.Big(900000)); });

  // A deep tree: the deepest path is far longer than 255 bytes.
  std::string deep = "Projects/old backups";
  for (unsigned level = 1; level <= 22; ++level) {
    deep += "/level " + Number(level, 2) + " folder";
    b.Make(deep + "/readme " + Number(level, 2) + ".txt",
           [](Random& r) { return TextDocument(r, false, 400); });
  }
}

void Programs(Builder& b) {
  const std::pair<const char*, size_t> programs[] = {
      {"bin/backupd", 3500000}, {"bin/report-tool", 1200000},      {"bin/convert", 600000},
      {"bin/sync", 300000},     {"lib/libengine.so.2.4", 4500000}, {"lib/libui.so.1", 1800000}};
  for (const auto& program : programs) {
    const char* path = program.first;
    const size_t bytes = program.second;
    const std::string name = std::string(path).substr(4);
    const bool library = path[0] == 'l';
    b.Make(
        std::string("Programs/") + path,
        [&](Random& r) { return Elf(r, name.substr(0, name.find('.')), library, b.Big(bytes)); },
        !library);
  }
  b.Make(
      "Programs/start backup.sh",
      [](Random&) {
        return std::string(
            "#!/bin/sh\n# Starts the backup daemon with the settings beside it.\n"
            "cd \"$(dirname \"$0\")\" && exec ./bin/backupd --config backupd.conf \"$@\"\n");
      },
      true);
}

void Downloads(Builder& b) {
  b.Make("Downloads/setup-2.4.1.exe",
         [&](Random& r) { return WindowsInstaller(r, "Example Backup", b.Big(2200000)); });
  b.Make("Downloads/photos-2023.zip", [&](Random& r) {
    std::vector<std::pair<std::string, size_t>> members;
    for (unsigned i = 0; i < 12; ++i) {
      members.push_back({"photos/IMG_" + Number(3000 + i, 4) + ".jpg", b.Big(100000)});
    }
    return ZipOf(r, members);
  });
  b.Make("Downloads/source-1.0.tar.gz",
         [&](Random& r) { return Gzip(r, "source-1.0.tar", b.Big(900000)); });
  b.Make("Downloads/tools.jar", [&](Random& r) {
    std::vector<std::pair<std::string, size_t>> members;
    for (unsigned i = 0; i < 60; ++i) {
      members.push_back({"com/example/tools/Tool" + std::to_string(i) + ".class", b.Big(6000)});
    }
    return ZipOf(r, members);
  });
  b.Make("Downloads/user manual.pdf", [&](Random& r) { return Pdf(r, b.Big(500000)); });
  for (const char* font : {"Sans", "Sans Mono", "Serif"}) {
    b.Make(std::string("Downloads/fonts/Example") + font + ".ttf",
           [&](Random& r) { return TrueTypeFont(r, font, b.Big(450000)); });
  }
  b.Folder("Downloads/incomplete");
}

void Pictures(Builder& b) {
  for (unsigned i = 0; i < b.Count(4); ++i) {
    b.Make("Pictures/旅行 京都 2023/IMG_" + Number(2301 + i, 4) + ".jpg",
           [](Random& r) { return Jpeg(r, Skewed(r, 550000, 1000000)); });
  }
  for (unsigned i = 0; i < b.Count(2); ++i) {
    b.Make("Pictures/Screenshots/Screenshot 2024-0" + std::to_string(i + 1) + "-15.png",
           [](Random& r) { return Png(r, 1920, 1080, Skewed(r, 150000, 350000)); });
  }
  b.Folder("Pictures/Screenshots/old");
  // An icon theme: many small pictures in a few sizes.
  static const std::pair<uint32_t, size_t> kSizes[] = {
      {16, 500}, {22, 650}, {24, 700}, {32, 1000}, {48, 1600}};
  Random names = Random::For("Pictures/icons");
  Prose prose(names, false);
  for (unsigned i = 0; i < b.Count(700); ++i) {
    std::string icon;
    icon << prose.Noun() << "-" << prose.Noun() << "-" << Number(i, 3) << ".png";
    for (const auto& kind : kSizes) {
      const uint32_t pixels = kind.first;
      const size_t bytes = kind.second;
      const std::string size = std::to_string(pixels);
      b.Make("Pictures/icons/hicolor/" + size + "x" + size + "/apps/" + icon,
             [&](Random& r) { return Png(r, pixels, pixels, Skewed(r, bytes / 3, bytes * 2)); });
    }
  }
}

void Media(Builder& b) {
  b.Make("Music/京都 弦楽/01 序曲.mp3", [&](Random& r) { return Mp3(r, "序曲", b.Big(1200000)); });
  b.Make("Videos/birthday 2023.mp4", [&](Random& r) { return Mp4(r, b.Big(2000000)); });
}

}  // namespace

void Lay(Tree& tree, uint32_t permille) {
  Builder b(tree, permille);
  Documents(b);
  Projects(b);
  Programs(b);
  Downloads(b);
  Pictures(b);
  Media(b);
}

}  // namespace corpus
