// Installer GUID packing: the shape check, the character moves, upper-case hex, and unpacking back.
#include "sysops/msi/MsiGuid.h"

#include <gtest/gtest.h>

namespace {

TEST(MsiGuidTest, PacksAndUnpacksByShapeOnly) {
  const struct {
    const wchar_t* guid;
    const wchar_t* packed;  // "" when the shape is refused
  } cases[] = {
      {L"{01234567-89AB-CDEF-0123-456789ABCDEF}", L"76543210BA98FEDC1032547698BADCFE"},
      {L"{1EF1CAD1-5403-458B-B585-4D14DD8FFA33}", L"1DAC1FE13045B8545B58D441DDF8AF33"},
      // Lower case packs to the Installer's upper case.
      {L"{01234567-89ab-cdef-0123-456789abcdef}", L"76543210BA98FEDC1032547698BADCFE"},
      // Only the shape counts: other characters move like digits and keep their case.
      {L"{GHIJKLMN-OPQR-STUV-WXYZ-ghijklmnopqr}", L"NMLKJIHGRQPOVUTSXWZYhgjilknmporq"},
      {L"01234567-89AB-CDEF-0123-456789ABCDEF", L""},
      {L"(01234567-89AB-CDEF-0123-456789ABCDEF)", L""},
      {L"{0123456-789AB-CDEF-0123-456789ABCDEF}", L""},
      {L"{01234567-89AB-CDEF-0123_456789ABCDEF}", L""},
      {L"{01234567-89AB-CDEF-0123-456789ABCDEF0}", L""},
      {L"{0123456789ABCDEF0123456789ABCDEF}", L""},
      {L"", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "guid " << testing::PrintToString(std::wstring(c.guid)));
    const std::wstring packed = MsiGuid::Pack(c.guid);
    EXPECT_EQ(packed, c.packed);
    if (!packed.empty() && std::wstring(c.guid).find(L'a') == std::wstring::npos) {
      EXPECT_EQ(MsiGuid::Unpack(packed), c.guid);
    }
  }
  EXPECT_EQ(MsiGuid::Unpack(L"76543210BA98FEDC1032547698BADCF"), L"");
  EXPECT_EQ(MsiGuid::Unpack(L"76543210BA98FEDC1032547698BADCFE0"), L"");
}

TEST(MsiGuidTest, PackedCodesCompareWithoutCase) {
  EXPECT_TRUE(MsiGuid::SamePacked(L"76543210BA98FEDC1032547698BADCFE", L"76543210ba98fedc1032547698badcfe"));
  EXPECT_FALSE(MsiGuid::SamePacked(L"76543210BA98FEDC1032547698BADCFE", L"76543210BA98FEDC1032547698BADCFF"));
  EXPECT_FALSE(MsiGuid::SamePacked(L"76543210BA98FEDC1032547698BADCFE", L"76543210BA98FEDC1032547698BADCF"));
}

}  // namespace
