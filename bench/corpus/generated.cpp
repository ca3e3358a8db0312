#include "bench/corpus/generated.h"

namespace corpus {

std::string PackageLock(Random& random, const Project& project, size_t bytes) {
  std::string out;
  out << "{\n  \"name\": \"" << project.name() << "\",\n  \"version\": \"" << random.Between(1, 4)
      << "." << random.Below(20) << ".0\",\n  \"lockfileVersion\": 3,\n  \"packages\": {\n";
  static const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  while (out.size() < bytes) {
    std::string name;
    name << project.Identifier(random);
    for (char& c : name) {
      if (c == '_') c = '-';
    }
    const uint64_t major = random.Below(10), minor = random.Below(30), patch = random.Below(20);
    out << "    \"node_modules/" << name << "\": {\n      \"version\": \"" << major << "." << minor
        << "." << patch << "\",\n      \"resolved\": \"https://registry.npmjs.org/" << name << "/-/"
        << name << "-" << major << "." << minor << "." << patch
        << ".tgz\",\n      \"integrity\": \"sha512-";
    for (int i = 0; i < 86; ++i) out << kBase64[random.Below(64)];
    out << "==\",\n      \"dev\": " << (random.Percent(40) ? "true" : "false") << "\n    },\n";
  }
  out << "    \"\": {}\n  }\n}\n";
  return out;
}

std::string GeneratedTable(Random& random, const Project& project, size_t bytes) {
  std::string out;
  out << "/*===- Generated table of " << project.name()
      << " - do not edit ----------------------------*/\n\n#ifdef GET_" << Upper(project.name())
      << "_TABLE\n";
  static const char* const kFlags[] = {"FLAG_NONE",     "FLAG_READ",        "FLAG_WRITE",
                                       "FLAG_VOLATILE", "FLAG_COMMUTATIVE", "FLAG_NO_SIDE_EFFECTS"};
  for (int id = 0; out.size() < bytes; ++id) {
    out << "  { /* " << id << " */ \"" << project.name() << "." << project.Function(random) << "."
        << project.Type(random) << "\", " << id * 4 + random.Below(4) << ", "
        << kFlags[random.Below(6)] << " | " << kFlags[random.Below(6)] << ", " << random.Below(8)
        << ", " << random.Below(3) << " },\n";
  }
  out << "#endif  // GET_" << Upper(project.name()) << "_TABLE\n";
  return out;
}

}  // namespace corpus
