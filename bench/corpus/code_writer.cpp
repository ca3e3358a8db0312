#include "bench/corpus/code_writer.h"

namespace corpus {

CodeWriter::CodeWriter(Random& random, const Project& project, std::string indent, bool cpp)
    : random_(random),
      project_(project),
      prose_(random, false),
      indent_(std::move(indent)),
      cpp_(cpp) {}

std::string CodeWriter::Expression() {
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

std::string CodeWriter::Call() {
  std::string out;
  out << project_.Function(random_) << "(";
  for (uint64_t i = random_.Below(4), first = 1; i > 0; --i, first = 0) {
    if (!first) out << ", ";
    out << (random_.Percent(70) ? std::string(project_.Identifier(random_)) : Expression());
  }
  out << ")";
  return out;
}

std::string CodeWriter::Condition() {
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

std::string CodeWriter::Idiom() {
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
        << (cpp_ ? "\" << " : " %d\\n\", ") << project_.Identifier(random_) << (cpp_ ? ";" : ");");
  } else {
    out << (cpp_ ? kCpp[random_.Below(6)] : kC[random_.Below(6)]);
  }
  return out;
}

void CodeWriter::Block(std::string& out, int depth, int statements) {
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

std::string CodeWriter::Pad(int depth) const {
  std::string pad;
  for (int i = 0; i < depth; ++i) pad += indent_;
  return pad;
}

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

}  // namespace corpus
