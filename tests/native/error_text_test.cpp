#include "base/error_text.h"

#include <gtest/gtest.h>

#include "launcher/app_context.h"

namespace tvn {
namespace {

TEST(ErrorText, PartsJoinInOrder) {
  const Text caller = u"FATAL ERROR: Extract script!";
  const Text system = u"Access denied.\r\n";
  EXPECT_EQ(ComposeErrorText(&caller, true, 5, &system),
            u"FATAL ERROR: Extract script!\r\nError (5): Access denied.\r\n");
  EXPECT_EQ(ComposeErrorText(&caller, false, 5, nullptr), u"FATAL ERROR: Extract script!\r\n");
  EXPECT_EQ(ComposeErrorText(nullptr, true, 1814, &system), u"Error (1814): Access denied.\r\n");
  EXPECT_EQ(ComposeErrorText(nullptr, true, 0, nullptr), u"Error (0): ");
  EXPECT_EQ(ComposeErrorText(nullptr, false, 7, nullptr), u"");
  // Codes are shown as signed numbers (HRESULTs come out negative).
  EXPECT_EQ(ComposeErrorText(nullptr, true, static_cast<std::int32_t>(0x80004005u), nullptr), u"Error (-2147467259): ");
}

TEST(ErrorText, IconByKindUsesLowWordOnly) {
  EXPECT_EQ(IconFlagForKind(0), 0x40u);
  EXPECT_EQ(IconFlagForKind(1), 0x30u);
  EXPECT_EQ(IconFlagForKind(2), 0x10u);
  EXPECT_EQ(IconFlagForKind(3), 0x20u);
  EXPECT_EQ(IconFlagForKind(7), 0u);
  EXPECT_EQ(IconFlagForKind(0x10002), 0x10u);
  EXPECT_EQ(IconFlagForKind(0xFFFF), 0u);
}

TEST(AppContextLoad, FormatsEveryPathAndTheFatalTable) {
  AppContext context;
  LoadAppContext(context, 4242, u"C:\\Tools\\TVN.exe", u"C:\\Users\\adm\\Temp\\");
  EXPECT_EQ(context.processId, 4242u);
  EXPECT_EQ(context.exePath.text(), u"C:\\Tools\\TVN.exe");
  EXPECT_EQ(context.scriptPath.text(), u"C:\\Users\\adm\\Temp\\TVN_4242.script");
  EXPECT_EQ(context.keyName.text(), u"Software\\TVN\\4242");
  EXPECT_EQ(context.diagLogPath.text(), u"C:\\Users\\adm\\Temp\\TVN_diag.log");
  EXPECT_EQ(context.tempCopyPath.text(), u"C:\\Users\\adm\\Temp\\TVN.exe");
  const char16_t* const fatal[kFatalMessageCount] = {
      u"FATAL ERROR: Get OS version failed!",
      u"FATAL ERROR: Platform not supported!\r\nOnly: WinNT",
      u"FATAL ERROR: OS version no supported!\r\nOnly: Win2k/XP/Vista",
      u"FATAL ERROR: Initialize COM library!",
      u"FATAL ERROR: Initialize common controls!",
      u"FATAL ERROR: Extract script!",
      u"FATAL ERROR: Execute script!",
      u"FATAL ERROR: Load data from registry!",
      u"FATAL ERROR: Startup dialog box!",
      u"FATAL ERROR: Update resource!",
  };
  for (std::size_t i = 0; i < kFatalMessageCount; ++i) EXPECT_EQ(context.fatalMessages[i].text.text(), fatal[i]) << i;

  // The release empties every field, not only some.
  ReleaseAppContext(context);
  EXPECT_EQ(context.processId, 0u);
  std::vector<const TextBuffer*> buffers = {&context.exePath, &context.tempDir,     &context.scriptPath,
                                            &context.keyName, &context.diagLogPath, &context.tempCopyPath};
  for (const ItemDescription& item : context.fatalMessages) buffers.push_back(&item.text);
  for (const TextBuffer* buffer : buffers) {
    EXPECT_TRUE(!buffer->allocated() && buffer->capacity() == 0 && buffer->empty());
  }
}

TEST(AppContextLoad, LongTempDirectoryIsCutAtBufferCapacity) {
  AppContext context;
  const Text temp = u"C:\\" + Text(1100, u'd') + u"\\";
  LoadAppContext(context, 1, u"C:\\TVN.exe", temp);
  EXPECT_EQ(context.tempDir.text().size(), kPathUnits - 1);
  EXPECT_EQ(context.scriptPath.text().size(), kPathUnits - 1);
  EXPECT_EQ(context.diagLogPath.text().size(), kPathUnits - 1);
  ReleaseAppContext(context);
}

TEST(NetworkPath, UncAndRemoteDrives) {
  int queries = 0;
  auto remoteZ = [&queries](TextView drive) {
    ++queries;
    return drive == u"Z:";
  };
  EXPECT_TRUE(IsNetworkPathWith(u"\\\\server\\share\\TVN.exe", remoteZ));
  EXPECT_EQ(queries, 0);  // two backslashes decide without asking the platform
  EXPECT_TRUE(IsNetworkPathWith(u"Z:\\TVN.exe", remoteZ));
  EXPECT_FALSE(IsNetworkPathWith(u"C:\\TVN.exe", remoteZ));
  EXPECT_FALSE(IsNetworkPathWith(u"\\", remoteZ));
  EXPECT_FALSE(IsNetworkPathWith(u"", remoteZ));
}

}  // namespace
}  // namespace tvn
