// LOB locators filled by a fetch, and reading them. The rules follow OCI's for
// the client character set: a CLOB read into UTF-16 (the UTF-16 environment's
// own set, or csid OCI_UTF16ID) counts offsets and amounts in characters
// (UTF-16 code units); into UTF-8 (AL32UTF8, a varying-width set) offsets
// count characters and amounts count bytes. A BLOB always counts bytes.
// Amount 0 streams from the offset to the end; without a callback each call
// answers one buffer-full with OCI_NEED_DATA until the last piece answers
// OCI_SUCCESS. A read starting after the end answers OCI_NO_DATA.
#include <algorithm>
#include <cstring>

#include "ocilite/ocl_hand.h"
#include "platform/codepage.h"

using namespace ocl;

namespace {

const ub2 al32utf8_id = 873;
const ub2 utf8_id = 871;

// One piece from the locator's current position into the buffer.
// Answers the amount (units per the rules above) and the bytes written.
void read_piece(lob_handle* lob, bool utf16, void* buffer, ub4 capacity, size_t limit,
                ub4& amount, size_t& written) {
  amount = 0;
  written = 0;
  char* out = static_cast<char*>(buffer);
  if (!lob->character) {
    size_t n = std::min<size_t>({(size_t)capacity, lob->bytes.size() - lob->next, limit});
    std::memcpy(out, lob->bytes.data() + lob->next, n);
    lob->next += n;
    amount = (ub4)n;
    written = n;
    return;
  }
  if (utf16) {
    size_t n = std::min<size_t>({(size_t)capacity / 2, lob->text.size() - lob->next, limit});
    // Keep surrogate pairs together.
    if (n > 0 && lob->next + n < lob->text.size() && lob->text[lob->next + n - 1] >= 0xD800 &&
        lob->text[lob->next + n - 1] <= 0xDBFF && n > 1)
      --n;
    std::memcpy(out, lob->text.data() + lob->next, n * 2);
    lob->next += n;
    amount = (ub4)n;
    written = n * 2;
    return;
  }
  // UTF-8: whole characters while they fit; the amount counts bytes.
  while (lob->next < lob->text.size()) {
    size_t units = (lob->text[lob->next] >= 0xD800 && lob->text[lob->next] <= 0xDBFF &&
                    lob->next + 1 < lob->text.size()) ? 2 : 1;
    std::string bytes = platform::utf16_to_utf8(std::u16string_view(lob->text).substr(lob->next, units));
    if (written + bytes.size() > capacity || written + bytes.size() > limit) break;
    std::memcpy(out + written, bytes.data(), bytes.size());
    written += bytes.size();
    lob->next += units;
  }
  amount = (ub4)written;
}

}  // namespace

sword OCILobCharSetForm(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub1* csfrm) try {
  auto* env = find<env_handle>(envhp, OCI_HTYPE_ENV);
  auto* err = find<error_handle>(errhp, OCI_HTYPE_ERROR);
  auto* lob = find<lob_handle>(locp, OCI_DTYPE_LOB);
  if (!env || !err || !lob || !csfrm) return OCI_INVALID_HANDLE;
  clear(err);
  if (!lob->filled) return fail(err, 22275);
  *csfrm = lob->form;
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(errhp);
}

sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp) try {
  auto* svc = find<svc_handle>(svchp, OCI_HTYPE_SVCCTX);
  auto* err = find<error_handle>(errhp, OCI_HTYPE_ERROR);
  auto* lob = find<lob_handle>(locp, OCI_DTYPE_LOB);
  if (!svc || !err || !lob || !lenp) return OCI_INVALID_HANDLE;
  clear(err);
  if (!lob->filled) return fail(err, 22275);
  *lenp = (ub4)(lob->character ? lob->text.size() : lob->bytes.size());
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(errhp);
}

sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset,
                 void* bufp, ub4 bufl, void* ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1) try {
  auto* svc = find<svc_handle>(svchp, OCI_HTYPE_SVCCTX);
  auto* err = find<error_handle>(errhp, OCI_HTYPE_ERROR);
  auto* lob = find<lob_handle>(locp, OCI_DTYPE_LOB);
  if (!svc || !err || !lob || !amtp) return OCI_INVALID_HANDLE;
  clear(err);
  if (!svc->db) return fail(err, 3114);
  std::shared_ptr<session> db = svc->db;
  std::lock_guard<std::recursive_mutex> serialized(db->lock);  // a fetch may be filling the locator
  if (!lob->filled) return fail(err, 22275);
  if (!bufp || bufl == 0) return fail(err, 24801);
  bool utf16 = csid == OCI_UTF16ID || (csid == 0 && lob->env->utf16);
  if (lob->character && !utf16 && csid != 0 && csid != al32utf8_id && csid != utf8_id)
    return fail(err, 1482);
  size_t length = lob->character ? lob->text.size() : lob->bytes.size();

  if (!lob->polling) {
    if (offset < 1) return fail(err, 24801);
    if (offset > length) {
      *amtp = 0;
      return OCI_NO_DATA;
    }
    lob->next = offset - 1;
    ub4 wanted = *amtp;
    size_t capacity_units = lob->character && utf16 ? bufl / 2 : bufl;
    bool streamed = wanted == 0 || wanted > capacity_units;
    lob->stop = wanted == 0 ? length : std::min(length, lob->next + (size_t)wanted);
    // Into UTF-8 amounts count bytes: the limit is applied per piece instead.
    if (lob->character && !utf16) lob->stop = length;
    if (!streamed) {
      ub4 amount = 0;
      size_t written = 0;
      size_t limit = lob->character && !utf16 ? wanted : lob->stop - lob->next;
      read_piece(lob, utf16, bufp, bufl, limit, amount, written);
      *amtp = amount;
      return OCI_SUCCESS;
    }
    lob->polling = true;
  }

  // Streaming: with a callback every piece goes to it; without, one piece per call.
  size_t total = 0;
  for (;;) {
    ub4 amount = 0;
    size_t written = 0;
    size_t limit = lob->character && !utf16 ? bufl : lob->stop - lob->next;
    read_piece(lob, utf16, bufp, bufl, limit, amount, written);
    total += amount;
    bool last = lob->next >= lob->stop || amount == 0;
    if (cbfp) {
      ub1 piece = last ? (total == amount ? OCI_ONE_PIECE : OCI_LAST_PIECE)
                       : (total == amount ? OCI_FIRST_PIECE : OCI_NEXT_PIECE);
      if (cbfp(ctxp, bufp, (ub4)written, piece) < 0) {
        lob->polling = false;
        *amtp = (ub4)total;
        return fail(err, 24343);
      }
      if (!last) continue;
      lob->polling = false;
      *amtp = (ub4)total;
      return OCI_SUCCESS;
    }
    *amtp = amount;
    if (last) {
      lob->polling = false;
      return OCI_SUCCESS;
    }
    return OCI_NEED_DATA;
  }
} catch (...) {
  return internal_failure(errhp);
}
