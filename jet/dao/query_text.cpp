#include "jet/dao/query_text.h"

#include <cwctype>

#include "jet/format/error.h"

namespace {

[[noreturn]] void syntax_error() {
  throw jet_error(3141, "The SELECT statement includes a reserved word or an argument name that is misspelled or "
                        "missing, or the punctuation is incorrect.");
}

class query_parser {
 public:
  explicit query_parser(const std::u16string& text) : text_(text) {}

  jd_query parse() {
    skip_spaces();
    if (!keyword(u"select")) {
      throw jet_error(3129, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    }
    jd_query query = select_rest();
    skip_spaces();
    if (at_ < text_.size() && text_[at_] == u';') ++at_;
    skip_spaces();
    if (at_ != text_.size()) syntax_error();
    return query;
  }

 private:
  // After SELECT: "* FROM source" or "count(*) FROM source".
  jd_query select_rest() {
    jd_query query;
    skip_spaces();
    if (symbol(u'*')) {
      query.count = false;
    } else if (keyword(u"count")) {
      if (!symbol(u'(') || !symbol(u'*') || !symbol(u')')) syntax_error();
      query.count = true;
    } else {
      syntax_error();
    }
    if (!keyword(u"from")) syntax_error();
    skip_spaces();
    if (symbol(u'(')) {
      if (!query.count || !keyword(u"select")) syntax_error();
      query.inner = std::make_shared<jd_query>(select_rest());
      if (!symbol(u')')) syntax_error();
    } else {
      query.table = table_name();
    }
    return query;
  }

  std::u16string table_name() {
    skip_spaces();
    std::u16string name;
    if (symbol(u'[')) {
      while (at_ < text_.size() && text_[at_] != u']') name.push_back(text_[at_++]);
      if (at_ == text_.size()) syntax_error();
      ++at_;
    } else {
      while (at_ < text_.size() && (std::iswalnum(wint_t(text_[at_])) || text_[at_] == u'_')) name.push_back(text_[at_++]);
    }
    if (name.empty()) syntax_error();
    return name;
  }

  void skip_spaces() {
    while (at_ < text_.size() && std::iswspace(wint_t(text_[at_]))) ++at_;
  }
  bool symbol(char16_t c) {
    skip_spaces();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  // A whole word, in any letter case.
  bool keyword(const std::u16string& word) {
    skip_spaces();
    if (text_.size() - at_ < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
      if (std::towlower(wint_t(text_[at_ + i])) != wint_t(word[i])) return false;
    const size_t end = at_ + word.size();
    if (end < text_.size() && (std::iswalnum(wint_t(text_[end])) || text_[end] == u'_')) return false;
    at_ = end;
    return true;
  }

  const std::u16string& text_;
  size_t at_ = 0;
};

}  // namespace

jd_query jd_parse_query(const std::u16string& text) { return query_parser(text).parse(); }
