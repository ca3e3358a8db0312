#include "bench/compare/contenders.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace bench {

namespace {

constexpr const char* kJlha = "/usr/share/java/jlhafrontend.jar";

bool OnPath(const std::string& program) {
  if (program.find('/') != std::string::npos) return access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (access((folder + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

}  // namespace

std::vector<Contender> Contenders(const std::string& ours,
                                  const std::vector<std::string>& formats) {
  const std::string program = ours + "/bench_ours";
  const std::vector<std::string> jlha = {"java", "-Dlha.encoding=Windows-31J", "-jar", kJlha};
  auto with = [](std::vector<std::string> head, std::vector<std::string> tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const std::vector<Contender> all = {
      {"LHA", "ours lh5", true, ".lzh", {program, "lh5", "ARCHIVE", "FOLDER"}, {program}},
      {"LHA", "ours lh7", true, ".lzh", {program, "lh7", "ARCHIVE", "FOLDER"}, {program}},
      {"LHA",
       "jlha lh5",
       false,
       ".lzh",
       with(jlha, {"c2o5q", "ARCHIVE", "FOLDER"}),
       {"java", kJlha}},
      {"LHA",
       "jlha lh7",
       false,
       ".lzh",
       with(jlha, {"c2o7q", "ARCHIVE", "FOLDER"}),
       {"java", kJlha}},
      {"ZIP", "ours", true, ".zip", {program, "zip", "ARCHIVE", "FOLDER"}, {program}},
      {"ZIP", "zip -6", false, ".zip", {"zip", "-q", "-r", "-6", "ARCHIVE", "FOLDER"}, {"zip"}},
      {"ZIP",
       "7zz -tzip",
       false,
       ".zip",
       {"7zz", "a", "-bd", "-bso0", "-bsp0", "-tzip", "ARCHIVE", "FOLDER"},
       {"7zz"}},
      {"ZIP", "bsdtar", false, ".zip", {"bsdtar", "-a", "-cf", "ARCHIVE", "FOLDER"}, {"bsdtar"}},
      {"7z", "ours", true, ".7z", {program, "7z", "ARCHIVE", "FOLDER"}, {program}},
      {"7z",
       "7zz -t7z",
       false,
       ".7z",
       {"7zz", "a", "-bd", "-bso0", "-bsp0", "-t7z", "ARCHIVE", "FOLDER"},
       {"7zz"}},
      {"7z", "bsdtar", false, ".7z", {"bsdtar", "-a", "-cf", "ARCHIVE", "FOLDER"}, {"bsdtar"}},
  };
  std::vector<Contender> chosen;
  for (const Contender& contender : all) {
    std::string format = contender.format;
    std::transform(format.begin(), format.end(), format.begin(), ::tolower);
    if (formats.empty() || std::find(formats.begin(), formats.end(), format) != formats.end()) {
      chosen.push_back(contender);
    }
  }
  return chosen;
}

std::vector<std::string> CommandFor(const Contender& contender, const std::string& archive,
                                    const std::string& folder) {
  std::vector<std::string> command = contender.command;
  for (std::string& argument : command) {
    if (argument == "ARCHIVE") argument = archive;
    if (argument == "FOLDER") argument = folder;
  }
  return command;
}

std::string Missing(const Contender& contender) {
  for (const std::string& need : contender.needs) {
    const bool there = need.find('/') != std::string::npos && need.ends_with(".jar")
                           ? std::filesystem::exists(need)
                           : OnPath(need);
    if (!there) return need + " is not installed";
  }
  return "";
}

}  // namespace bench
