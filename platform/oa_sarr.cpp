// SAFEARRAY: a header with its bounds stored last dimension first (as Windows
// keeps them), the element type in the 16 bytes before the header, and the
// data in a block of its own. BSTR and VARIANT elements are owned by the array.
#include <cstring>
#include <limits>
#include <new>

#include "platform/oa_alloc.h"
#include "platform/oleauto.h"

namespace {

constexpr size_t type_prefix = 16;  // keeps the header 16-byte aligned
constexpr ULONG max_locks = 65535;

struct element_kind {
  ULONG size;
  USHORT features;
};

bool kind_of(VARTYPE vt, element_kind* kind) {
  switch (vt) {
    case VT_I1: case VT_UI1: *kind = {1, 0}; return true;
    case VT_I2: case VT_UI2: case VT_BOOL: *kind = {2, 0}; return true;
    case VT_I4: case VT_UI4: case VT_R4: case VT_INT: case VT_UINT: case VT_ERROR: *kind = {4, 0}; return true;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: *kind = {8, 0}; return true;
    case VT_DECIMAL: *kind = {sizeof(DECIMAL), 0}; return true;
    case VT_BSTR: *kind = {sizeof(BSTR), FADF_BSTR}; return true;
    case VT_VARIANT: *kind = {sizeof(VARIANT), FADF_VARIANT}; return true;
    default: return false;
  }
}

VARTYPE* type_slot(SAFEARRAY* psa) {
  return reinterpret_cast<VARTYPE*>(reinterpret_cast<char*>(psa) - type_prefix);
}

size_t header_bytes(UINT dims) { return sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND); }

// Element count of the whole array; false when it does not fit in memory.
bool element_count(const SAFEARRAY* psa, size_t* count) {
  size_t n = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    size_t c = psa->rgsabound[d].cElements;
    if (c != 0 && n > std::numeric_limits<size_t>::max() / c) return false;
    n *= c;
  }
  if (psa->cbElements && n > std::numeric_limits<size_t>::max() / psa->cbElements) return false;
  *count = n;
  return true;
}

void release_elements(SAFEARRAY* psa, size_t from, size_t to) {
  if (!psa->pvData) return;
  if (psa->fFeatures & FADF_BSTR) {
    BSTR* items = static_cast<BSTR*>(psa->pvData);
    for (size_t i = from; i < to; ++i) { SysFreeString(items[i]); items[i] = nullptr; }
  } else if (psa->fFeatures & FADF_VARIANT) {
    VARIANT* items = static_cast<VARIANT*>(psa->pvData);
    for (size_t i = from; i < to; ++i) VariantClear(&items[i]);
  }
}

// Copies the elements of `from` into the zeroed data block of `to`.
HRESULT copy_elements(const SAFEARRAY* from, SAFEARRAY* to, size_t count) {
  if (from->fFeatures & FADF_BSTR) {
    const BSTR* src = static_cast<const BSTR*>(from->pvData);
    BSTR* dst = static_cast<BSTR*>(to->pvData);
    for (size_t i = 0; i < count; ++i) {
      if (!src[i]) continue;
      dst[i] = SysAllocStringByteLen(reinterpret_cast<const char*>(src[i]), SysStringByteLen(src[i]));
      if (!dst[i]) return E_OUTOFMEMORY;
    }
  } else if (from->fFeatures & FADF_VARIANT) {
    const VARIANT* src = static_cast<const VARIANT*>(from->pvData);
    VARIANT* dst = static_cast<VARIANT*>(to->pvData);
    for (size_t i = 0; i < count; ++i) {
      HRESULT hr = VariantCopy(&dst[i], &src[i]);
      if (FAILED(hr)) return hr;
    }
  } else if (count) {
    std::memcpy(to->pvData, from->pvData, count * from->cbElements);
  }
  return S_OK;
}

SAFEARRAY* allocate_header(UINT dims, VARTYPE vt, const element_kind& kind) {
  char* block = static_cast<char*>(platform::oa_allocate(type_prefix + header_bytes(dims)));
  if (!block) return nullptr;
  std::memset(block, 0, type_prefix + header_bytes(dims));
  SAFEARRAY* psa = reinterpret_cast<SAFEARRAY*>(block + type_prefix);
  *type_slot(psa) = vt;
  psa->cDims = static_cast<USHORT>(dims);
  psa->cbElements = kind.size;
  psa->fFeatures = static_cast<USHORT>(kind.features | FADF_HAVEVARTYPE);
  return psa;
}

