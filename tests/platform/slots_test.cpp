// Table slot of every interface method. A caller compiled against the
// original headers binds methods by position, so positions must match the
// platform's order exactly.
//
// A pointer to a virtual member function holds, in this ABI, 1 + the
// method's byte offset in the table; the slot is read from there.
#include <gtest/gtest.h>
#include <ocidl.h>
#include <windows.h>

#include <cstring>

namespace {

template <class PMF>
long SlotOf(PMF pmf) {
  static_assert(sizeof(PMF) == 2 * sizeof(std::ptrdiff_t));
  std::ptrdiff_t repr[2];
  std::memcpy(repr, &pmf, sizeof repr);
  if ((repr[0] & 1) == 0) return -1;  // not virtual
  return static_cast<long>((repr[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*)));
}

#define EXPECT_SLOT(Interface, Method, n) EXPECT_EQ(SlotOf(&Interface::Method), n) << #Interface "::" #Method

TEST(Slots, UnknownAndClassFactory) {
  EXPECT_SLOT(IUnknown, QueryInterface, 0);
  EXPECT_SLOT(IUnknown, AddRef, 1);
  EXPECT_SLOT(IUnknown, Release, 2);
  EXPECT_SLOT(IClassFactory, CreateInstance, 3);
  EXPECT_SLOT(IClassFactory, LockServer, 4);
}

TEST(Slots, Dispatch) {
  EXPECT_SLOT(IDispatch, GetTypeInfoCount, 3);
  EXPECT_SLOT(IDispatch, GetTypeInfo, 4);
  EXPECT_SLOT(IDispatch, GetIDsOfNames, 5);
  EXPECT_SLOT(IDispatch, Invoke, 6);
}

TEST(Slots, TypeInfo) {
  EXPECT_SLOT(ITypeInfo, GetTypeAttr, 3);
  EXPECT_SLOT(ITypeInfo, GetTypeComp, 4);
  EXPECT_SLOT(ITypeInfo, GetFuncDesc, 5);
  EXPECT_SLOT(ITypeInfo, GetVarDesc, 6);
  EXPECT_SLOT(ITypeInfo, GetNames, 7);
  EXPECT_SLOT(ITypeInfo, GetRefTypeOfImplType, 8);
  EXPECT_SLOT(ITypeInfo, GetImplTypeFlags, 9);
  EXPECT_SLOT(ITypeInfo, GetIDsOfNames, 10);
  EXPECT_SLOT(ITypeInfo, Invoke, 11);
  EXPECT_SLOT(ITypeInfo, GetDocumentation, 12);
  EXPECT_SLOT(ITypeInfo, GetDllEntry, 13);
  EXPECT_SLOT(ITypeInfo, GetRefTypeInfo, 14);
  EXPECT_SLOT(ITypeInfo, AddressOfMember, 15);
  EXPECT_SLOT(ITypeInfo, CreateInstance, 16);
  EXPECT_SLOT(ITypeInfo, GetMops, 17);
  EXPECT_SLOT(ITypeInfo, GetContainingTypeLib, 18);
  EXPECT_SLOT(ITypeInfo, ReleaseTypeAttr, 19);
  EXPECT_SLOT(ITypeInfo, ReleaseFuncDesc, 20);
  EXPECT_SLOT(ITypeInfo, ReleaseVarDesc, 21);
}

TEST(Slots, TypeLib) {
  EXPECT_SLOT(ITypeLib, GetTypeInfoCount, 3);
  EXPECT_SLOT(ITypeLib, GetTypeInfo, 4);
  EXPECT_SLOT(ITypeLib, GetTypeInfoType, 5);
  EXPECT_SLOT(ITypeLib, GetTypeInfoOfGuid, 6);
  EXPECT_SLOT(ITypeLib, GetLibAttr, 7);
  EXPECT_SLOT(ITypeLib, GetTypeComp, 8);
  EXPECT_SLOT(ITypeLib, GetDocumentation, 9);
  EXPECT_SLOT(ITypeLib, IsName, 10);
  EXPECT_SLOT(ITypeLib, FindName, 11);
  EXPECT_SLOT(ITypeLib, ReleaseTLibAttr, 12);
}

TEST(Slots, ErrorInformation) {
  EXPECT_SLOT(ISupportErrorInfo, InterfaceSupportsErrorInfo, 3);
  EXPECT_SLOT(IErrorInfo, GetGUID, 3);
  EXPECT_SLOT(IErrorInfo, GetSource, 4);
  EXPECT_SLOT(IErrorInfo, GetDescription, 5);
  EXPECT_SLOT(IErrorInfo, GetHelpFile, 6);
  EXPECT_SLOT(IErrorInfo, GetHelpContext, 7);
  EXPECT_SLOT(ICreateErrorInfo, SetGUID, 3);
  EXPECT_SLOT(ICreateErrorInfo, SetSource, 4);
  EXPECT_SLOT(ICreateErrorInfo, SetDescription, 5);
  EXPECT_SLOT(ICreateErrorInfo, SetHelpFile, 6);
  EXPECT_SLOT(ICreateErrorInfo, SetHelpContext, 7);
}

TEST(Slots, ConnectionPoints) {
  EXPECT_SLOT(IConnectionPointContainer, EnumConnectionPoints, 3);
  EXPECT_SLOT(IConnectionPointContainer, FindConnectionPoint, 4);
  EXPECT_SLOT(IEnumConnectionPoints, Next, 3);
  EXPECT_SLOT(IEnumConnectionPoints, Skip, 4);
  EXPECT_SLOT(IEnumConnectionPoints, Reset, 5);
  EXPECT_SLOT(IEnumConnectionPoints, Clone, 6);
  EXPECT_SLOT(IConnectionPoint, GetConnectionInterface, 3);
  EXPECT_SLOT(IConnectionPoint, GetConnectionPointContainer, 4);
  EXPECT_SLOT(IConnectionPoint, Advise, 5);
  EXPECT_SLOT(IConnectionPoint, Unadvise, 6);
  EXPECT_SLOT(IConnectionPoint, EnumConnections, 7);
}

TEST(Slots, InterfacesCarryNoData) {
  EXPECT_EQ(sizeof(IUnknown), sizeof(void*));
  EXPECT_EQ(sizeof(ITypeInfo), sizeof(void*));
  EXPECT_EQ(sizeof(IConnectionPoint), sizeof(void*));
}

TEST(Identifiers, PublishedValues) {
  OLECHAR text[39];
  auto str = [&](REFIID iid) {
    StringFromGUID2(iid, text, 39);
    return std::u16string(text);
  };
  EXPECT_EQ(str(IID_IUnknown), u"{00000000-0000-0000-C000-000000000046}");
  EXPECT_EQ(str(IID_IClassFactory), u"{00000001-0000-0000-C000-000000000046}");
  EXPECT_EQ(str(IID_IDispatch), u"{00020400-0000-0000-C000-000000000046}");
  EXPECT_EQ(str(IID_ITypeInfo), u"{00020401-0000-0000-C000-000000000046}");
  EXPECT_EQ(str(IID_ITypeLib), u"{00020402-0000-0000-C000-000000000046}");
  EXPECT_EQ(str(IID_IErrorInfo), u"{1CF2B120-547D-101B-8E65-08002B2BD119}");
  EXPECT_EQ(str(IID_ICreateErrorInfo), u"{22F03340-547D-101B-8E65-08002B2BD119}");
  EXPECT_EQ(str(IID_ISupportErrorInfo), u"{DF0B3D60-548F-101B-8E65-08002B2BD119}");
  EXPECT_EQ(str(IID_IConnectionPointContainer), u"{B196B284-BAB4-101A-B69C-00AA00341D07}");
  EXPECT_EQ(str(IID_IEnumConnectionPoints), u"{B196B285-BAB4-101A-B69C-00AA00341D07}");
  EXPECT_EQ(str(IID_IConnectionPoint), u"{B196B286-BAB4-101A-B69C-00AA00341D07}");
}

}  // namespace
