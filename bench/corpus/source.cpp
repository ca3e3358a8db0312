#include "bench/corpus/source.h"

#include <cctype>

#include "bench/corpus/text.h"
#include "bench/corpus/words.h"

namespace corpus {

namespace {

std::string Camel(std::string_view a, std::string_view b) {
  std::string out(a);
  out += char(std::toupper(uint8_t(b[0])));
  out += b.substr(1);
  return out;
}

std::string Upper(std::string_view text) {
  std::string out;
  for (char c : text)
    out += c == '.' || c == '/' || c == '-' || c == ' ' ? '_' : char(std::toupper(uint8_t(c)));
  return out;
}

const Zipf& RankTable(size_t n) {
  static std::vector<Zipf> tables;
  for (const Zipf& table : tables) {
    if (table.size() == n) return table;
  }
  tables.emplace_back(n, 2);
  return tables.back();
}

// Statements of C-family code: declarations, calls, assignments, branches
// and loops, comments; nested blocks indented by indent.
class CodeWriter {
 public:
  CodeWriter(Random& random, const Project& project, std::string indent, bool cpp)
      : random_(random),
        project_(project),
        prose_(random, false),
        indent_(std::move(indent)),
        cpp_(cpp) {}

  std::string Expression() {
    std::string out;
    switch (random_.Below(6)) {
      case 0:
        out << random_.Below(random_.Percent(80) ? 16 : 4096);
        break;
      case 1:
        out << project_.Identifier(random_) << (cpp_ ? "." : "->") << project_.Identifier(random_);
        break;
      case 2:
        out << Call();
        break;
      case 3:
        out << project_.Identifier(random_) << " + " << random_.Between(1, 8);
        break;
      default:
        out << project_.Identifier(random_);
    }
    return out;
  }

  std::string Call() {
    std::string out;
    out << project_.Function(random_) << "(";
    for (uint64_t i = random_.Below(4), first = 1; i > 0; --i, first = 0) {
      if (!first) out << ", ";
      out << (random_.Percent(70) ? std::string(project_.Identifier(random_)) : Expression());
    }
    out << ")";
    return out;
  }

  std::string Condition() {
    static const char* const kCompare[] = {" == ", " != ", " < ", " >= ", " > "};
    std::string out;
    if (random_.Percent(30)) {
      out << "!" << Call();
    } else if (random_.Percent(30)) {
      out << project_.Identifier(random_) << (cpp_ ? ".empty()" : " == NULL");
    } else {
      out << project_.Identifier(random_) << kCompare[random_.Below(5)] << Expression();
    }
    return out;
  }

  // The lines every function of a project repeats: checks, locks, logging.
  std::string Idiom() {
    static const char* const kCpp[] = {
        "if (!status.ok()) return status;", "std::lock_guard<std::mutex> lock(mutex_);",
        "assert(state_ != nullptr);",       "++counters_.calls;",
        "auto it = entries_.find(key);",    "if (it == entries_.end()) return std::nullopt;"};
    static const char* const kC[] = {"if (ret)\n\t\tgoto out;",        "spin_lock(&dev->lock);",
                                     "spin_unlock(&dev->lock);",       "ret = -ENOMEM;",
                                     "if (!dev)\n\t\treturn -ENODEV;", "might_sleep();"};
    std::string out;
    if (random_.Percent(30)) {
      out << (cpp_ ? "LOG(INFO) << \"" : "pr_debug(\"") << prose_.Sentence()
          << (cpp_ ? "\" << " : " %d\\n\", ") << project_.Identifier(random_)
          << (cpp_ ? ";" : ");");
    } else {
      out << (cpp_ ? kCpp[random_.Below(6)] : kC[random_.Below(6)]);
    }
    return out;
  }

