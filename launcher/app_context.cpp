#include "launcher/app_context.h"

#include "base/error_text.h"

namespace tvn {

namespace {

void SetBuffer(TextBuffer& buffer, const Text& text) {
  buffer.Allocate(kPathUnits);
  buffer.Set(text);
}

}  // namespace

void LoadAppContext(AppContext& context, std::uint32_t processId, TextView exePath, TextView tempDir) {
  context.processId = processId;
  const Text pid = FormatNumber(processId);
  SetBuffer(context.exePath, Text(exePath));
  SetBuffer(context.tempDir, Text(tempDir));
  const Text& temp = context.tempDir.text();
  SetBuffer(context.scriptPath, FormatText(u"%sTVN_%d.script", kPathUnits, {temp, pid}));
  SetBuffer(context.keyName, FormatText(u"Software\\TVN\\%d", kPathUnits, {pid}));
  SetBuffer(context.diagLogPath, FormatText(u"%sTVN_diag.log", kPathUnits, {temp}));
  SetBuffer(context.tempCopyPath, FormatText(u"%sTVN.exe", kPathUnits, {temp}));
  const auto& texts = FatalMessageTexts();
  for (std::size_t i = 0; i < context.fatalMessages.size(); ++i) {
    ItemDescription& item = context.fatalMessages[i];
    item = ItemDescription();
    item.text.Allocate(kCaptionUnits);
    item.text.Set(FromAscii(texts[i]));
  }
}

void ReleaseAppContext(AppContext& context) {
  context.exePath.Free();
  context.tempDir.Free();
  context.scriptPath.Free();
  context.keyName.Free();
  context.diagLogPath.Free();
  context.tempCopyPath.Free();
  for (ItemDescription& item : context.fatalMessages) item.text.Free();
  context.processId = 0;
}

}  // namespace tvn
