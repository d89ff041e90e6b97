// The hand-off of a compiled SMF to the authoring tool, against a recording stand-in for the
// window functions.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "AtsHandoff.h"
#include "Cp932.h"

namespace tw::test {
namespace {

constexpr TWindowHandle kTool = 100, kDialog = 200, kEdit = 300, kButton = 400;
constexpr uint32_t kDialogThread = 55, kOwnThread = 7;

// Records every call with its arguments (texts in UTF-8) and answers from a script of the
// windows that exist. The focus can be read only while the input states are joined.
class RecordingApi : public TWindowApi {
 public:
  std::map<std::string, TWindowHandle> topWindows;  // by caption (code page 932)
  std::map<std::pair<TWindowHandle, std::string>, TWindowHandle> children;  // by parent and text
  TWindowHandle focus = 0;
  bool attachWorks = true;
  std::vector<std::string> calls;
  std::string sentText;  // the bytes of the last WM_SETTEXT

  TWindowHandle FindWindowA(const std::string& caption) override {
    Record("FindWindowA(" + Cp932ToUtf8(caption) + ")");
    const auto it = topWindows.find(caption);
    return it == topWindows.end() ? 0 : it->second;
  }
  TWindowHandle FindWindowExA(TWindowHandle parent, const std::string& text) override {
    Record("FindWindowExA(" + std::to_string(parent) + ", " + Cp932ToUtf8(text) + ")");
    const auto it = children.find({parent, text});
    return it == children.end() ? 0 : it->second;
  }
  void SetForegroundWindow(TWindowHandle window) override { Record("SetForegroundWindow(" + std::to_string(window) + ")"); }
  void PostMessageA(TWindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    Record("PostMessageA" + Args(window, message, wParam, lParam));
  }
  void SendMessageA(TWindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    Record("SendMessageA" + Args(window, message, wParam, lParam));
  }
  void SendTextMessage(TWindowHandle window, const std::string& text) override {
    Record("SendTextMessage(" + std::to_string(window) + ", " + Cp932ToUtf8(text) + ")");
    sentText = text;
  }
  uint32_t GetWindowThreadProcessId(TWindowHandle window) override {
    Record("GetWindowThreadProcessId(" + std::to_string(window) + ")");
    return window == kDialog ? kDialogThread : 0;
  }
  uint32_t GetCurrentThreadId() override {
    Record("GetCurrentThreadId()");
    return kOwnThread;
  }
  void BringWindowToTop(TWindowHandle window) override { Record("BringWindowToTop(" + std::to_string(window) + ")"); }
  bool AttachThreadInput(uint32_t thread, uint32_t toThread, bool attach) override {
    Record("AttachThreadInput(" + std::to_string(thread) + ", " + std::to_string(toThread) + ", " +
           (attach ? "attach" : "detach") + ")");
    if (!attachWorks) return false;
    attached = attach;
    return true;
  }
  TWindowHandle GetFocus() override {
    Record("GetFocus()");
    return attached ? focus : 0;
  }
  void Sleep(uint32_t milliseconds) override { Record("Sleep(" + std::to_string(milliseconds) + ")"); }

  void Record(const std::string& call) { calls.push_back(call); }

 private:
  static std::string Args(TWindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(message));
    return "(" + std::to_string(window) + ", " + hex + ", " + std::to_string(wParam) + ", " +
           std::to_string(lParam) + ")";
  }
  bool attached = false;
};

// A hand-off whose log lines go into the same record as the calls.
struct Rig {
  Rig() : handoff(api, [this](const std::string& line) { api.Record("log: " + Cp932ToUtf8(line)); }) {}

  // Everything present and working: the tool, its dialog with the focused file-name field and
  // the open button.
  void ScriptAll() {
    api.topWindows[Utf8ToCp932("MA-5 Authoring Tool")] = kTool;
    api.topWindows[Utf8ToCp932("ファイルを開く")] = kDialog;
    api.children[{kDialog, Utf8ToCp932("開く(&O)")}] = kButton;
    api.focus = kEdit;
  }