  void Block(std::string& out, int depth, int statements) {
    const std::string pad = Pad(depth);
    for (int i = 0; i < statements; ++i) {
      if (random_.Percent(25)) {
        std::string idiom = Idiom();
        if (!cpp_) {
          std::string padded;
          for (char c : idiom) padded << c << (c == '\n' ? Pad(depth - 1) : "");
          idiom = padded;
        }
        out << pad << idiom << "\n";
        continue;
      }
      switch (random_.Below(depth > 3 ? 5 : 9)) {
        case 0:
          out << pad << (cpp_ ? "const " : "") << project_.Type(random_) << " "
              << project_.Identifier(random_) << " = " << Expression() << ";\n";
          break;
        case 1:
          out << pad << project_.Identifier(random_) << " = " << Expression() << ";\n";
          break;
        case 2:
          out << pad << Call() << ";\n";
          break;
        case 3:
          out << pad << "// " << prose_.Sentence() << "\n";
          break;
        case 4:
          out << pad << project_.Identifier(random_) << (cpp_ ? "." : "->")
              << project_.Identifier(random_) << " = " << Expression() << ";\n";
          break;
        case 5:
        case 6:
          out << pad << "if (" << Condition() << ") {\n";
          Block(out, depth + 1, int(random_.Between(1, 4)));
          if (random_.Percent(30)) {
            out << pad << "} else {\n";
            Block(out, depth + 1, int(random_.Between(1, 3)));
          }
          out << pad << "}\n";
          break;
        case 7:
          if (cpp_) {
            out << pad << "for (const auto& " << project_.Identifier(random_) << " : "
                << project_.Identifier(random_) << ") {\n";
          } else {
            out << pad << "for (i = 0; i < " << project_.Identifier(random_) << "->"
                << project_.Identifier(random_) << "; i++) {\n";
          }
          Block(out, depth + 1, int(random_.Between(1, 4)));
          out << pad << "}\n";
          break;
        default:
          out << pad << "if (" << Condition() << ")\n"
              << Pad(depth + 1) << "return " << (cpp_ ? "false" : "-EINVAL") << ";\n";
      }
    }
  }

  std::string Pad(int depth) const {
    std::string pad;
    for (int i = 0; i < depth; ++i) pad += indent_;
    return pad;
  }

  Prose& prose() { return prose_; }

 private:
  Random& random_;
  const Project& project_;
  Prose prose_;
  std::string indent_;
  bool cpp_;
};

std::string Comment(Prose& prose, const std::string& pad, const char* lead, int sentences) {
  std::string text;
  for (int i = 0; i < sentences; ++i) text << (i ? " " : "") << prose.Sentence();
  std::string out;
  std::string wrapped = Wrap(text, 90 - pad.size());
  size_t start = 0;
  while (start <= wrapped.size()) {
    size_t end = wrapped.find('\n', start);
    if (end == std::string::npos) end = wrapped.size();
    out << pad << lead << std::string_view(wrapped).substr(start, end - start) << "\n";
    start = end + 1;
  }
  return out;
}

std::string Guard(const Project& project, std::string_view path) {
  return Upper(project.name()) + "_" + Upper(path) + "_";
}

}  // namespace

Project::Project(std::string_view name) : name_(name) {
  Random random = Random::For(name);
  Prose prose(random, false);
  license_ << "// Copyright " << random.Between(2012, 2022) << "-2024 The " << name
           << " Authors. All rights reserved.\n//\n";
  for (int i = 0; i < 6; ++i) license_ << "// " << prose.Sentence() << "\n";
  license_ << "//\n// SPDX-License-Identifier: " << (random.Percent(50) ? "Apache-2.0" : "MIT")
           << "\n";
  for (int i = 0; i < 160; ++i) {
    std::string id;
    switch (random.Below(4)) {
      case 0:
        id << random.Pick(words::kNouns);
        break;
      case 1: {
        const std::string_view adjective = random.Pick(words::kAdjectives);
        id << Camel(adjective, random.Pick(words::kNouns));
        break;
      }
      case 2:
        id << random.Pick(words::kNouns) << "_" << random.Pick(words::kNouns);
        break;
      default:
        id << random.Pick(words::kNouns) << "_count";
    }
    identifiers_.push_back(id);
  }
  for (int i = 0; i < 40; ++i) {
    std::string type(random.Pick(words::kNouns));
    type[0] = char(std::toupper(uint8_t(type[0])));
    if (random.Percent(40)) type = Camel(type, random.Pick(words::kNouns));
    types_.push_back(type);
  }
  for (const char* builtin : {"int", "size_t", "uint32_t", "bool", "std::string", "uint64_t"}) {
    types_.insert(types_.begin() + random.Below(6), builtin);
  }
  for (int i = 0; i < 120; ++i) {
    const std::string_view verb = random.Pick(words::kVerbsBase);
    functions_.push_back(Camel(verb, random.Pick(words::kNouns)));
  }
}

std::string_view Project::Identifier(Random& random) const {
  return identifiers_[RankTable(identifiers_.size()).Pick(random)];
}
std::string_view Project::Type(Random& random) const {
  return types_[RankTable(types_.size()).Pick(random)];
}
std::string_view Project::Function(Random& random) const {
  return functions_[RankTable(functions_.size()).Pick(random)];
}

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
