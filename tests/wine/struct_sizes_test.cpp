// The sizes that the tool hands over in the size fields of platform records.
#include <windows.h>

#include <commdlg.h>

#include <gtest/gtest.h>

#include "base/win/struct_sizes.h"

namespace {

// The browse dialog's record size is computed so that the build can check it;
// it must be the size that the system headers name for the NT 4.0 record.
TEST(StructSizesTest, OpenFileNameSizeIsTheNt4RecordOfTheHeaders) {
  EXPECT_EQ(tvn::kOpenFileNameSize400, static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400W));
  EXPECT_LT(tvn::kOpenFileNameSize400, static_cast<DWORD>(sizeof(OPENFILENAMEW)));
}

}  // namespace
