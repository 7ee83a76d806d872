// Per-thread error information, and the smart pointer around it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "comptr.h"

namespace {

ComPtr<IErrorInfo> MakeError(const char16_t* description) {
  ComPtr<ICreateErrorInfo> create;
  EXPECT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetDescription(const_cast<LPOLESTR>(description));
  ComPtr<IErrorInfo> info;
  EXPECT_EQ(create.As(&info), S_OK);
  return info;
}

std::u16string Description(IErrorInfo* info) {
  BSTR text = nullptr;
  info->GetDescription(&text);
  std::u16string out(text ? text : u"");
  SysFreeString(text);
  return out;
}

// One slot per thread. (What the slot holds, replaces and gives up is
// compared with the system's by the dispatch cases in tests/windows.)
TEST(ErrorInfo, EachThreadHasItsOwnSlot) {
  SetErrorInfo(0, MakeError(u"main thread").Get());
  HRESULT other = E_FAIL;
  std::u16string otherText;
  std::thread([&] {
    ComPtr<IErrorInfo> got;
    other = GetErrorInfo(0, &got);  // nothing here
    SetErrorInfo(0, MakeError(u"worker").Get());
    ComPtr<IErrorInfo> own;
    if (GetErrorInfo(0, &own) == S_OK) otherText = Description(own.Get());
    SetErrorInfo(0, MakeError(u"left behind at exit").Get());  // released at thread end
  }).join();
  EXPECT_EQ(other, S_FALSE);
  EXPECT_EQ(otherText, u"worker");
  ComPtr<IErrorInfo> mine;
  ASSERT_EQ(GetErrorInfo(0, &mine), S_OK);
  EXPECT_EQ(Description(mine.Get()), u"main thread");
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
