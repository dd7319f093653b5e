// Ownership of BSTRs, SAFEARRAYs and VARIANTs: what each call allocates,
// copies and frees, also when an allocation fails on the way. Run under
// LeakSanitizer, a missed free fails the program.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/oa_alloc.h"
#include "platform/oleauto.h"

namespace {

// Makes every allocation after the first `successes` fail while in scope.
class failing_allocations {
 public:
  explicit failing_allocations(long successes) { platform::oa_fail_allocations_after(successes); }
  ~failing_allocations() { platform::oa_fail_allocations_after(-1); }
};

std::u16string text_of(BSTR s) { return std::u16string(s, SysStringLen(s)); }

SAFEARRAY* bytes(std::initializer_list<BYTE> values, LONG lower = 0) {
  SAFEARRAYBOUND bound = {static_cast<ULONG>(values.size()), lower};
  SAFEARRAY* psa = SafeArrayCreate(VT_UI1, 1, &bound);
  void* data = nullptr;
  EXPECT_EQ(SafeArrayAccessData(psa, &data), S_OK);
  std::memcpy(data, values.begin(), values.size());
  EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
  return psa;
}

// A COM object that counts its references.
struct counted : IUnknown {
  ULONG refs = 1;
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
};

TEST(OleBstr, KeepsLengthEmbeddedZerosAndATerminator) {
  const char16_t with_zero[] = {u'a', 0, u'b'};
  BSTR s = SysAllocStringLen(with_zero, 3);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(SysStringByteLen(s), 6u);
  EXPECT_EQ(text_of(s), std::u16string(with_zero, 3));
  EXPECT_EQ(s[3], 0);
  SysFreeString(s);

  BSTR zeroed = SysAllocStringLen(nullptr, 4);  // room for a caller to fill
  ASSERT_NE(zeroed, nullptr);
  EXPECT_EQ(SysStringLen(zeroed), 4u);
  EXPECT_EQ(zeroed[0], 0);
  EXPECT_EQ(zeroed[4], 0);
  SysFreeString(zeroed);

  BSTR odd = SysAllocStringByteLen("abc", 3);
  EXPECT_EQ(SysStringByteLen(odd), 3u);
  EXPECT_EQ(SysStringLen(odd), 1u);
  SysFreeString(odd);
}

TEST(OleBstr, NullStringsAreEmptyAndFreeingThemIsHarmless) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  BSTR empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);
}

TEST(OleBstr, ReallocationReplacesTheOldStringOnlyOnSuccess) {
  BSTR s = SysAllocString(u"old");
  ASSERT_TRUE(SysReAllocString(&s, u"newer"));
  EXPECT_EQ(text_of(s), u"newer");
  {
    failing_allocations none(0);
    EXPECT_FALSE(SysReAllocString(&s, u"lost"));
  }
  EXPECT_EQ(text_of(s), u"newer");
  SysFreeString(s);
}

TEST(OleBstr, FailedAllocationGivesNull) {
  failing_allocations none(0);
  EXPECT_EQ(SysAllocString(u"x"), nullptr);
  EXPECT_EQ(SysAllocStringLen(u"x", 1), nullptr);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFF0u), nullptr);
}

TEST(OleSafeArray, OneDimensionalBytesWithTheirBounds) {
  SAFEARRAY* psa = bytes({1, 2, 3}, 5);
  LONG lower = 0, upper = 0;
  EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lower), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(psa, 1, &upper), S_OK);
  EXPECT_EQ(lower, 5);
  EXPECT_EQ(upper, 7);
  EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lower), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetUBound(psa, 0, &upper), DISP_E_BADINDEX);
  VARTYPE vt = VT_EMPTY;
  EXPECT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
  EXPECT_EQ(vt, VT_UI1);
  EXPECT_EQ(SafeArrayGetDim(psa), 1u);
  EXPECT_EQ(SafeArrayGetElemsize(psa), 1u);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);

  SAFEARRAYBOUND empty = {0, 0};
  SAFEARRAY* none = SafeArrayCreate(VT_UI1, 1, &empty);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(SafeArrayGetUBound(none, 1, &upper), S_OK);
  EXPECT_EQ(upper, -1);
  EXPECT_EQ(SafeArrayDestroy(none), S_OK);
}

