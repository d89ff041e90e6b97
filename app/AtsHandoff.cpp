#include "AtsHandoff.h"

#include <utility>

#include "Texts.h"

namespace tw {
namespace {

constexpr char kAtsCaption[] = "MA-5 Authoring Tool";  // the tool's main window, whole caption
constexpr uint32_t kWmCommand = 0x0111;
constexpr uintptr_t kCmdOpenFile = 32772;  // the tool's menu command that opens its file dialog
constexpr uint32_t kWmLButtonDown = 0x0201;
constexpr uint32_t kWmLButtonUp = 0x0202;
constexpr uint32_t kWaitAfterCommand = 500;  // ms for the dialog to open
constexpr uint32_t kWaitAfterText = 100;
constexpr uint32_t kWaitButtonPress = 50;

}  // namespace

TAtsHandoff::TAtsHandoff(TWindowApi& api, std::function<void(const std::string& line)> log)
    : FApi(api), FLog(std::move(log)) {}

void TAtsHandoff::FindTool() { FAtsWindow = FApi.FindWindowA(kAtsCaption); }

// The control of another program's window that has the keyboard focus: joins the input state
// of that window's thread for the moment of asking. 0 when the threads cannot be joined.
TWindowHandle TAtsHandoff::GetFocusedControl(TWindowHandle window) {
  const uint32_t thread = FApi.GetWindowThreadProcessId(window);
  const uint32_t own = FApi.GetCurrentThreadId();
  FApi.BringWindowToTop(window);
  if (!FApi.AttachThreadInput(thread, own, true)) return 0;
  const TWindowHandle focus = FApi.GetFocus();
  FApi.AttachThreadInput(thread, own, false);
  return focus;
}

void TAtsHandoff::Handoff(const std::string& smfPath) {
  FLog(text::kLogAtsAutoLoad);
  // A tool started after this program is found at its first hand-off; once found, the handle
  // is kept.
  if (FAtsWindow == 0) FindTool();
  if (FAtsWindow == 0) {
    FLog(text::kLogAtsNotFound);
    FLog(text::kLogAtsRetryCaption);
    return;
  }
  FApi.SetForegroundWindow(FAtsWindow);
  FApi.PostMessageA(FAtsWindow, kWmCommand, kCmdOpenFile, 0);
  FApi.Sleep(kWaitAfterCommand);

  const TWindowHandle dialog = FApi.FindWindowA(text::kAtsDialogCaption);
  if (dialog == 0) {
    FLog(text::kLogAtsNoDialog);
    return;
  }
  // The file-name field has the focus when the dialog opens.
  const TWindowHandle edit = GetFocusedControl(dialog);
  const TWindowHandle button = FApi.FindWindowExA(dialog, text::kAtsOpenButton);
  if (edit == 0 || button == 0) {
    FLog(text::kLogAtsNoControls);
    return;
  }
  FApi.SendTextMessage(edit, smfPath);
  FApi.Sleep(kWaitAfterText);
  FApi.SendMessageA(button, kWmLButtonDown, 0, 0);
  FApi.Sleep(kWaitButtonPress);
  FApi.SendMessageA(button, kWmLButtonUp, 0, 0);
}

}  // namespace tw
