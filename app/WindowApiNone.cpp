// The window functions where there are no Windows user interface functions: no window is ever
// found, so a hand-off stops at its first step with the recognition messages.
#include "AtsHandoff.h"

namespace tw {
namespace {

class TNoWindowApi final : public TWindowApi {
 public:
  TWindowHandle FindWindowA(const std::string&) override { return 0; }
  TWindowHandle FindWindowExA(TWindowHandle, const std::string&) override { return 0; }
  void SetForegroundWindow(TWindowHandle) override {}
  void PostMessageA(TWindowHandle, uint32_t, uintptr_t, intptr_t) override {}
  void SendMessageA(TWindowHandle, uint32_t, uintptr_t, intptr_t) override {}
  void SendTextMessage(TWindowHandle, const std::string&) override {}
  uint32_t GetWindowThreadProcessId(TWindowHandle) override { return 0; }
  uint32_t GetCurrentThreadId() override { return 0; }
  void BringWindowToTop(TWindowHandle) override {}
  bool AttachThreadInput(uint32_t, uint32_t, bool) override { return false; }
  TWindowHandle GetFocus() override { return 0; }
  void Sleep(uint32_t) override {}
};

}  // namespace

std::unique_ptr<TWindowApi> MakePlatformWindowApi() { return std::make_unique<TNoWindowApi>(); }

}  // namespace tw
