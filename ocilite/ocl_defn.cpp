// One fetched value into a define's buffer, converted to the external type
// the caller asked for, as Oracle converts it.
#include <cmath>
#include <cstring>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ocilite/ocl_nls.h"
#include "ocilite/ocl_hand.h"
#include "ocilite/ocl_val.h"
#include "platform/codepage.h"

namespace ocl {

namespace {

std::string column_text(sqlite3_value* cell) {
  const unsigned char* t = sqlite3_value_text(cell);
  return t ? std::string(reinterpret_cast<const char*>(t), sqlite3_value_bytes(cell)) : "";
}

// The text SQLite holds for the value, valid until the row moves on.
std::string_view column_view(sqlite3_value* cell) {
  const unsigned char* t = sqlite3_value_text(cell);
  return t ? std::string_view(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_value_bytes(cell)))
           : std::string_view();
}

bool is_ascii(std::string_view text) {
  // Eight bytes at a time: any high bit is a byte outside ASCII.
  size_t i = 0;
  uint64_t high = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    high |= word;
  }
  for (; i < text.size(); ++i) high |= static_cast<unsigned char>(text[i]);
  return (high & 0x8080808080808080ull) == 0;
}

// ASCII text into UTF-16, a unit a byte, at out (of any alignment).
void widen_ascii(const char* text, size_t count, char* out) {
  size_t k = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: each interleaved with a zero byte.
  const __m128i zero = _mm_setzero_si128();
  for (; k + 16 <= count; k += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * k + 16), _mm_unpackhi_epi8(bytes, zero));
  }
#endif
  for (; k < count; ++k) {
    char16_t unit = static_cast<unsigned char>(text[k]);
    std::memcpy(out + 2 * k, &unit, 2);
  }
}

// Well-formed UTF-8 into UTF-16, reusing out's room; false (out undefined)
// for anything else, which the general conversion then handles.
bool widen_utf8(std::string_view text, std::u16string& out) {
  out.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    unsigned c = *p;
    if (c < 0x80) {
      out.push_back(static_cast<char16_t>(c));
      ++p;
      continue;
    }
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
    if (extra == 0 || c > 0xF4 || end - p <= extra) return false;
    char32_t code = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      if ((p[k] & 0xC0) != 0x80) return false;
      code = (code << 6) | (p[k] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not well-formed.
    if ((extra == 2 && code < 0x800) || (extra == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
      return false;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    p += extra + 1;
  }
  return true;
}

std::string column_bytes(sqlite3_value* cell) {
  const void* b = sqlite3_value_blob(cell);
  return b ? std::string(static_cast<const char*>(b), sqlite3_value_bytes(cell)) : "";
}

size_t char_count(std::string_view utf8) {
  size_t n = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// The value as Oracle's implicit conversion to text gives it, in text: a view
// of SQLite's own text when that is the answer, else of scratch.
bool value_text(const column_desc& col, sqlite3_stmt* row, sqlite3_value* cell, int storage, std::string& scratch,
                std::string_view& text, oracle_error& error) {
  const otype& t = col.type;
  if (t.kind == okind::bfile) {
    error = make_error(932, "expected CHAR got FILE");
    return false;
  }
  if (t.kind == okind::raw || t.kind == okind::long_raw || t.kind == okind::blob ||
      storage == SQLITE_BLOB) {
    const void* b = sqlite3_value_blob(cell);
    scratch = b ? hex_text(b, static_cast<size_t>(sqlite3_value_bytes(cell))) : std::string();
    text = scratch;
    return true;
  }
  const bool binary = t.kind == okind::binary_float || t.kind == okind::binary_double;
  if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
    if (binary) {
      scratch = binary_double_text(sqlite3_value_double(cell), t.kind == okind::binary_float);
    } else {
      char digits[number_chars_capacity];
      size_t n = storage == SQLITE_INTEGER ? number_chars((int64_t)sqlite3_value_int64(cell), digits)
                                           : number_chars(sqlite3_value_double(cell), digits);
      scratch.assign(digits, n);
    }
    text = scratch;
    return true;
  }
  std::string_view stored = column_view(cell);
  text = stored;
  if (t.is_datetime()) {
    datetime when;
    if (parse_stored_datetime(stored, when)) {
      std::string session = nls_format(sqlite3_db_handle(row), t.kind != okind::date);
      if (!session.empty()) {
        if (t.kind != okind::timestamp_tz) when.has_zone = false;
        scratch = format_datetime(when, session);
      } else if (t.kind == okind::date) {
        scratch = default_date_text(when);
      } else {
        if (t.kind != okind::timestamp_tz) when.has_zone = false;
        scratch = default_timestamp_text(when, t.fraction);
      }
      text = scratch;
    }
  } else if (t.kind == okind::char_ || t.kind == okind::nchar) {
    size_t chars = char_count(stored);
    if (chars < (size_t)t.length) {
      scratch.assign(stored.data(), stored.size());
      scratch.append(t.length - chars, ' ');  // CHAR is blank-padded
      text = scratch;
    }
  }
  return true;
}

bool value_number(const column_desc& col, sqlite3_value* cell, int storage, double& value,
                  oracle_error& error) {
  if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
    value = sqlite3_value_double(cell);
    return true;
  }
  if (storage == SQLITE_BLOB || col.type.is_datetime()) {
    error = make_error(932, std::string("expected NUMBER got ") + col.type.data_type());
    return false;
  }
  if (!parse_number(column_text(cell), value)) {
    error = make_error(1722);
    return false;
  }
  return true;
}

template <typename T>
void store(void* target, T value) {
  std::memcpy(target, &value, sizeof value);
}

}  // namespace

