// The window functions of Windows. Texts go to the ANSI functions as they are: code page 932
// bytes, the ANSI code page of a Japanese Windows where the authoring tool runs.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "AtsHandoff.h"

namespace tw {
namespace {

HWND ToHwnd(TWindowHandle window) { return reinterpret_cast<HWND>(window); }
TWindowHandle FromHwnd(HWND window) { return reinterpret_cast<TWindowHandle>(window); }

class TWin32WindowApi final : public TWindowApi {
 public:
  TWindowHandle FindWindowA(const std::string& caption) override {
    return FromHwnd(::FindWindowA(nullptr, caption.c_str()));
  }
  TWindowHandle FindWindowExA(TWindowHandle parent, const std::string& text) override {
    return FromHwnd(::FindWindowExA(ToHwnd(parent), nullptr, nullptr, text.c_str()));
  }
  void SetForegroundWindow(TWindowHandle window) override { ::SetForegroundWindow(ToHwnd(window)); }
  void PostMessageA(TWindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    ::PostMessageA(ToHwnd(window), static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                   static_cast<LPARAM>(lParam));
  }
  void SendMessageA(TWindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    ::SendMessageA(ToHwnd(window), static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                   static_cast<LPARAM>(lParam));
  }
  void SendTextMessage(TWindowHandle window, const std::string& text) override {
    ::SendMessageA(ToHwnd(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  uint32_t GetWindowThreadProcessId(TWindowHandle window) override {
    return static_cast<uint32_t>(::GetWindowThreadProcessId(ToHwnd(window), nullptr));
  }
  uint32_t GetCurrentThreadId() override { return static_cast<uint32_t>(::GetCurrentThreadId()); }
  void BringWindowToTop(TWindowHandle window) override { ::BringWindowToTop(ToHwnd(window)); }
  bool AttachThreadInput(uint32_t thread, uint32_t toThread, bool attach) override {
    return ::AttachThreadInput(static_cast<DWORD>(thread), static_cast<DWORD>(toThread),
                               attach ? TRUE : FALSE) != FALSE;
  }
  TWindowHandle GetFocus() override { return FromHwnd(::GetFocus()); }
  void Sleep(uint32_t milliseconds) override { ::Sleep(static_cast<DWORD>(milliseconds)); }
};

}  // namespace

std::unique_ptr<TWindowApi> MakePlatformWindowApi() { return std::make_unique<TWin32WindowApi>(); }

}  // namespace tw
