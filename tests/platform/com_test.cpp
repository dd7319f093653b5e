#include <gtest/gtest.h>

#include "platform/com.h"

namespace {
const CLSID kTestClass = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};

// A factory counting the live objects it made, to check reference handling.
struct counting_factory final : IClassFactory {
  com_refcount refs;
  static inline int live = 0;
  counting_factory() { ++live; }
  ~counting_factory() { --live; }
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      AddRef();
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return refs.add_ref(); }
  ULONG Release() override {
    ULONG left = refs.release();
    if (left == 0) delete this;
    return left;
  }
  HRESULT CreateInstance(IUnknown*, REFIID, void** object) override { *object = nullptr; return E_NOTIMPL; }
  HRESULT LockServer(BOOL) override { return S_OK; }
};
}  // namespace

TEST(Com, InitialisationIsCountedPerThread) {
  EXPECT_FALSE(com_is_initialized());
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  EXPECT_TRUE(com_is_initialized());
  CoUninitialize();
  EXPECT_FALSE(com_is_initialized());
}

TEST(Com, ClassObjectsComeFromTheRegistryOnly) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoGetClassObject(kTestClass, CLSCTX_SERVER, nullptr, IID_IClassFactory, &object), CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoGetClassObject(kTestClass, CLSCTX_SERVER, nullptr, IID_IClassFactory, &object), REGDB_E_CLASSNOTREG);

  com_register_class(kTestClass, [] { return new counting_factory; });
  ASSERT_EQ(CoGetClassObject(kTestClass, CLSCTX_SERVER, nullptr, IID_IClassFactory, &object), S_OK);
  auto* factory = static_cast<IClassFactory*>(object);
  EXPECT_EQ(counting_factory::live, 1);
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(counting_factory::live, 0);

  const IID other = {0xdead, 0, 0, {0}};
  EXPECT_EQ(CoGetClassObject(kTestClass, CLSCTX_SERVER, nullptr, other, &object), E_NOINTERFACE);
  EXPECT_EQ(counting_factory::live, 0);  // the refused factory was released

  com_unregister_class(kTestClass);
  EXPECT_EQ(CoGetClassObject(kTestClass, CLSCTX_SERVER, nullptr, IID_IClassFactory, &object), REGDB_E_CLASSNOTREG);
  CoUninitialize();
}