TEST(OleSafeArray, BoundsAreGivenFirstDimensionFirst) {
  SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, 10}};
  SAFEARRAY* psa = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(psa, nullptr);
  LONG lower = 0, upper = 0;
  SafeArrayGetLBound(psa, 2, &lower);
  SafeArrayGetUBound(psa, 2, &upper);
  EXPECT_EQ(lower, 10);
  EXPECT_EQ(upper, 12);
  SafeArrayGetUBound(psa, 1, &upper);
  EXPECT_EQ(upper, 2);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(OleSafeArray, AccessLocksTheArrayAgainstDestroyAndRedim) {
  SAFEARRAY* psa = bytes({1, 2});
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
  SAFEARRAYBOUND bigger = {4, 0};
  EXPECT_EQ(SafeArrayRedim(psa, &bigger), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(OleSafeArray, RedimKeepsTheDataAndZeroesWhatIsNew) {
  SAFEARRAY* psa = bytes({7, 8, 9});
  SAFEARRAYBOUND bigger = {5, 0};
  ASSERT_EQ(SafeArrayRedim(psa, &bigger), S_OK);
  BYTE* data = nullptr;
  SafeArrayAccessData(psa, reinterpret_cast<void**>(&data));
  EXPECT_EQ(data[0], 7);
  EXPECT_EQ(data[2], 9);
  EXPECT_EQ(data[3], 0);
  EXPECT_EQ(data[4], 0);
  SafeArrayUnaccessData(psa);
  SAFEARRAYBOUND smaller = {1, 0};
  ASSERT_EQ(SafeArrayRedim(psa, &smaller), S_OK);
  LONG upper = -5;
  SafeArrayGetUBound(psa, 1, &upper);
  EXPECT_EQ(upper, 0);
  {
    failing_allocations none(0);
    EXPECT_EQ(SafeArrayRedim(psa, &bigger), E_OUTOFMEMORY);
  }
  SafeArrayGetUBound(psa, 1, &upper);
  EXPECT_EQ(upper, 0) << "a failed redim leaves the array as it was";
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(OleSafeArray, StringElementsAreOwnedByTheArray) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 3);
  BSTR* items = nullptr;
  SafeArrayAccessData(psa, reinterpret_cast<void**>(&items));
  items[0] = SysAllocString(u"zero");
  items[2] = SysAllocString(u"two");
  SafeArrayUnaccessData(psa);

  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
  BSTR* copied = nullptr;
  SafeArrayAccessData(copy, reinterpret_cast<void**>(&copied));
  EXPECT_NE(copied[0], items[0]);
  EXPECT_EQ(text_of(copied[0]), u"zero");
  EXPECT_EQ(copied[1], nullptr);
  EXPECT_EQ(text_of(copied[2]), u"two");
  SafeArrayUnaccessData(copy);

  SAFEARRAYBOUND one = {1, 0};
  EXPECT_EQ(SafeArrayRedim(copy, &one), S_OK);  // frees the dropped "two"
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(OleSafeArray, CopyThatRunsOutOfMemoryLeavesNothingBehind) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 3);
  BSTR* items = nullptr;
  SafeArrayAccessData(psa, reinterpret_cast<void**>(&items));
  for (int i = 0; i < 3; ++i) items[i] = SysAllocString(u"element");
  SafeArrayUnaccessData(psa);
  // Header, data, then one string per element: fail at each step in turn.
  for (long successes = 0; successes < 5; ++successes) {
    SAFEARRAY* copy = reinterpret_cast<SAFEARRAY*>(1);
    HRESULT hr;
    {
      failing_allocations some(successes);
      hr = SafeArrayCopy(psa, &copy);
    }
    EXPECT_EQ(hr, E_OUTOFMEMORY) << successes;
    EXPECT_EQ(copy, nullptr) << successes;
  }
  SAFEARRAY* copy = nullptr;
  EXPECT_EQ(SafeArrayCopy(psa, &copy), S_OK);
  SafeArrayDestroy(copy);
  SafeArrayDestroy(psa);
}

TEST(OleSafeArray, RejectsWhatItCannotHold) {
  SAFEARRAYBOUND bound = {1, 0};
  EXPECT_EQ(SafeArrayCreate(VT_UI1, 0, &bound), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_UI1, 1, nullptr), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_LPSTR, 1, &bound), nullptr);
  {
    failing_allocations none(1);  // the header, not the data
    EXPECT_EQ(SafeArrayCreate(VT_UI1, 1, &bound), nullptr);
  }
  SAFEARRAY* copy = reinterpret_cast<SAFEARRAY*>(1);
  EXPECT_EQ(SafeArrayCopy(nullptr, &copy), S_OK);
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(OleVariant, ClearFreesWhatTheVariantOwns) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"owned");
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);

  v.vt = VT_ARRAY | VT_UI1;
  v.parray = bytes({1});
  EXPECT_EQ(VariantClear(&v), S_OK);

  // A locked array is not freed and the VARIANT keeps it.
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = bytes({1});
  void* data;
  SafeArrayAccessData(v.parray, &data);
  EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(v.vt, VT_ARRAY | VT_UI1);
  SafeArrayUnaccessData(v.parray);
  EXPECT_EQ(VariantClear(&v), S_OK);

  v.vt = VT_BLOB;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
}

