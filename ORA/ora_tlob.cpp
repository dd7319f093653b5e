// LOB columns. The environment works in UTF-16, so CLOB text is asked for
// explicitly in UTF-16 (OCI_UTF16ID): offsets and amounts then count UTF-16
// code units, and a piece never splits a character into bytes. A BLOB counts
// bytes. Reading stops at the LOB's length or at an empty piece.
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
  ora_engine::check_status(ora_engine::oci().descriptor_alloc(
      ora_engine::environment(), reinterpret_cast<void**>(&locator_), OCI_DTYPE_LOB, 0, nullptr));
}

ora_lob::~ora_lob() {
  if (locator_ && ora_engine::instance()) ora_engine::oci().descriptor_free(locator_, OCI_DTYPE_LOB);
}

void ora_lob::define(OCIStmt* statement, ub4 position) {
  define_buffer(statement, position, &locator_, -1, type_code_);
}

ub4 ora_lob::read_lob(ub4 offset, void* buffer, ub4 buffer_bytes) {
  trace(1, "ora_lob::read_lob(%d,%d)", static_cast<int>(offset), static_cast<int>(buffer_bytes));
  const ora_oci_calls& api = ora_engine::oci();
  bool text = type_code_ == SQLT_CLOB;
  // A column's values all have its character set form: asked for once.
  if (text && !form_known_) {
    ora_engine::check_status(api.lob_char_set_form(ora_engine::environment(), ora_engine::error_handle(),
                                                   locator_, &form_));
    form_known_ = true;
    trace(1, "Got charset form: %d", form_);
  }
  ub1 form = text ? form_ : SQLCS_IMPLICIT;
  // Ask for what fits: characters of two bytes for text, bytes otherwise.
  ub4 amount = text ? buffer_bytes / 2 : buffer_bytes;
  sword status = ora_engine::check_status(api.lob_read(ora_engine::service_context(), ora_engine::error_handle(),
                                                       locator_, &amount, offset, buffer, buffer_bytes, nullptr,
                                                       nullptr, text ? OCI_UTF16ID : 0, form));
  if (status == OCI_NO_DATA) return 0;
  // Never more than the buffer holds, whatever the client claims.
  ub4 capacity = text ? buffer_bytes / 2 : buffer_bytes;
  return amount < capacity ? amount : capacity;
}

void ora_lob::to_variant(ole_variant& value) {
  trace(1, "ora_lob::to_variant");
  TK_CHECK(type_code_ == SQLT_CLOB || type_code_ == SQLT_BLOB, "ora_type");
  ub4 length = 0;
  ora_engine::check_status(ora_engine::oci().lob_get_length(ora_engine::service_context(),
                                                            ora_engine::error_handle(), locator_, &length));
  // The piece buffer is made once per column: clearing 32 KB for every row
  // cost more than reading the values.
  if (length > 0 && piece_.empty()) piece_.resize(piece_bytes / 2);
  if (type_code_ == SQLT_CLOB) {
    std::u16string& text = text_;
    text.clear();
    for (ub4 offset = 1; text.size() < length;) {
      ub4 amount = read_lob(offset, piece_.data(), piece_bytes);
      if (amount == 0) break;
      text.append(piece_.data(), amount);
      offset += amount;
    }
    value.attach_wstring(text);
    if (text.capacity() > kept_bytes / 2) std::u16string().swap(text);
  } else {
    std::vector<BYTE>& bytes = bytes_;
    bytes.clear();
    const BYTE* piece = reinterpret_cast<const BYTE*>(piece_.data());
    for (ub4 offset = 1; bytes.size() < length;) {
      ub4 amount = read_lob(offset, piece_.data(), piece_bytes);
      if (amount == 0) break;
      bytes.insert(bytes.end(), piece, piece + amount);
      offset += amount;
    }
    value.attach_binary(bytes);
    if (bytes.capacity() > kept_bytes) std::vector<BYTE>().swap(bytes);
  }
}
