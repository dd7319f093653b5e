// LOB columns. The environment works in UTF-16, so CLOB text is asked for
// explicitly in UTF-16 (OCI_UTF16ID): offsets and amounts then count UTF-16
// code units, and a piece never splits a character into bytes. A BLOB counts
// bytes. A value that fits one piece is read in one call; a longer one asks
// for the LOB's length and reads on up to it, or up to an empty piece.
#include <vector>

#include "ORA/ora_engi.h"
#include "ORA/ora_type.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

namespace {
constexpr ub4 piece_bytes = 0x8000;
// Room a column keeps for the next row's value; a larger value's goes with it.
constexpr size_t kept_bytes = 1 << 20;
}

ora_lob::ora_lob(OCIParam* column, ub2 type_code) : ora_type(column, type_code) {
  locators_.reserve(1);
  locators_.push_back(nullptr);
  ora_engine::check_status(ora_engine::oci().descriptor_alloc(
      ora_engine::environment(), reinterpret_cast<void**>(&locators_.back()), OCI_DTYPE_LOB, 0, nullptr));
}

ora_lob::~ora_lob() {
  if (!ora_engine::instance()) return;
  for (OCILobLocator* locator : locators_)
    if (locator) ora_engine::oci().descriptor_free(locator, OCI_DTYPE_LOB);
}

void ora_lob::define(OCIStmt* statement, ub4 position, ub4 rows) {
  // An array fetch fills one locator a row.
  while (locators_.size() < rows) {
    OCILobLocator* locator = nullptr;
    ora_engine::check_status(ora_engine::oci().descriptor_alloc(
        ora_engine::environment(), reinterpret_cast<void**>(&locator), OCI_DTYPE_LOB, 0, nullptr));
    locators_.push_back(locator);
  }
  // The slots are the locator pointers themselves, one pointer apart.
  define_buffer(statement, position, rows, locators_.data(), static_cast<sb4>(sizeof(OCILobLocator*)), type_code_);
}

ub4 ora_lob::read_lob(ub4 offset, void* buffer, ub4 buffer_bytes) {
  trace(1, "ora_lob::read_lob(%d,%d)", static_cast<int>(offset), static_cast<int>(buffer_bytes));
  const ora_oci_calls& api = ora_engine::oci();
  OCILobLocator* locator = this->locator();
  bool text = type_code_ == SQLT_CLOB;
  // A column's values all have its character set form: asked for once.
  if (text && !form_known_) {
    ora_engine::check_status(api.lob_char_set_form(ora_engine::environment(), ora_engine::error_handle(),
                                                   locator, &form_));
    form_known_ = true;
    trace(1, "Got charset form: %d", form_);
  }
  ub1 form = text ? form_ : SQLCS_IMPLICIT;
  // Ask for what fits: characters of two bytes for text, bytes otherwise.
  ub4 amount = text ? buffer_bytes / 2 : buffer_bytes;
  sword status = ora_engine::check_status(api.lob_read(ora_engine::service_context(), ora_engine::error_handle(),
                                                       locator, &amount, offset, buffer, buffer_bytes, nullptr,
                                                       nullptr, text ? OCI_UTF16ID : 0, form));
  if (status == OCI_NO_DATA) return 0;
  // Never more than the buffer holds, whatever the client claims.
  ub4 capacity = text ? buffer_bytes / 2 : buffer_bytes;
  return amount < capacity ? amount : capacity;
}

void ora_lob::to_variant(ole_variant& value) {
  trace(1, "ora_lob::to_variant");
  TK_CHECK(type_code_ == SQLT_CLOB || type_code_ == SQLT_BLOB, "ora_type");
  // The piece buffer is made once per column: clearing 32 KB for every row
  // cost more than reading the values.
  if (piece_.empty()) piece_.resize(piece_bytes / 2);
  const bool text_lob = type_code_ == SQLT_CLOB;
  const ub4 piece_units = text_lob ? piece_bytes / 2 : piece_bytes;
  // The first piece: a shorter one is the whole value. Only a value that
  // fills it needs the length to know where to stop.
  ub4 first = read_lob(1, piece_.data(), piece_bytes);
  ub4 length = first;
  if (first == piece_units)
    ora_engine::check_status(ora_engine::oci().lob_get_length(ora_engine::service_context(),
                                                              ora_engine::error_handle(), locator(), &length));
  if (first < piece_units) {
    // The whole value is in the piece: handed on from there.
    if (text_lob) value.attach_wstring(std::u16string_view(piece_.data(), first));
    else value.attach_binary(first, reinterpret_cast<const BYTE*>(piece_.data()));
    return;
  }
  if (text_lob) {
    std::u16string& text = text_;
    text.assign(piece_.data(), first);
    for (ub4 offset = first + 1; first > 0 && text.size() < length;) {
      ub4 amount = read_lob(offset, piece_.data(), piece_bytes);
      if (amount == 0) break;
      text.append(piece_.data(), amount);
      offset += amount;
    }
    value.attach_wstring(text);
    if (text.capacity() > kept_bytes / 2) std::u16string().swap(text);
  } else {
    std::vector<BYTE>& bytes = bytes_;
    const BYTE* piece = reinterpret_cast<const BYTE*>(piece_.data());
    bytes.assign(piece, piece + first);
    for (ub4 offset = first + 1; first > 0 && bytes.size() < length;) {
      ub4 amount = read_lob(offset, piece_.data(), piece_bytes);
      if (amount == 0) break;
      bytes.insert(bytes.end(), piece, piece + amount);
      offset += amount;
    }
    value.attach_binary(bytes);
    if (bytes.capacity() > kept_bytes) std::vector<BYTE>().swap(bytes);
  }
}
