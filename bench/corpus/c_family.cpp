#include "bench/corpus/c_family.h"

#include <cctype>

#include "bench/corpus/code_writer.h"

namespace corpus {

namespace {

std::string Guard(const Project& project, std::string_view path) {
  return Upper(project.name()) + "_" + Upper(path) + "_";
}

}  // namespace

std::string CppHeader(Random& random, const Project& project, std::string_view path, size_t bytes) {
  CodeWriter code(random, project, "  ", true);
  std::string out = project.license() + "\n";
  const std::string guard = Guard(project, path);
  out << "#ifndef " << guard << "\n#define " << guard << "\n\n";
  static const char* const kStd[] = {"<cstdint>", "<memory>",   "<string>",     "<vector>",
                                     "<map>",     "<optional>", "<functional>", "<utility>"};
  for (uint64_t i = random.Between(2, 6); i > 0; --i)
    out << "#include " << kStd[random.Below(8)] << "\n";
  for (uint64_t i = random.Between(0, 4); i > 0; --i) {
    out << "#include \"" << project.name() << "/" << project.Type(random) << ".h\"\n";
  }
  out << "\nnamespace " << project.name() << " {\n\n";
  while (out.size() < bytes) {
    const std::string_view type = project.Type(random);
    out << Comment(code.prose(), "", "// ", int(random.Between(1, 3)));
    if (random.Percent(20)) {
      out << "enum class " << type << "Kind {\n";
      for (uint64_t i = random.Between(3, 9); i > 0; --i) {
        std::string value(project.Identifier(random));
        value[0] = char(std::toupper(uint8_t(value[0])));
        out << "  k" << value << ",\n";
      }
      out << "};\n\n";
      continue;
    }
    out << "class " << type << " {\n public:\n";
    out << "  explicit " << type << "(" << project.Type(random) << " " << project.Identifier(random)
        << ");\n  ~" << type << "();\n\n";
    for (uint64_t i = random.Between(2, 8); i > 0; --i) {
      if (random.Percent(40)) out << Comment(code.prose(), "  ", "// ", 1);
      out << "  " << project.Type(random) << " " << project.Function(random) << "(";
      if (random.Percent(60)) {
        out << "const " << project.Type(random) << "& " << project.Identifier(random);
      }
      out << ")" << (random.Percent(50) ? " const" : "") << ";\n";
    }
    out << "\n private:\n";
    for (uint64_t i = random.Between(1, 5); i > 0; --i) {
      out << "  " << project.Type(random) << " " << project.Identifier(random) << "_;\n";
    }
    out << "};\n\n";
  }
  out << "}  // namespace " << project.name() << "\n\n#endif  // " << guard << "\n";
  return out;
}

std::string CppSource(Random& random, const Project& project, std::string_view path, size_t bytes) {
  CodeWriter code(random, project, "  ", true);
  std::string out = project.license() + "\n";
  std::string header(path);
  header = header.substr(0, header.rfind('.')) + ".h";
  out << "#include \"" << header << "\"\n\n#include <algorithm>\n#include <string>\n\n";
  for (uint64_t i = random.Between(1, 5); i > 0; --i) {
    out << "#include \"" << project.name() << "/" << project.Type(random) << ".h\"\n";
  }
  out << "\nnamespace " << project.name() << " {\n\nnamespace {\n\nconstexpr int k"
      << Camel("max", project.Identifier(random)) << " = " << random.Between(8, 4096)
      << ";\n\n}  // namespace\n\n";
  while (out.size() < bytes) {
    if (random.Percent(50)) out << Comment(code.prose(), "", "// ", int(random.Between(1, 3)));
    out << project.Type(random) << " " << project.Type(random) << "::" << project.Function(random)
        << "(";
    if (random.Percent(60)) {
      out << "const " << project.Type(random) << "& " << project.Identifier(random);
    }
    out << ") {\n";
    code.Block(out, 1, int(random.Between(2, 10)));
    out << "  return " << code.Expression() << ";\n}\n\n";
  }
  out << "}  // namespace " << project.name() << "\n";
  return out;
}

std::string CSource(Random& random, const Project& project, std::string_view path, size_t bytes) {
  CodeWriter code(random, project, "\t", false);
  std::string out;
  out << "// SPDX-License-Identifier: GPL-2.0\n/*\n * " << path << "\n *\n";
  out << Comment(code.prose(), "", " * ", int(random.Between(2, 5))) << " */\n\n";
  for (uint64_t i = random.Between(3, 9); i > 0; --i) {
    out << "#include <linux/" << project.Identifier(random) << ".h>\n";
  }
  out << "\n";
  for (uint64_t i = random.Between(2, 8); i > 0; --i) {
    out << "#define " << Upper(project.Identifier(random)) << "\t\t0x" << random.Below(0x10000)
        << "\n";
  }
  out << "\nstruct " << project.Identifier(random) << " {\n";
  for (uint64_t i = random.Between(3, 12); i > 0; --i) {
    out << "\t" << (random.Percent(50) ? "u32" : "struct list_head") << " "
        << project.Identifier(random) << ";\n";
  }
  out << "};\n\n";
  while (out.size() < bytes) {
    out << "/*\n" << Comment(code.prose(), "", " * ", int(random.Between(1, 3))) << " */\n";
    out << "static int " << project.Function(random) << "(struct " << project.Identifier(random)
        << " *" << project.Identifier(random) << ")\n{\n\tint i;\n";
    code.Block(out, 1, int(random.Between(2, 9)));
    out << "\treturn 0;\n}\n\n";
  }
  out << "MODULE_LICENSE(\"GPL\");\n";
  return out;
}

std::string CMakeLists(Random& random, const Project& project,
                       const std::vector<std::string>& sources) {
  std::string out;
  out << "cmake_minimum_required(VERSION 3." << random.Between(16, 25) << ")\nproject("
      << project.name() << " LANGUAGES CXX)\n\nset(CMAKE_CXX_STANDARD 17)\n\nadd_library("
      << project.name() << "\n";
  for (const std::string& source : sources) out << "  " << source << "\n";
  out << ")\ntarget_include_directories(" << project.name() << " PUBLIC include)\n";
  return out;
}

}  // namespace corpus
