#include "jet/tool/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/codepage.h"

std::string jet_json_escape(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += char(c);
        }
    }
  }
  return out + "\"";
}

void jet_json::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!has_items_.empty()) {
    if (has_items_.back()) out_ << ',';
    has_items_.back() = true;
  }
}

void jet_json::begin_object() { before_value(); out_ << '{'; has_items_.push_back(false); }
void jet_json::end_object() { has_items_.pop_back(); out_ << '}'; }
void jet_json::begin_array() { before_value(); out_ << '['; has_items_.push_back(false); }
void jet_json::end_array() { has_items_.pop_back(); out_ << ']'; }

void jet_json::key(const std::string& name) {
  before_value();
  out_ << jet_json_escape(name) << ':';
  after_key_ = true;
}

void jet_json::null() { before_value(); out_ << "null"; }
void jet_json::boolean(bool value) { before_value(); out_ << (value ? "true" : "false"); }
void jet_json::integer(int64_t value) { before_value(); out_ << value; }

void jet_json::real(double value) {
  if (!std::isfinite(value)) {
    string(std::isnan(value) ? "NaN" : value > 0 ? "Infinity" : "-Infinity");
    return;
  }
  before_value();
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, value);
  out_.write(text, result.ptr - text);
}

void jet_json::string(const std::string& utf8) { before_value(); out_ << jet_json_escape(utf8); }
void jet_json::string(const std::u16string& text) { string(platform::utf16_to_utf8(text)); }
