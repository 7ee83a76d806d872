// Per-thread error information, and the smart pointer around it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "comptr.h"

namespace {

void Set(const char16_t* description) {
  ComPtr<ICreateErrorInfo> create;
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetDescription(const_cast<LPOLESTR>(description));
  ASSERT_EQ(create.As(&info), S_OK);
  SetErrorInfo(0, info.Get());
}

// The description in the thread's slot, taken from it.
std::u16string Take() {
  ComPtr<IErrorInfo> info;
  const HRESULT hr = GetErrorInfo(0, &info);
  if (hr != S_OK) return hr == S_FALSE ? u"<empty>" : u"<failed>";
  BSTR text = nullptr;
  info->GetDescription(&text);
  std::u16string out(text ? text : u"");
  SysFreeString(text);
  return out;
}

// One slot per thread. (What the slot holds, replaces and gives up is
// compared with the system's by the dispatch cases in tests/windows.)
TEST(ErrorInfo, EachThreadHasItsOwnSlot) {
  Set(u"main thread");
  std::u16string before, own;
  std::thread([&] {
    before = Take();
    Set(u"worker");
    own = Take();
    Set(u"left behind at exit");  // released at thread end
  }).join();
  EXPECT_EQ(before, u"<empty>");
  EXPECT_EQ(own, u"worker");
  EXPECT_EQ(Take(), u"main thread");
}

TEST(ComPtrTest, AddressOfReleasesTheOldPointerAndDetachKeepsTheReference) {
  ComPtr<ICreateErrorInfo> first;
  ASSERT_EQ(CreateErrorInfo(&first), S_OK);
  ComPtr<ICreateErrorInfo> copy = first;  // count 2
  ASSERT_EQ(CreateErrorInfo(&first), S_OK);  // releases one: count 1, held by copy
  EXPECT_NE(first.Get(), copy.Get());
  ICreateErrorInfo* raw = copy.Detach();
  EXPECT_EQ(copy.Get(), nullptr);
  EXPECT_EQ(raw->Release(), 0u);  // exactly one reference was left
  ICreateErrorInfo* out = nullptr;
  ASSERT_EQ(first.CopyTo(&out), S_OK);
  EXPECT_EQ(out->Release(), 1u);
}

}  // namespace
