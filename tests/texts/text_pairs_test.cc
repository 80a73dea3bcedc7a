// Every text exists as an English and a German format that are filled from
// the same arguments; a conversion that differs between the two would print
// garbage, or crash, in one language only. The pairs are read from the
// sources themselves, so a new pair cannot be forgotten here.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Pair {
  std::string where;
  std::string english, german;
};

class Scanner {
 public:
  explicit Scanner(std::string text) : m_text(std::move(text)) {}

  void SkipSpace() {
    for (;;) {
      while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos])))
        ++m_pos;
      if (m_text.compare(m_pos, 2, "//") == 0) {
        m_pos = m_text.find('\n', m_pos);
        if (m_pos == std::string::npos) m_pos = m_text.size();
      } else {
        return;
      }
    }
  }

  // Adjacent string literals joined, escapes kept as written (only the
  // conversions matter); none when no literal stands here.
  std::optional<std::string> Literals() {
    SkipSpace();
    if (m_pos >= m_text.size() || m_text[m_pos] != '"') return std::nullopt;
    std::string joined;
    while (m_pos < m_text.size() && m_text[m_pos] == '"') {
      for (++m_pos; m_pos < m_text.size() && m_text[m_pos] != '"'; ++m_pos) {
        if (m_text[m_pos] == '\\') joined += m_text[m_pos++];
        joined += m_text[m_pos];
      }
      ++m_pos;
      SkipSpace();
    }
    return joined;
  }

  std::optional<std::string> Identifier() {
    SkipSpace();
    const size_t start = m_pos;
    while (m_pos < m_text.size() &&
           (std::isalnum(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '_'))
      ++m_pos;
    if (m_pos == start) return std::nullopt;
    return m_text.substr(start, m_pos - start);
  }

  bool Take(char c) {
    SkipSpace();
    if (m_pos < m_text.size() && m_text[m_pos] == c) {
      ++m_pos;
      return true;
    }
    return false;
  }

  size_t& Pos() { return m_pos; }

 private:
  std::string m_text;
  size_t m_pos = 0;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// constexpr const char* kName = "...";  and  constexpr char kName[] = "...";
std::map<std::string, std::string> NamedLiterals(const std::string& text) {
  std::map<std::string, std::string> named;
  for (const char* head : {"constexpr const char* ", "constexpr char "}) {
    for (size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
      Scanner scan(text);
      scan.Pos() = at + std::string(head).size();
      const std::optional<std::string> name = scan.Identifier();
      if (!name) continue;
      if (scan.Take('[')) scan.Take(']');
      if (!scan.Take('=')) continue;
      if (const std::optional<std::string> value = scan.Literals()) named[*name] = *value;
    }
  }
  return named;
}

// The first argument of a pair: a literal, or the name of one in this file.
std::optional<std::string> Argument(Scanner& scan, const std::map<std::string, std::string>& named) {
  if (std::optional<std::string> literal = scan.Literals()) return literal;
  const std::optional<std::string> name = scan.Identifier();
  if (!name) return std::nullopt;
  const auto it = named.find(*name);
  if (it == named.end()) return std::nullopt;
  return it->second;
}

std::vector<Pair> PairsIn(const fs::path& file) {
  const std::string text = ReadAll(file);
  const std::map<std::string, std::string> named = NamedLiterals(text);
  std::vector<Pair> pairs;
  // LangText(english, german) and TextPair kName = {english, german}.
  for (const char* head : {"LangText(", "TextPair "}) {
    for (size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
      Scanner scan(text);
      scan.Pos() = at + std::string(head).size();
      if (std::string(head) == "TextPair ") {
        if (!scan.Identifier() || !scan.Take('=') || !scan.Take('{')) continue;
      }
      const std::optional<std::string> english = Argument(scan, named);
      if (!english || !scan.Take(',')) continue;
      const std::optional<std::string> german = Argument(scan, named);
      if (!german) continue;
      const size_t line = static_cast<size_t>(std::count(text.begin(), text.begin() + at, '\n'));
      pairs.push_back({file.filename().string() + ":" + std::to_string(line + 1), *english,
                       *german});
    }
  }
  return pairs;
}

// The printf conversions of a format in order, "%%" left out.
std::vector<std::string> Conversions(const std::string& format) {
  std::vector<std::string> found;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (i + 1 < format.size() && format[i + 1] == '%') {
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < format.size() && std::string("-+ #0123456789.").find(format[end]) != std::string::npos)
      ++end;
    while (end < format.size() && std::string("hlLqjzt").find(format[end]) != std::string::npos)
      ++end;
    if (end < format.size()) found.push_back(format.substr(i, end - i + 1));
    i = end;
  }
  return found;
}

std::vector<Pair> AllPairs() {
  std::vector<Pair> pairs;
  for (const char* folder : {"engine", "report", "ui", "cli"}) {
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(KALVEX_SOURCE_DIR) / folder)) {
      const std::string extension = entry.path().extension().string();
      if (extension != ".cc" && extension != ".h") continue;
      for (Pair& pair : PairsIn(entry.path())) pairs.push_back(std::move(pair));
    }
  }
  return pairs;
}

TEST(TextPairs, BothLanguagesTakeTheSameArguments) {
  const std::vector<Pair> pairs = AllPairs();
  // The scan must find the program's texts, or it checks nothing.
  ASSERT_GT(pairs.size(), 45u);
  for (const Pair& pair : pairs) {
    EXPECT_EQ(Conversions(pair.english), Conversions(pair.german))
        << pair.where << "\n  " << pair.english << "\n  " << pair.german;
  }
}

TEST(TextPairs, TheConversionsAreFoundAsPrintfReadsThem) {
  EXPECT_EQ(Conversions("%s %llu 0x%016llx %% %lld %u %c"),
            (std::vector<std::string>{"%s", "%llu", "%016llx", "%lld", "%u", "%c"}));
  const std::vector<Pair> sample = PairsIn(fs::path(KALVEX_SOURCE_DIR) / "engine/messages.h");
  ASSERT_FALSE(sample.empty());
  EXPECT_EQ(Conversions(sample.front().english), (std::vector<std::string>{"%llu", "%llu"}));
}

}  // namespace
