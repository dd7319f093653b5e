#include "platform/com.h"

#include <map>
#include <mutex>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

namespace {
thread_local int init_count = 0;

struct guid_less {
  bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};

struct class_registry {
  std::mutex lock;
  std::map<GUID, com_factory_maker, guid_less> makers;
};

class_registry& registry() {
  static class_registry instance;
  return instance;
}
}  // namespace

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(void*, DWORD) { return init_count++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (init_count > 0) --init_count;
}

bool com_is_initialized() { return init_count > 0; }

void com_register_class(REFCLSID clsid, com_factory_maker maker) {
  class_registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.makers[clsid] = std::move(maker);
}

void com_unregister_class(REFCLSID clsid) {
  class_registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.makers.erase(clsid);
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD, void*, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!com_is_initialized()) return CO_E_NOTINITIALIZED;
  com_factory_maker maker;
  {
    class_registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.makers.find(clsid);
    if (it == r.makers.end()) return REGDB_E_CLASSNOTREG;
    maker = it->second;
  }
  IClassFactory* factory = maker ? maker() : nullptr;
  if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
  HRESULT hr = factory->QueryInterface(riid, object);
  factory->Release();
  return hr;
}