TEST(OleVariant, CopyIsDeepAndReleasesTheOldDestination) {
  VARIANT src, dst;
  VariantInit(&src);
  VariantInit(&dst);
  src.vt = VT_ARRAY | VT_UI1;
  src.parray = bytes({4, 5});
  dst.vt = VT_BSTR;
  dst.bstrVal = SysAllocString(u"replaced");
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
  EXPECT_EQ(dst.vt, VT_ARRAY | VT_UI1);
  EXPECT_NE(dst.parray, src.parray);
  BYTE* data = nullptr;
  SafeArrayAccessData(dst.parray, reinterpret_cast<void**>(&data));
  EXPECT_EQ(data[1], 5);
  SafeArrayUnaccessData(dst.parray);
  EXPECT_EQ(VariantCopy(&src, &src), S_OK);
  VariantClear(&dst);

  VariantClear(&src);
  src.vt = VT_BSTR;
  src.bstrVal = SysAllocString(u"text");
  {
    failing_allocations none(0);
    EXPECT_EQ(VariantCopy(&dst, &src), E_OUTOFMEMORY);
  }
  EXPECT_EQ(dst.vt, VT_EMPTY);
  VariantClear(&src);
}

TEST(OleVariant, InterfacePointersAreCountedByCopyAndClear) {
  counted object;
  VARIANT a, b;
  VariantInit(&a);
  VariantInit(&b);
  a.vt = VT_UNKNOWN;
  a.punkVal = &object;
  object.AddRef();  // the reference a holds
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_EQ(object.refs, 3u);
  VariantClear(&b);
  VariantClear(&a);
  EXPECT_EQ(object.refs, 1u);
}

TEST(OleVariant, DecimalFillsTheWholeVariantAndTheTypeIsSetAfterwards) {
  VARIANT v;
  VariantInit(&v);
  DECIMAL d;
  ASSERT_EQ(VarDecFromStr(u"-12.345", LOCALE_EN_US, 0, &d), S_OK);
  v.decVal = d;
  EXPECT_EQ(v.vt, 0) << "the decimal's reserved word lies on the type";
  v.vt = VT_DECIMAL;
  EXPECT_EQ(v.decVal.scale, 3);
  EXPECT_EQ(v.decVal.sign, DECIMAL_NEG);
  EXPECT_EQ(v.decVal.Lo64, 12345u);
  BSTR text = nullptr;
  ASSERT_EQ(VarBstrFromDec(&v.decVal, LOCALE_USER_DEFAULT, 0, &text), S_OK);
  EXPECT_EQ(text_of(text), u"-12.345");
  SysFreeString(text);
}

TEST(OleVariant, ChangeTypeInPlaceFreesTheSourceOnlyOnSuccess) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u" 1,234.5 ");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_CY), S_OK);  // the string is freed
  EXPECT_EQ(v.vt, VT_CY);
  EXPECT_EQ(v.cyVal.int64, 12345000);

  VariantClear(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"12 apples");
  EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(text_of(v.bstrVal), u"12 apples");

  VARIANT out;
  VariantInit(&out);
  out.vt = VT_BSTR;
  out.bstrVal = SysAllocString(u"kept on failure");
  EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_R8), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(text_of(out.bstrVal), u"kept on failure");
  {
    failing_allocations none(0);
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 7;
    EXPECT_EQ(VariantChangeType(&out, &number, 0, VT_BSTR), E_OUTOFMEMORY);
  }
  EXPECT_EQ(text_of(out.bstrVal), u"kept on failure");
  VariantClear(&out);
  VariantClear(&v);
}

TEST(OleVariant, ChangeTypeReadsThroughAReference) {
  LONG value = -42;
  VARIANT ref, out;
  VariantInit(&ref);
  VariantInit(&out);
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &value;
  ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
  EXPECT_EQ(text_of(out.bstrVal), u"-42");
  VariantClear(&out);
  EXPECT_EQ(VariantClear(&ref), S_OK);  // a reference owns nothing
  EXPECT_EQ(value, -42);
}

TEST(OleVariant, TargetsThatHoldNoValueOfTheSource) {
  VARIANT src, dst;
  VariantInit(&src);
  VariantInit(&dst);
  src.vt = VT_I2;
  src.iVal = 1;
  EXPECT_EQ(VariantChangeType(&dst, &src, 0, VT_NULL), S_OK);
  EXPECT_EQ(dst.vt, VT_NULL);
  EXPECT_EQ(VariantChangeType(&dst, &src, 0, VT_EMPTY), S_OK);
  EXPECT_EQ(dst.vt, VT_EMPTY);
  for (VARTYPE vt : {VT_DISPATCH, VT_ERROR, VT_UNKNOWN, VT_VARIANT, VT_RECORD})
    EXPECT_EQ(VariantChangeType(&dst, &src, 0, vt), DISP_E_TYPEMISMATCH) << vt;
  for (VARTYPE vt : {VT_VOID, VT_HRESULT, VT_SAFEARRAY, VT_LPSTR, VT_BLOB, VT_CLSID, VT_BSTR_BLOB})
    EXPECT_EQ(VariantChangeType(&dst, &src, 0, vt), DISP_E_BADVARTYPE) << vt;
  src.vt = VT_NULL;
  EXPECT_EQ(VariantChangeType(&dst, &src, 0, VT_I4), DISP_E_TYPEMISMATCH);
}

}  // namespace
