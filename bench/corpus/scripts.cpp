#include "bench/corpus/scripts.h"

#include <cctype>

#include "bench/corpus/text.h"

namespace corpus {

std::string PythonModule(Random& random, const Project& project, size_t bytes) {
  Prose prose(random, false);
  std::string out;
  out << "# Copyright " << random.Between(2015, 2024) << " The " << project.name()
      << " Authors.\n\"\"\"" << prose.Sentence() << "\n\n"
      << Wrap(prose.Paragraph(), 79) << "\n\"\"\"\n\n";
  static const char* const kImports[] = {"os",       "sys",        "re",          "json",
                                         "logging",  "typing",     "dataclasses", "pathlib",
                                         "datetime", "collections"};
  for (uint64_t i = random.Between(2, 6); i > 0; --i)
    out << "import " << kImports[random.Below(10)] << "\n";
  out << "\nlogger = logging.getLogger(__name__)\n\n";
  auto statement = [&](const std::string& pad) {
    std::string line;
    switch (random.Below(6)) {
      case 0:
        line << pad << project.Identifier(random) << " = self." << project.Identifier(random)
             << ".get(\"" << project.Identifier(random) << "\", " << random.Below(10) << ")\n";
        break;
      case 1:
        line << pad << "if not " << project.Identifier(random) << ":\n"
             << pad << "    raise ValueError(f\"" << prose.Sentence() << " {"
             << project.Identifier(random) << "!r}\")\n";
        break;
      case 2:
        line << pad << "for " << project.Identifier(random) << " in self."
             << project.Identifier(random) << ":\n"
             << pad << "    self." << project.Identifier(random) << ".append("
             << project.Identifier(random) << ")\n";
        break;
      case 3:
        line << pad << "# " << prose.Sentence() << "\n";
        break;
      case 4:
        line << pad << "logger.debug(\"" << prose.Sentence() << " %s\", "
             << project.Identifier(random) << ")\n";
        break;
      default:
        line << pad << "self." << project.Identifier(random) << " = " << project.Identifier(random)
             << "\n";
    }
    return line;
  };
  while (out.size() < bytes) {
    std::string name(project.Type(random));
    for (char& c : name) {
      if (c == ':') c = '_';
    }
    out << "\nclass " << name << ":\n    \"\"\"" << prose.Sentence() << "\"\"\"\n\n";
    out << "    def __init__(self, " << project.Identifier(random) << "=None):\n";
    for (uint64_t i = random.Between(2, 5); i > 0; --i) {
      out << "        self." << project.Identifier(random) << " = " << project.Identifier(random)
          << "\n";
    }
    for (uint64_t m = random.Between(1, 5); m > 0; --m) {
      std::string method;
      for (char c : project.Function(random)) {
        if (std::isupper(uint8_t(c))) method += '_';
        method += char(std::tolower(uint8_t(c)));
      }
      out << "\n    def " << method << "(self, " << project.Identifier(random) << "):\n";
      out << "        \"\"\"" << prose.Sentence() << "\"\"\"\n";
      for (uint64_t i = random.Between(2, 8); i > 0; --i) out << statement("        ");
      out << "        return " << project.Identifier(random) << "\n";
    }
    out << "\n";
  }
  return out;
}

std::string JavaScript(Random& random, const Project& project, size_t bytes) {
  Prose prose(random, false);
  std::string out;
  out << "'use strict';\n\nimport { " << project.Function(random) << ", "
      << project.Function(random) << " } from './" << project.Identifier(random) << ".js';\n\n";
  while (out.size() < bytes) {
    out << "/**\n * " << prose.Sentence() << "\n * @param {Object} " << project.Identifier(random)
        << "\n */\nexport async function " << project.Function(random) << "("
        << project.Identifier(random) << ") {\n";
    for (uint64_t i = random.Between(2, 8); i > 0; --i) {
      switch (random.Below(4)) {
        case 0:
          out << "  const " << project.Identifier(random) << " = await fetch(`/api/v1/"
              << project.Identifier(random) << "/${" << project.Identifier(random) << ".id}`);\n";
          break;
        case 1:
          out << "  if (!" << project.Identifier(random) << ") {\n    throw new Error('"
              << prose.Sentence() << "');\n  }\n";
          break;
        case 2:
          out << "  " << project.Identifier(random) << ".forEach((item) => { item."
              << project.Identifier(random) << " = " << random.Below(100) << "; });\n";
          break;
        default:
          out << "  // " << prose.Sentence() << "\n";
      }
    }
    out << "  return { " << project.Identifier(random) << ", " << project.Identifier(random)
        << " };\n}\n\n";
  }
  return out;
}

}  // namespace corpus
