#include "config_json.h"

#include <charconv>
#include <cstdint>
#include <set>

#include "quillon_text.h"

namespace quillon::cli {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool Parse(std::vector<ConfigEntry>* entries, std::string* error) {
    error_ = error;
    std::set<std::string> seen;
    if (!Expect('{')) return false;
    if (Accept('}')) return Finish();
    for (;;) {
      ConfigEntry entry;
      SkipBlanks();
      entry.line = line_;
      if (!String(&entry.name) || !Expect(':')) return false;
      if (!seen.insert(entry.name).second) return Fail(entry.name + " is given twice");
      if (Peek() == '[') {
        entry.isArray = true;
        ++pos_;
        if (Peek() != ']') {
          do {
            entry.values.emplace_back();
            if (!Scalar(&entry.values.back())) return false;
          } while (Accept(','));
        }
        if (!Expect(']')) return false;
      } else {
        entry.values.emplace_back();
        if (!Scalar(&entry.values.back())) return false;
      }
      entries->push_back(std::move(entry));
      if (!Accept(',')) break;
    }
    if (!Expect('}')) return false;
    return Finish();
  }

 private:
  bool Finish() {
    SkipBlanks();
    return pos_ == text_.size() || Fail("text after the object");
  }

  void SkipBlanks() {
    for (; pos_ < text_.size(); ++pos_) {
      const char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        lineStart_ = pos_ + 1;
      } else if (c != ' ' && c != '\t' && c != '\r') {
        return;
      }
    }
  }

  char Peek() {
    SkipBlanks();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }

  bool Accept(char c) {
    if (Peek() != c) return false;
    ++pos_;
    return true;
  }

  bool Expect(char c) {
    if (Accept(c)) return true;
    return Fail(std::string("expected '") + c + "'");
  }

  bool Fail(const std::string& what) {
    *error_ = "line " + std::to_string(line_) + ", column " + std::to_string(pos_ - lineStart_ + 1) + ": " + what;
    return false;
  }

  bool Scalar(ConfigValue* value) {
    if (Peek() == '"') {
      value->isText = true;
      return String(&value->text);
    }
    const std::size_t start = pos_;
    if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    const std::string_view digits = text_.substr(start, pos_ - start);
    std::int64_t number = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || digits == "-") return Fail("expected an integer or a string");
    if (ec != std::errc() || end != digits.data() + digits.size()) return Fail("an integer out of range");
    if (pos_ < text_.size() && (text_[pos_] == '.' || text_[pos_] == 'e' || text_[pos_] == 'E')) {
      return Fail("a fraction; values are integers");
    }
    value->text = std::to_string(number);
    return true;
  }

  // A JSON string, decoded; \u escapes may carry a lone surrogate, which
  // stands for a byte that is not UTF-8 (as JsonString writes one).
  bool String(std::string* out) {
    if (Peek() != '"') return Fail("expected a string");
    std::u16string wide;
    for (++pos_; pos_ < text_.size(); ++pos_) {
      const auto c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"') {
        ++pos_;
        *out = Utf16ToUtf8(wide);
        return true;
      }
      if (c < 0x20) return Fail("a control character inside a string");
      if (c != '\\') {
        const std::size_t begin = pos_;
        while (pos_ + 1 < text_.size() && text_[pos_ + 1] != '"' && text_[pos_ + 1] != '\\' &&
               static_cast<unsigned char>(text_[pos_ + 1]) >= 0x20) {
          ++pos_;
        }
        wide += Utf8ToUtf16(text_.substr(begin, pos_ + 1 - begin));
        continue;
      }
      if (++pos_ >= text_.size()) break;
      switch (text_[pos_]) {
        case '"': wide += u'"'; break;
        case '\\': wide += u'\\'; break;
        case '/': wide += u'/'; break;
        case 'b': wide += u'\b'; break;
        case 'f': wide += u'\f'; break;
        case 'n': wide += u'\n'; break;
        case 'r': wide += u'\r'; break;
        case 't': wide += u'\t'; break;
        case 'u': {
          unsigned code = 0;
          const std::string_view hex = text_.substr(pos_ + 1, 4);
          const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), code, 16);
          if (hex.size() != 4 || ec != std::errc() || end != hex.data() + 4) return Fail("a bad \\u escape");
          wide += static_cast<char16_t>(code);
          pos_ += 4;
          break;
        }
        default: return Fail("an unknown escape");
      }
    }
    return Fail("a string without its closing quote");
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
  std::size_t lineStart_ = 0;
  std::string* error_ = nullptr;
};

}  // namespace

bool ParseConfig(std::string_view text, std::vector<ConfigEntry>* entries, std::string* error) {
  entries->clear();
  return Parser(text).Parse(entries, error);
}

}  // namespace quillon::cli