sword put_value(const env_handle* env, const column_desc& col, sqlite3_stmt* row, int index,
                define_handle& d, ub4 slot, oracle_error& error) {
  char* target = d.valuep ? static_cast<char*>(d.valuep) + (size_t)slot * (d.value_sz > 0 ? d.value_sz : 0)
                          : nullptr;
  sb2* indicator = d.indp ? static_cast<sb2*>(d.indp) + slot : nullptr;
  ub2* length = d.rlenp ? d.rlenp + slot : nullptr;
  ub2* code = d.rcodep ? d.rcodep + slot : nullptr;
  auto done = [&](sb2 ind, size_t len, ub2 rc) {
    if (indicator) *indicator = ind;
    if (length) *length = (ub2)(len > 65535 ? 65535 : len);
    if (code) *code = rc;
  };

  // The value's storage class, read before any conversion can change what SQLite reports.
  // The cell itself: read through it, SQLite's column calls each take and
  // leave the connection's mutex, which our session lock already serializes.
  sqlite3_value* cell = sqlite3_column_value(row, index);
  const int storage = sqlite3_value_type(cell);
  if (storage == SQLITE_NULL) {
    if (!indicator) {
      error = make_error(1405);
      return OCI_ERROR;
    }
    done(-1, 0, 1405);
    return OCI_SUCCESS;
  }

  switch (d.dty) {
    case SQLT_STR: case SQLT_CHR: case SQLT_AFC: case SQLT_LNG: case SQLT_VCS: {
      std::string_view text;
      if (!value_text(col, row, cell, storage, d.owner->text, text, error)) return OCI_ERROR;
      size_t term = d.dty == SQLT_STR ? terminator_size(env) : 0;
      size_t capacity = d.value_sz > 0 ? (size_t)d.value_sz : 0;
      size_t room = capacity >= term ? capacity - term : 0;
      if (env->utf16) room &= ~size_t(1);
      if (env->utf16 && is_ascii(text)) {
        // Each character is one UTF-16 unit: widened straight into the buffer.
        size_t total = text.size() * 2;
        size_t n = std::min(room, total);
        if (target) {
          widen_ascii(text.data(), n / 2, target);
          if (term && capacity >= n + term) std::memset(target + n, 0, term);
        }
        if (n < total) {
          done(total > 32767 ? -2 : (sb2)total, n, 1406);
          return OCI_SUCCESS_WITH_INFO;
        }
        done(0, n, 0);
        return OCI_SUCCESS;
      }
      std::string_view bytes = text;  // UTF-8 outside a UTF-16 environment
      if (env->utf16) {
        std::u16string& wide = d.owner->wide;
        if (!widen_utf8(text, wide)) wide = platform::utf8_to_utf16(text);
        bytes = std::string_view(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
      }
      size_t n = std::min(room, bytes.size());
      // Never end a cut UTF-16 text in the middle of a surrogate pair.
      if (env->utf16 && n < bytes.size() && n >= 2) {
        char16_t last;
        std::memcpy(&last, bytes.data() + n - 2, 2);
        if (last >= 0xD800 && last <= 0xDBFF) n -= 2;
      }
      if (target) {
        std::memcpy(target, bytes.data(), n);
        if (term && capacity >= n + term) std::memset(target + n, 0, term);
      }
      if (n < bytes.size()) {
        done(bytes.size() > 32767 ? -2 : (sb2)bytes.size(), n, 1406);
        return OCI_SUCCESS_WITH_INFO;
      }
      done(0, n, 0);
      return OCI_SUCCESS;
    }
    case SQLT_INT: case SQLT_UIN: {
      double value = 0;
      if (!value_number(col, cell, storage, value, error)) return OCI_ERROR;
      value = std::trunc(value);
      bool is_signed = d.dty == SQLT_INT;
      int size = d.value_sz;
      double low = is_signed ? -std::ldexp(1.0, size * 8 - 1) : 0;
      double high = is_signed ? std::ldexp(1.0, size * 8 - 1) - 1 : std::ldexp(1.0, size * 8) - 1;
      if ((size != 1 && size != 2 && size != 4 && size != 8) || value < low || value > high) {
        error = make_error(1455);
        return OCI_ERROR;
      }
      if (target) {
        int64_t v = storage == SQLITE_INTEGER ? sqlite3_value_int64(cell)
                                                                       : (int64_t)value;
        if (size == 1) store<int8_t>(target, (int8_t)v);
        if (size == 2) store<int16_t>(target, (int16_t)v);
        if (size == 4) store<int32_t>(target, (int32_t)v);
        if (size == 8) store<int64_t>(target, v);
      }
      done(0, size, 0);
      return OCI_SUCCESS;
    }
    case SQLT_NUM: case SQLT_VNU: {
      // The digits of the value's text conversion, in NUMBER's own form;
      // SQLT_VNU leads with its length.
      unsigned char number[oracle_number_capacity];
      size_t length;
      if (storage == SQLITE_INTEGER) {
        length = oracle_number((int64_t)sqlite3_value_int64(cell), number);
      } else {
        double value = 0;
        if (!value_number(col, cell, storage, value, error)) return OCI_ERROR;
        char digits[number_chars_capacity];
        length = oracle_number(std::string_view(digits, number_chars(value, digits)), number);
      }
      if (length == 0) {
        error = make_error(1426);
        return OCI_ERROR;
      }
      const size_t lead = d.dty == SQLT_VNU ? 1 : 0;
      if (d.value_sz < (sb4)(length + lead)) {
        error = make_error(1406);
        return OCI_ERROR;
      }
      if (target) {
        if (lead) target[0] = (char)length;
        std::memcpy(target + lead, number, length);
      }
      done(0, length + lead, 0);
      return OCI_SUCCESS;
    }
    case SQLT_FLT: case SQLT_BFLOAT: case SQLT_BDOUBLE: case SQLT_IBFLOAT: case SQLT_IBDOUBLE: {
      double value = 0;
      if (!value_number(col, cell, storage, value, error)) return OCI_ERROR;
      bool single = d.dty == SQLT_BFLOAT || d.dty == SQLT_IBFLOAT || (d.dty == SQLT_FLT && d.value_sz == 4);
      if (d.value_sz != (single ? 4 : 8)) {
        error = make_error(932, "expected BINARY_DOUBLE got NUMBER");
        return OCI_ERROR;
      }
      if (target) {
        if (single) store<float>(target, (float)value);
        else store<double>(target, value);
      }
      done(0, d.value_sz, 0);
      return OCI_SUCCESS;
    }
    case SQLT_DAT: {
      datetime when;
      if (storage != SQLITE_TEXT ||
          !parse_stored_datetime(column_view(cell), when)) {
        error = make_error(932, "expected DATE got " + col.type.data_type());
        return OCI_ERROR;
      }
      if (d.value_sz < 7) {
        error = make_error(1406);
        return OCI_ERROR;
      }
      if (target) to_oracle_date(when, reinterpret_cast<unsigned char*>(target));
      done(0, 7, 0);
      return OCI_SUCCESS;
    }
    case SQLT_BIN: case SQLT_LBI: {
      std::string bytes;
      if (storage == SQLITE_BLOB) bytes = column_bytes(cell);
      else if (!parse_hex(column_text(cell), bytes)) {
        error = make_error(1465);
        return OCI_ERROR;
      }
      size_t capacity = d.value_sz > 0 ? (size_t)d.value_sz : 0;
      size_t n = std::min(capacity, bytes.size());
      if (target) std::memcpy(target, bytes.data(), n);
      if (n < bytes.size()) {
        done(bytes.size() > 32767 ? -2 : (sb2)bytes.size(), n, 1406);
        return OCI_SUCCESS_WITH_INFO;
      }
      done(0, n, 0);
      return OCI_SUCCESS;
    }
    case SQLT_CLOB: case SQLT_BLOB: {
      bool want_text = d.dty == SQLT_CLOB;
      const otype& t = col.type;
      bool is_text = t.kind == okind::clob || t.kind == okind::nclob;
      if (want_text ? !is_text : t.kind != okind::blob) {
        error = make_error(932, std::string("expected ") + (want_text ? "CLOB" : "BLOB") + " got " + t.data_type());
        return OCI_ERROR;
      }
      if (!d.valuep) {
        error = make_error(22275);
        return OCI_ERROR;
      }
      void* locator_address = nullptr;
      std::memcpy(&locator_address, static_cast<char*>(d.valuep) + slot * sizeof(void*), sizeof(void*));
      // The same locators batch after batch: looked up again only when a handle was freed.
      uint64_t freed = handles_freed();
      if (d.lob_freed != freed) {
        d.lobs.clear();
        d.lob_freed = freed;
      }
      if (d.lobs.size() <= slot) d.lobs.resize(slot + 1);
      define_handle::lob_slot& cached = d.lobs[slot];
      if (!cached.lob || cached.address != locator_address) {
        cached.lob = find_handle(locator_address, OCI_DTYPE_LOB);
        cached.address = locator_address;
      }
      auto* lob = static_cast<lob_handle*>(cached.lob);  // cast only once known to be live
      if (!lob) {
        error = make_error(22275);
        return OCI_ERROR;
      }
      lob->filled = true;
      lob->character = is_text;
      lob->form = t.charset_form();
      lob->polling = false;
      lob->text.clear();
      lob->bytes.clear();
      // The locator keeps its buffers from row to row.
      if (is_text) {
        std::string_view stored = column_view(cell);
        if (is_ascii(stored)) {
          lob->text.resize(stored.size());
          widen_ascii(stored.data(), stored.size(), reinterpret_cast<char*>(lob->text.data()));
        }
        else lob->text = platform::utf8_to_utf16(stored);
      } else if (const void* b = sqlite3_value_blob(cell)) {
        lob->bytes.assign(static_cast<const char*>(b), static_cast<size_t>(sqlite3_value_bytes(cell)));
      }
      done(0, sizeof(void*), 0);
      return OCI_SUCCESS;
    }
    default:
      error = make_error(932, "unsupported external type " + std::to_string(d.dty));
      return OCI_ERROR;
  }
}

}  // namespace ocl