void free_header(SAFEARRAY* psa) { platform::oa_release(reinterpret_cast<char*>(psa) - type_prefix); }

HRESULT allocate_data(SAFEARRAY* psa) {
  size_t count;
  if (!element_count(psa, &count)) return E_OUTOFMEMORY;
  size_t bytes = count * psa->cbElements;
  psa->pvData = platform::oa_allocate(bytes);
  if (!psa->pvData) return E_OUTOFMEMORY;
  std::memset(psa->pvData, 0, bytes == 0 ? 1 : bytes);
  return S_OK;
}

HRESULT bound_of(SAFEARRAY* psa, UINT nDim, const SAFEARRAYBOUND** bound) {
  if (!psa) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *bound = &psa->rgsabound[psa->cDims - nDim];
  return S_OK;
}

}  // namespace

extern "C" {

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  element_kind kind;
  if (cDims == 0 || cDims > 64 || !rgsabound || !kind_of(vt, &kind)) return nullptr;
  SAFEARRAY* psa = allocate_header(cDims, vt, kind);
  if (!psa) return nullptr;
  for (UINT d = 0; d < cDims; ++d) psa->rgsabound[cDims - 1 - d] = rgsabound[d];
  if (FAILED(allocate_data(psa))) {
    free_header(psa);
    return nullptr;
  }
  return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound = {cElements, lLbound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  size_t count;
  if (element_count(psa, &count)) release_elements(psa, 0, count);
  platform::oa_release(psa->pvData);
  free_header(psa);
  return S_OK;
}

HRESULT SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew) {
  if (!psa || !psaboundNew) return E_INVALIDARG;
  if (psa->cLocks > 0 || (psa->fFeatures & FADF_FIXEDSIZE)) return DISP_E_ARRAYISLOCKED;
  // Only the last dimension changes; it is the first one stored.
  size_t old_count, slice = 1;
  if (!element_count(psa, &old_count)) return E_UNEXPECTED;
  for (USHORT d = 1; d < psa->cDims; ++d) slice *= psa->rgsabound[d].cElements;
  size_t new_elements = psaboundNew->cElements;
  if (slice && new_elements > std::numeric_limits<size_t>::max() / slice / (psa->cbElements ? psa->cbElements : 1))
    return E_OUTOFMEMORY;
  size_t new_count = new_elements * slice;
  if (new_count != old_count) {
    void* data = platform::oa_allocate(new_count * psa->cbElements);
    if (!data) return E_OUTOFMEMORY;
    size_t kept = new_count < old_count ? new_count : old_count;
    std::memset(data, 0, new_count * psa->cbElements);
    if (kept) std::memcpy(data, psa->pvData, kept * psa->cbElements);
    release_elements(psa, kept, old_count);
    platform::oa_release(psa->pvData);
    psa->pvData = data;
  }
  psa->rgsabound[0] = *psaboundNew;
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks >= max_locks) return E_UNEXPECTED;
  ++psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  HRESULT hr = SafeArrayLock(psa);
  *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
  return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  element_kind kind = {psa->cbElements, static_cast<USHORT>(psa->fFeatures & (FADF_BSTR | FADF_VARIANT))};
  SAFEARRAY* copy = allocate_header(psa->cDims, *type_slot(psa), kind);
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(copy->rgsabound, psa->rgsabound, psa->cDims * sizeof(SAFEARRAYBOUND));
  size_t count;
  HRESULT hr = element_count(psa, &count) ? allocate_data(copy) : E_OUTOFMEMORY;
  if (SUCCEEDED(hr)) hr = copy_elements(psa, copy, count);
  if (FAILED(hr)) {
    SafeArrayDestroy(copy);
    return hr;
  }
  *ppsaOut = copy;
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  const SAFEARRAYBOUND* bound = nullptr;
  if (!plLbound) return E_INVALIDARG;
  HRESULT hr = bound_of(psa, nDim, &bound);
  if (SUCCEEDED(hr)) *plLbound = bound->lLbound;
  return hr;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  const SAFEARRAYBOUND* bound = nullptr;
  if (!plUbound) return E_INVALIDARG;
  HRESULT hr = bound_of(psa, nDim, &bound);
  if (SUCCEEDED(hr))
    *plUbound = static_cast<LONG>(static_cast<int64_t>(bound->lLbound) + static_cast<int64_t>(bound->cElements) - 1);
  return hr;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  *pvt = *type_slot(psa);
  return S_OK;
}

}  // extern "C"