  RecordingApi api;
  TAtsHandoff handoff;
};

using Calls = std::vector<std::string>;

const Calls kUntilDialog = {
    "log: ATS-MA5へ自動ロードします。",
    "SetForegroundWindow(100)",
    "PostMessageA(100, 0x0111, 32772, 0)",
    "Sleep(500)",
    "FindWindowA(ファイルを開く)",
};
const Calls kAttach = {
    "GetWindowThreadProcessId(200)",
    "GetCurrentThreadId()",
    "BringWindowToTop(200)",
    "AttachThreadInput(55, 7, attach)",
};
const Calls kFocusAndDetach = {"GetFocus()", "AttachThreadInput(55, 7, detach)"};
const Calls kNotRecognised = {
    "log: ATS-MA5の認識に失敗しました。",
    "log: ATS-MA5のキャプションが｢MA-5 Authoring Tool｣の状態で再実行してください。",
};

Calls Join(std::initializer_list<Calls> parts) {
  Calls all;
  for (const Calls& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(Handoff, LoadsTheFileThroughTheDialog) {
  Rig rig;
  rig.ScriptAll();
  rig.handoff.FindTool();
  EXPECT_EQ(rig.handoff.FAtsWindow, kTool);
  rig.api.calls.clear();

  const std::string path = Utf8ToCp932("C:\\曲\\ソング.mid");  // ソ ends with the byte 5C
  rig.handoff.Handoff(path);
  EXPECT_EQ(rig.api.calls, Join({kUntilDialog, kAttach, kFocusAndDetach,
                                 {
                                     "FindWindowExA(200, 開く(&O))",
                                     "SendTextMessage(300, C:\\曲\\ソング.mid)",
                                     "Sleep(100)",
                                     "SendMessageA(400, 0x0201, 0, 0)",
                                     "Sleep(50)",
                                     "SendMessageA(400, 0x0202, 0, 0)",
                                 }}));
  EXPECT_EQ(rig.api.sentText, path);
}

TEST(Handoff, ToolNotFound) {
  Rig rig;
  // Running with a document name in its caption: not the whole caption, so not found.
  rig.api.topWindows[Utf8ToCp932("MA-5 Authoring Tool - song.mid")] = kTool;
  rig.handoff.FindTool();
  EXPECT_EQ(rig.handoff.FAtsWindow, 0u);
  rig.handoff.Handoff("song.mid");
  EXPECT_EQ(rig.api.calls, Join({{"FindWindowA(MA-5 Authoring Tool)", "log: ATS-MA5へ自動ロードします。",
                                  "FindWindowA(MA-5 Authoring Tool)"},
                                 kNotRecognised}));
}

TEST(Handoff, ToolStartedLaterIsFoundAtTheFirstHandoffAndKept) {
  Rig rig;
  rig.handoff.FindTool();
  ASSERT_EQ(rig.handoff.FAtsWindow, 0u);
  rig.ScriptAll();
  rig.api.calls.clear();
  rig.handoff.Handoff("song.mid");
  ASSERT_GE(rig.api.calls.size(), 3u);
  EXPECT_EQ(Calls(rig.api.calls.begin(), rig.api.calls.begin() + 3),
            (Calls{"log: ATS-MA5へ自動ロードします。", "FindWindowA(MA-5 Authoring Tool)", "SetForegroundWindow(100)"}));
  EXPECT_EQ(rig.handoff.FAtsWindow, kTool);

  // Once found the handle is not tested again, even after the tool has gone: the command reaches
  // nothing and the dialog is missed.
  rig.api.topWindows.clear();
  rig.api.calls.clear();
  rig.handoff.Handoff("song.mid");
  EXPECT_EQ(rig.api.calls, Join({kUntilDialog, {"log: ｢ファイルを開く｣ダイアログの取得失敗。"}}));
}

TEST(Handoff, DialogNotFound) {
  Rig rig;
  rig.ScriptAll();
  rig.api.topWindows.erase(Utf8ToCp932("ファイルを開く"));
  rig.handoff.FindTool();
  rig.api.calls.clear();
  rig.handoff.Handoff("song.mid");
  EXPECT_EQ(rig.api.calls, Join({kUntilDialog, {"log: ｢ファイルを開く｣ダイアログの取得失敗。"}}));
}

TEST(Handoff, MissingDialogControls) {
  const Calls noControls = {"FindWindowExA(200, 開く(&O))", "log: ダイアログ内リソースの取得失敗。"};
  {
    SCOPED_TRACE("no focused control");
    Rig rig;
    rig.ScriptAll();
    rig.api.focus = 0;
    rig.handoff.FindTool();
    rig.api.calls.clear();
    rig.handoff.Handoff("song.mid");
    EXPECT_EQ(rig.api.calls, Join({kUntilDialog, kAttach, kFocusAndDetach, noControls}));
  }
  {
    SCOPED_TRACE("no open button");
    Rig rig;
    rig.ScriptAll();
    rig.api.children.clear();
    rig.handoff.FindTool();
    rig.api.calls.clear();
    rig.handoff.Handoff("song.mid");
    EXPECT_EQ(rig.api.calls, Join({kUntilDialog, kAttach, kFocusAndDetach, noControls}));
  }
  {
    SCOPED_TRACE("input states cannot be joined: no focus read, nothing to detach");
    Rig rig;
    rig.ScriptAll();
    rig.api.attachWorks = false;
    rig.handoff.FindTool();
    rig.api.calls.clear();
    rig.handoff.Handoff("song.mid");
    EXPECT_EQ(rig.api.calls, Join({kUntilDialog, kAttach, noControls}));
  }
}

#ifndef _WIN32
TEST(Handoff, WithoutWindowFunctionsTheToolIsNeverFound) {
  const std::unique_ptr<TWindowApi> api = MakePlatformWindowApi();
  std::vector<std::string> log;
  TAtsHandoff handoff(*api, [&log](const std::string& line) { log.push_back("log: " + Cp932ToUtf8(line)); });
  handoff.FindTool();
  handoff.Handoff("song.mid");
  EXPECT_EQ(handoff.FAtsWindow, 0u);
  EXPECT_EQ(log, Join({{"log: ATS-MA5へ自動ロードします。"}, kNotRecognised}));
}
#endif

}  // namespace
}  // namespace tw::test
