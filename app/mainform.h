// The main window: choose an MML source, compile it to an SMF (optionally handing the SMF to the
// authoring tool), patch the MLD file made from it, and keep the compile options in the
// settings file. Every action runs on the window's thread inside its handler.
#pragma once

#include <QFont>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "AtsHandoff.h"
#include "RegMng.h"

class QAction;
class QCheckBox;
class QFileDialog;
class QPlainTextEdit;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace tw {

// The window's Japanese UI font: "ＭＳ Ｐゴシック" (MS PGothic) where it is installed, else
// "Noto Sans CJK JP", 9 point.
QFont UiFont();

// An open-dialog filter in the "name|mask|name|mask" form as Qt name filters. Each keeps its
// name, which the dialog shows alone, and its masks in parentheses; "*.*" becomes "*" so that
// it also matches names without a dot, as it does on Windows.
QStringList QtNameFilters(const QString& filter);

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // The settings file and the window functions of the hand-off can be replaced (tests).
  explicit TForm1(std::string iniPath = DefaultSettingsPath(),
                  std::unique_ptr<TWindowApi> windowApi = MakePlatformWindowApi(), QWidget* parent = nullptr);
  ~TForm1() override;

  // The settings file beside the running executable.
  static std::string DefaultSettingsPath();

  // Handlers, in the order the window runs them. The window calls them through a guard that
  // shows any error they raise in the error box.
  void FormCreate();
  void LoadDirExecute();
  void CompileExecute();
  void MldPatchExecute();
  void ToolButton2Click();
  void CheckBox1Click();
  void CheckBox2Click();
  void CheckBox3Click();
  void CheckBox4Click();
  void CheckBox5Click();
  void CheckBox6Click();
  void CheckBox8Click();

  // Steps the page control from the active page to the next visible one until the log page
  // is active.
  void ShowLogPage();

  const std::string& SourcePath() const { return FSourcePath; }
  TWindowHandle AtsWindow() const { return FAts.FAtsWindow; }

  // Components.
  QToolBar* ToolBar1 = nullptr;
  QToolButton* ToolButton1 = nullptr;  // LoadDir
  QToolButton* ToolButton3 = nullptr;  // Compile
  QAction* ToolButton4 = nullptr;      // separator
  QToolButton* ToolButton5 = nullptr;  // MldPatch
  QAction* ToolButton6 = nullptr;      // separator
  QToolButton* ToolButton2 = nullptr;  // documentation
  QStatusBar* StatusBar1 = nullptr;
  QTabWidget* Page = nullptr;
  QWidget* LogTab = nullptr;
  QPlainTextEdit* RichEdit1 = nullptr;
  QWidget* SetTab = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  QCheckBox* CheckBox4 = nullptr;
  QCheckBox* CheckBox5 = nullptr;
  QCheckBox* CheckBox6 = nullptr;
  QCheckBox* CheckBox8 = nullptr;
  QFileDialog* OpenDialog1 = nullptr;
  QAction* LoadDir = nullptr;
  QAction* Compile = nullptr;
  QAction* MldPatch = nullptr;
  TRegManager RegManager1;

  // Replaceable steps (tests put their own in). ChooseSource gives the chosen file name, empty
  // when the user cancels; by default it runs OpenDialog1.
  std::function<QString()> ChooseSource;
  // The one error box: every error a handler raises, and the settings store's messages.
  std::function<void(const QString& message)> ShowError;
  // Opens the documentation; by default ShellOpen.
  std::function<void(const QString& path)> OpenDocument;

 private:
  void CreateComponents();
  void ConnectHandlers();
  void CentreOnScreen();
  // Runs a handler; an error it raises goes to ShowError and adds no log line.
  void Guarded(void (TForm1::*handler)());
  // Appends a log message (code page 932); CR LF inside it starts a new line.
  void AddLog(const std::string& text);
  // Appends a log message followed by a file path (the system's own bytes, not code page 932).
  void AddLog(const std::string& text, const std::string& path);
  void StoreOption(const char* name, const QCheckBox* box);

  std::string FIniPath;
  std::string FSourcePath;  // the chosen source file; empty until one is chosen
  std::unique_ptr<TWindowApi> FWindowApi;
  TAtsHandoff FAts;
};

}  // namespace tw
