#include <gtest/gtest.h>

#include "OLE/ole_ptr.h"

namespace {
struct counted final : IUnknown {
  int refs = 1;
  HRESULT QueryInterface(REFIID, void** object) override { *object = nullptr; return E_NOINTERFACE; }
  ULONG AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG Release() override { return static_cast<ULONG>(--refs); }
};
}  // namespace

TEST(OleComPtr, ReleasesExactlyTheReferenceItOwns) {
  counted object;
  {
    ole_com_ptr<IUnknown> holder;
    EXPECT_TRUE(holder.is_null());
    object.AddRef();
    *holder.address() = &object;  // as a COM out-parameter fills it
    EXPECT_EQ(object.refs, 2);
    ole_com_ptr<IUnknown> moved(std::move(holder));
    EXPECT_TRUE(holder.is_null());
    EXPECT_EQ(object.refs, 2);
    // Reusing the slot releases the previous reference first.
    object.AddRef();
    *moved.address() = &object;
    EXPECT_EQ(object.refs, 2);
  }
  EXPECT_EQ(object.refs, 1);
}

TEST(OleComPtr, UseWhileNullIsAnInternalError) {
  ole_com_ptr<IUnknown> holder;
  try {
    holder->AddRef();
    FAIL() << "no exception";
  } catch (const tk_mail_assertion& e) {
    // "ole_ptr\" in hexadecimal, then the line.
    EXPECT_EQ(e.text().rfind("Internal error: \ncode=6f6c655f7074725c", 0), 0u);
  }
}
