// Hands a compiled SMF to a running authoring tool ("MA-5 Authoring Tool") by driving its
// windows from outside: bring it to the front, send its open command, type the path into its
// file dialog and press the dialog's open button. The window functions come through
// TWindowApi, real on Windows and finding nothing elsewhere; no user interface library here.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tw {

using TWindowHandle = uintptr_t;  // 0: no window

// The window functions the hand-off needs (each named after the system function it wraps).
class TWindowApi {
 public:
  virtual ~TWindowApi() = default;
  virtual TWindowHandle FindWindowA(const std::string& caption) = 0;  // top level, any class
  virtual TWindowHandle FindWindowExA(TWindowHandle parent, const std::string& text) = 0;  // first child
  virtual void SetForegroundWindow(TWindowHandle window) = 0;
  virtual void PostMessageA(TWindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  virtual void SendMessageA(TWindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  // WM_SETTEXT with a zero-terminated code page 932 text.
  virtual void SendTextMessage(TWindowHandle window, const std::string& text) = 0;
  virtual uint32_t GetWindowThreadProcessId(TWindowHandle window) = 0;
  virtual uint32_t GetCurrentThreadId() = 0;
  virtual void BringWindowToTop(TWindowHandle window) = 0;
  virtual bool AttachThreadInput(uint32_t thread, uint32_t toThread, bool attach) = 0;
  virtual TWindowHandle GetFocus() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

// The platform's window functions: the real ones on Windows; elsewhere every look-up finds
// nothing, so a hand-off reports that the tool was not recognised.
std::unique_ptr<TWindowApi> MakePlatformWindowApi();

class TAtsHandoff {
 public:
  // log receives each log line (code page 932).
  TAtsHandoff(TWindowApi& api, std::function<void(const std::string& line)> log);

  // Looks for the tool's main window (at the window's creation).
  void FindTool();
  // Loads the SMF at smfPath into the tool, logging each step's outcome.
  void Handoff(const std::string& smfPath);

  TWindowHandle FAtsWindow = 0;

 private:
  TWindowHandle GetFocusedControl(TWindowHandle window);

  TWindowApi& FApi;
  std::function<void(const std::string&)> FLog;
};

}  // namespace tw
