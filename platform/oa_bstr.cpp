// BSTR: a 32-bit byte count, then the UTF-16 units, then a zero unit. The
// pointer handed out points at the first unit, so a BSTR reads as a C string.
#include <cstring>
#include <limits>

#include "platform/oa_alloc.h"
#include "platform/oleauto.h"

namespace {

constexpr size_t prefix_bytes = sizeof(uint32_t);

uint32_t* prefix_of(BSTR s) { return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(s) - prefix_bytes); }

BSTR allocate_bytes(const char* bytes, UINT byte_count) {
  if (byte_count > std::numeric_limits<uint32_t>::max() - prefix_bytes - 2 * sizeof(OLECHAR)) return nullptr;
  // Room for an odd byte count plus a whole terminating unit.
  size_t total = prefix_bytes + byte_count + 2 * sizeof(OLECHAR);
  char* block = static_cast<char*>(platform::oa_allocate(total));
  if (!block) return nullptr;
  uint32_t count = byte_count;
  std::memcpy(block, &count, sizeof count);
  char* text = block + prefix_bytes;
  if (bytes) std::memcpy(text, bytes, byte_count);
  else std::memset(text, 0, byte_count);
  std::memset(text + byte_count, 0, 2 * sizeof(OLECHAR));
  return reinterpret_cast<BSTR>(text);
}

}  // namespace

extern "C" {

BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  size_t len = 0;
  while (psz[len]) ++len;
  if (len > std::numeric_limits<UINT>::max() / sizeof(OLECHAR)) return nullptr;
  return SysAllocStringLen(psz, static_cast<UINT>(len));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  if (ui > (std::numeric_limits<uint32_t>::max() - 16) / sizeof(OLECHAR)) return nullptr;
  return allocate_bytes(reinterpret_cast<const char*>(strIn), ui * static_cast<UINT>(sizeof(OLECHAR)));
}

BSTR SysAllocStringByteLen(const char* psz, UINT len) { return allocate_bytes(psz, len); }

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (!pbstr) return FALSE;
  BSTR fresh = SysAllocString(psz);
  if (psz && !fresh) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

void SysFreeString(BSTR bstrString) {
  if (bstrString) platform::oa_release(prefix_of(bstrString));
}

UINT SysStringLen(BSTR pbstr) { return pbstr ? *prefix_of(pbstr) / sizeof(OLECHAR) : 0; }

UINT SysStringByteLen(BSTR bstr) { return bstr ? *prefix_of(bstr) : 0; }

}  // extern "C"
