#pragma once
// COM as the DAO component is reached through it: reference-counted
// interfaces, GUIDs, per-thread initialisation and an in-process class
// registry standing in for CoGetClassObject. Classes are registered by the
// code that implements them (our Access engine registers its DBEngine).
#include <atomic>
#include <cstring>
#include <functional>

#include "platform/oleauto.h"

// ---- GUIDs --------------------------------------------------------------------

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool IsEqualGUID(REFIID a, REFIID b) { return a == b; }

extern const IID IID_IUnknown;      // {00000000-0000-0000-C000-000000000046}
extern const IID IID_IDispatch;     // {00020400-0000-0000-C000-000000000046}
extern const IID IID_IClassFactory; // {00000001-0000-0000-C000-000000000046}
extern const GUID GUID_NULL;

// ---- Status codes ---------------------------------------------------------------

#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0)
#define RPC_E_CHANGED_MODE ((HRESULT)0x80010106)

// Server contexts of CoGetClassObject; an in-process registry serves them all.
#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_REMOTE_SERVER 0x10
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0

// ---- Interfaces -----------------------------------------------------------------

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// ---- Initialisation ---------------------------------------------------------------

// Counted per thread, as on Windows: S_OK for the first call on a thread,
// S_FALSE for the nested ones; each success must be balanced by CoUninitialize.
HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD coinit);
void CoUninitialize();
bool com_is_initialized();  // on the calling thread

// ---- Class registry ---------------------------------------------------------------

// Makes the class factory of a class. Called for every CoGetClassObject.
using com_factory_maker = std::function<IClassFactory*()>;

// Registers (or replaces) the factory maker of a class for this process.
void com_register_class(REFCLSID clsid, com_factory_maker maker);
void com_unregister_class(REFCLSID clsid);

// The class factory of a registered class; REGDB_E_CLASSNOTREG when none is
// registered, CO_E_NOTINITIALIZED when the calling thread has not initialised COM.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* server_info, REFIID riid, void** object);

// ---- Implementation helper ------------------------------------------------------

// Reference counting shared by our COM objects. An object starts with one
// reference owned by its creator and deletes itself when the count reaches 0.
class com_refcount {
 public:
  ULONG add_ref() { return ++count_; }
  // Answers the remaining count; the caller deletes the object at 0.
  ULONG release() { return --count_; }
  ULONG count() const { return count_; }

 private:
  std::atomic<ULONG> count_{1};
};
