// The main window on Qt's offscreen platform: the log after each action, the option boxes and
// their settings file, the patch outcomes, the hand-off and the error box. The file dialog, the
// error box and the shell are replaced by recorders; everything else is the real window.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#ifdef __linux__
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "AppUtils.h"
#include "Cp932.h"
#include "FileIO.h"
#include "mainform.h"

namespace tw {
namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A window over its own settings file, with the dialog, the error box and the shell recorded.
struct TWindow {
  explicit TWindow(const std::string& iniPath, std::unique_ptr<TWindowApi> api = nullptr)
      : Form(std::make_unique<TForm1>(iniPath, std::move(api))) {
    Form->ShowError = [this](const QString& message) { Errors << message; };
    Form->OpenDocument = [this](const QString& path) { Opened << path; };
  }

  // Chooses the file in the open dialog.
  void Choose(const std::string& path) {
    Form->ChooseSource = [path] { return QString::fromStdString(path); };
    Form->ToolButton1->click();
  }

  QStringList Log() const {
    const QString text = Form->RichEdit1->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
  }

  std::unique_ptr<TForm1> Form;
  QStringList Errors;
  QStringList Opened;
};

// Window functions that find the tool's main window but never its file dialog.
class TToolOnlyApi : public TWindowApi {
 public:
  TWindowHandle FindWindowA(const std::string& caption) override { return caption == "MA-5 Authoring Tool" ? 0x51 : 0; }
  TWindowHandle FindWindowExA(TWindowHandle, const std::string&) override { return 0; }
  void SetForegroundWindow(TWindowHandle) override {}
  void PostMessageA(TWindowHandle window, uint32_t message, uintptr_t wParam, intptr_t) override {
    Posted.push_back({window, message, wParam});
  }
  void SendMessageA(TWindowHandle, uint32_t, uintptr_t, intptr_t) override {}
  void SendTextMessage(TWindowHandle, const std::string&) override {}
  uint32_t GetWindowThreadProcessId(TWindowHandle) override { return 1; }
  uint32_t GetCurrentThreadId() override { return 2; }
  void BringWindowToTop(TWindowHandle) override {}
  bool AttachThreadInput(uint32_t, uint32_t, bool) override { return false; }
  TWindowHandle GetFocus() override { return 0; }
  void Sleep(uint32_t) override {}

  struct TPost {
    TWindowHandle Window;
    uint32_t Message;
    uintptr_t WParam;
  };
  std::vector<TPost> Posted;
};

// Makes files without read permission unreadable to this process even when it runs as root,
// by dropping the two capabilities that bypass file permissions, until destroyed.
class TNoPermissionOverride {
 public:
  TNoPermissionOverride() {
#ifdef __linux__
    if (::geteuid() != 0) return;
    if (::syscall(SYS_capget, &FHeader, FSaved) != 0) return;
    __user_cap_data_struct reduced[2] = {FSaved[0], FSaved[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    FDropped = ::syscall(SYS_capset, &FHeader, reduced) == 0;
#endif
  }
  ~TNoPermissionOverride() {
#ifdef __linux__
    if (FDropped) ::syscall(SYS_capset, &FHeader, FSaved);
#endif
  }

 private:
#ifdef __linux__
  __user_cap_header_struct FHeader{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct FSaved[2]{};
  bool FDropped = false;
#endif
};

}  // namespace

class TGuiTest : public QObject {
  Q_OBJECT

 private:
  std::string Path(const char* name) const { return FDir.filePath(QString::fromUtf8(name)).toStdString(); }

  // A source file (UTF-8 text written as code page 932).
  std::string Source(const char* name, const char* utf8) const {
    const std::string path = Path(name);
    WriteAll(path, Utf8ToCp932(utf8));
    return path;
  }

  QTemporaryDir FDir;

 private slots:
  void initTestCase() { QVERIFY(FDir.isValid()); }

  void DesignState() {
    const std::string ini = Path("design.ini");
    TWindow w(ini);
    TForm1& f = *w.Form;
    QCOMPARE(f.windowTitle(), U("TONEWELD ver2.7a"));
    QVERIFY(f.width() >= 278 && f.height() >= 221);
    QVERIFY((f.geometry().center() - f.screen()->availableGeometry().center()).manhattanLength() <= 2);
    QCOMPARE(f.font().pointSize(), 9);
    const bool msGothic = QFontDatabase::hasFamily(U("ＭＳ Ｐゴシック")) || QFontDatabase::hasFamily(U("MS PGothic"));
    if (!msGothic) QCOMPARE(f.font().family(), U("Noto Sans CJK JP"));

    QCOMPARE(f.LoadDir->text(), U("変換対象ソース指定"));
    QCOMPARE(f.LoadDir->toolTip(), U("VARO仕様のMMLファイルを指定します。"));
    QCOMPARE(f.Compile->text(), U("コンパイル実行"));
    QCOMPARE(f.Compile->toolTip(), U("コンパイルし、作成されたSMFを保存します"));
    QCOMPARE(f.MldPatch->text(), U("MldPatch"));
    QCOMPARE(f.ToolButton1->toolTip(), U("VARO仕様のMMLファイルを指定します。"));
    QCOMPARE(f.ToolButton3->toolTip(), U("コンパイルし、作成されたSMFを保存します。"));
    QCOMPARE(f.ToolButton5->toolTip(), U("MLDファイルにパッチを当てます。"));
    QCOMPARE(f.ToolButton2->toolTip(), U("添付ドキュメントを開きます。"));
    QVERIFY(f.ToolButton1->isEnabled());
    QVERIFY(!f.ToolButton3->isEnabled());
    QVERIFY(!f.ToolButton5->isEnabled());
    QVERIFY(f.ToolButton2->isEnabled());
    // Button order: LoadDir, Compile, separator, MldPatch, separator, documentation.
    const QList<QAction*> items = f.ToolBar1->actions();
    QCOMPARE(items.size(), 6);
    QCOMPARE(f.ToolBar1->widgetForAction(items[0]), f.ToolButton1);
    QCOMPARE(f.ToolBar1->widgetForAction(items[1]), f.ToolButton3);
    QVERIFY(items[2]->isSeparator());
    QCOMPARE(f.ToolBar1->widgetForAction(items[3]), f.ToolButton5);
    QVERIFY(items[4]->isSeparator());
    QCOMPARE(f.ToolBar1->widgetForAction(items[5]), f.ToolButton2);

    QCOMPARE(f.Page->count(), 2);
    QCOMPARE(f.Page->tabText(0), U("ログ"));
    QCOMPARE(f.Page->tabText(1), U("コンパイル設定"));
    QCOMPARE(f.Page->currentWidget(), f.LogTab);
    QVERIFY(f.RichEdit1->isReadOnly());
    QVERIFY(w.Log().isEmpty());
    QVERIFY(f.StatusBar1->currentMessage().isEmpty());

    struct TBox {
      QCheckBox* Box;
      const char* Caption;
      bool Checked, Enabled;
    };
    const TBox boxes[] = {
        {f.CheckBox1, "指定の規則でバンクセレクト強制挿入", false, true},
        {f.CheckBox2, "トーンバンク 124,1", true, false},
        {f.CheckBox3, "ドラムバンク 125,0", true, false},
        {f.CheckBox4, "ボリュームをベロシティへ統合", false, true},
        {f.CheckBox5, "ベロシティ補正コマンド有効", true, true},
        {f.CheckBox6, "ハードウェアループを代理イベントで出力", false, true},
        {f.CheckBox8, "SMFをATS-MA5で自動読み込み", false, true},
    };
    for (const TBox& b : boxes) {
      QCOMPARE(b.Box->text(), U(b.Caption));
      QCOMPARE(b.Box->isChecked(), b.Checked);
      QCOMPARE(b.Box->isEnabled(), b.Enabled);
    }
    QCOMPARE(f.OpenDialog1->nameFilters(),
             QStringList({U("mmlファイル(*.mml) (*.mml)"), U("テキストファイル(*.txt) (*.txt)"), U("すべて(*.*) (*)")}));
    // Nothing is written before the first click.
    QVERIFY(!FileExists(ini));
    QVERIFY(w.Errors.isEmpty());
  }

  void NameFilters() {
    QCOMPARE(QtNameFilters(U("a(*.x;*.y)|*.x;*.y|b|*.*")), QStringList({U("a(*.x;*.y) (*.x *.y)"), U("b (*)")}));
    QVERIFY(QtNameFilters(U("")).isEmpty());
  }

  // Compile and patch show the log page first, and do nothing more before a source is chosen.
  void NothingBeforeASourceIsChosen() {
    TWindow w(Path("nothing.ini"));
    for (QAction* action : {w.Form->Compile, w.Form->MldPatch}) {
      w.Form->Page->setCurrentWidget(w.Form->SetTab);
      action->trigger();
      QCOMPARE(w.Form->Page->currentWidget(), w.Form->LogTab);
      QVERIFY(w.Log().isEmpty());
    }
    QVERIFY(w.Errors.isEmpty());
  }

  void ChoosingASourceLogsTwoLines() {
    const std::string source = Source("choose.mml", "(T1)\r\nc4\r\n");
    TWindow w(Path("choose.ini"));
    w.Form->ChooseSource = [] { return QString(); };  // cancelled: nothing changes
    w.Form->ToolButton1->click();
    QVERIFY(w.Form->SourcePath().empty());
    QVERIFY(!w.Form->ToolButton3->isEnabled());

    w.Choose(source);
    w.Form->Compile->trigger();
    QCOMPARE(w.Log().size(), 4);
    w.Choose(source);  // a new choice clears the log
    QCOMPARE(w.Log(), QStringList({U("基準ファイル(MML)"), QString::fromStdString(source)}));
    QCOMPARE(w.Form->SourcePath(), source);
    QVERIFY(w.Form->ToolButton3->isEnabled());
    QVERIFY(w.Form->ToolButton5->isEnabled());
  }

  void CompileWithDesignOptions() {
    const std::string source = Source("うた.mml", "(T1)\r\nc4 d4\r\n");
    const std::string smf = Path("うた.mid");
    TWindow w(Path("compile.ini"));
    w.Choose(source);
    w.Form->Page->setCurrentWidget(w.Form->SetTab);
    w.Form->ToolButton3->click();
    QCOMPARE(w.Form->Page->currentWidget(), w.Form->LogTab);
    QCOMPARE(w.Log(), QStringList({U("基準ファイル(MML)"), QString::fromStdString(source), U("コンパイル終了(SMF) ... "),
                                   QString::fromStdString(smf)}));
    QVERIFY(FileExists(smf));
    QVERIFY(w.Errors.isEmpty());
  }

  void FailingCompileLogsOnePositionedLine() {
    const std::string source = Source("bad.mml", "(T1)\r\nc4\r\nc4 X\r\n");
    TWindow w(Path("bad.ini"));
    w.Choose(source);
    w.Form->Compile->trigger();
    QCOMPARE(w.Log().mid(2), QStringList({U("3行4文字目 ｢ X ｣ 不明な命令又は文法エラーです。")}));
    QVERIFY(!FileExists(Path("bad.mid")));
    QVERIFY(w.Errors.isEmpty());
  }

  void OptionTextsAreLoggedBeforeTheCompletion() {
    const std::string source = Source("opts.mml", "(T1)\r\nc4\r\n");
    const QString done = U("コンパイル終了(SMF) ... ");
    const QString smf = QString::fromStdString(Path("opts.mid"));
    struct TCase {
      std::function<void(TForm1&)> Click;
      QStringList Expected;
    };
    const std::vector<TCase> cases = {
        {[](TForm1& f) { f.CheckBox1->click(); }, {U("@BANK は無視されます。"), done, smf}},
        {[](TForm1& f) { f.CheckBox5->click(); }, {U("@UFIX @UMODE は無視されます。"), done, smf}},
        {[](TForm1& f) { f.CheckBox4->click(); }, {U("音量データを圧縮します。"), done, smf}},
        {[](TForm1& f) { f.CheckBox6->click(); }, {U("『』はBendRange22,23で出力されます。"), done, smf}},
        {[](TForm1& f) {
           f.CheckBox2->click();  // disabled: no effect
           f.CheckBox3->click();
         },
         {done, smf}},
        {[](TForm1& f) {
           for (QCheckBox* box : {f.CheckBox6, f.CheckBox4, f.CheckBox5, f.CheckBox1}) box->click();
         },
         {U("@BANK は無視されます。"), U("@UFIX @UMODE は無視されます。"), U("音量データを圧縮します。"),
          U("『』はBendRange22,23で出力されます。"), done, smf}},
    };
    int n = 0;
    for (const TCase& c : cases) {
      TWindow w(Path("opts") + std::to_string(n++) + ".ini");
      w.Choose(source);
      c.Click(*w.Form);
      w.Form->Compile->trigger();
      QCOMPARE(w.Log().mid(2), c.Expected);
    }
  }

  // CheckBox1 enables the two bank boxes; disabled, they keep their marks, and the compiler
  // still gets them.
  void BankBoxesFollowCheckBox1() {
    const std::string source = Source("bank.mml", "(T1)\r\n@1 c4\r\n");
    const std::string ini = Path("bank.ini");
    TWindow w(ini);
    TForm1& f = *w.Form;
    f.CheckBox1->click();
    QVERIFY(f.CheckBox2->isEnabled() && f.CheckBox3->isEnabled());
    f.CheckBox2->click();
    f.CheckBox1->click();
    QVERIFY(!f.CheckBox2->isEnabled() && !f.CheckBox3->isEnabled());
    QVERIFY(!f.CheckBox2->isChecked());
    QVERIFY(f.CheckBox3->isChecked());
    QCOMPARE(ReadAll(ini), std::string("[Compile]\r\nBankInsert=0\r\nToneBankOn=0\r\n"));

    f.CheckBox1->click();
    QVERIFY(!f.CheckBox2->isChecked());
    w.Choose(source);
    f.Compile->trigger();
    const std::string smf = ReadAll(Path("bank.mid"));
    QVERIFY(smf.find("\xB0\x00\x7C", 0, 3) == std::string::npos);  // no tone bank select
    f.CheckBox2->click();
    f.Compile->trigger();
    QVERIFY(ReadAll(Path("bank.mid")).find("\xB0\x00\x7C", 0, 3) != std::string::npos);
  }

  void OptionsAreRestoredAfterARestart() {
    const std::string ini = Path("restart.ini");
    {
      TWindow w(ini);
      for (QCheckBox* box : {w.Form->CheckBox1, w.Form->CheckBox3, w.Form->CheckBox4, w.Form->CheckBox5,
                             w.Form->CheckBox6, w.Form->CheckBox8}) {
        box->click();
      }
    }
    {
      TWindow w(ini);
      TForm1& f = *w.Form;
      QVERIFY(f.CheckBox1->isChecked());
      QVERIFY(f.CheckBox2->isChecked());
      QVERIFY(!f.CheckBox3->isChecked());
      QVERIFY(f.CheckBox4->isChecked());
      QVERIFY(!f.CheckBox5->isChecked());
      QVERIFY(f.CheckBox6->isChecked());
      QVERIFY(f.CheckBox8->isChecked());
      QVERIFY(f.CheckBox2->isEnabled() && f.CheckBox3->isEnabled());  // CheckBox1's handler ran
      QVERIFY(w.Errors.isEmpty());
    }
    QCOMPARE(ReadAll(ini), std::string("[Compile]\r\nBankInsert=1\r\nDrumBankOn=0\r\nVolToVelo=1\r\nVeloFixCmd=0\r\n"
                                       "HLoopOut=1\r\nAutoLoad=1\r\n"));

    // A stored value that changes a box runs its handler, which stores the value again.
    const std::string edited = Path("edited.ini");
    WriteAll(edited, "[compile]\r\nbankinsert = 2\r\nToneBankOn=256\r\nVeloFixCmd=0\r\n");
    TWindow w(edited);
    QVERIFY(w.Form->CheckBox1->isChecked());
    QVERIFY(w.Form->CheckBox2->isEnabled());
    QVERIFY(!w.Form->CheckBox2->isChecked());
    QVERIFY(!w.Form->CheckBox5->isChecked());
    QCOMPARE(ReadAll(edited), std::string("[compile]\r\nbankinsert = 1\r\nToneBankOn=0\r\nVeloFixCmd=0\r\n"));
  }

  void PatchOutcomes() {
    const std::string source = Source("tune.mml", "(T1)\r\nc4\r\n");
    const std::string mld = Path("tune.mld");
    const QString mldText = QString::fromStdString(mld);
    TWindow w(Path("patch.ini"));
    w.Choose(source);

    w.Form->ToolButton5->click();
    QCOMPARE(w.Log().mid(2), QStringList({U("パッチ中止：MLDファイルが存在しません。")}));

    w.Choose(source);
    WriteAll(mld, "not an MLD file");
    w.Form->ToolButton5->click();
    QCOMPARE(w.Log().mid(2), QStringList({U("パッチ失敗..."), U("MLDファイルの構造が不正です。")}));
    QCOMPARE(ReadAll(mld), std::string("not an MLD file"));

    w.Choose(source);
    // One track holding a loop start and a loop end mark.
    const std::string head("melo\0\0\0\0\0\x03\0\0\x01", 13);
    WriteAll(mld, head + std::string("trac\0\0\0\x08\0\xFF\xE7\x16\0\xFF\xE7\x17", 16));
    w.Form->Page->setCurrentWidget(w.Form->SetTab);
    w.Form->ToolButton5->click();
    QCOMPARE(w.Form->Page->currentWidget(), w.Form->LogTab);
    QCOMPARE(w.Log().mid(2), QStringList({U("ループ情報ファイル無し(2回固定)"), U("ループ数:1"), U("パッチ終了(MLD)..."), mldText}));
    QCOMPARE(ReadAll(mld), head + std::string("trac\0\0\0\x08\0\xFF\xDD\x00\0\xFF\xDD\x05", 16));
    QVERIFY(w.Errors.isEmpty());
  }

  // On this platform no authoring tool is ever found: the hand-off logs the two recognition
  // messages after the completion text.
  void HandoffWithoutTheTool() {
    const std::string source = Source("handoff.mml", "(T1)\r\nc4\r\n");
    TWindow w(Path("handoff.ini"));
    QCOMPARE(w.Form->AtsWindow(), TWindowHandle{0});
    w.Choose(source);
    w.Form->CheckBox8->click();
    w.Form->Compile->trigger();
    QCOMPARE(w.Log().mid(2), QStringList({U("コンパイル終了(SMF) ... "), QString::fromStdString(Path("handoff.mid")),
                                          U("ATS-MA5へ自動ロードします。"), U("ATS-MA5の認識に失敗しました。"),
                                          U("ATS-MA5のキャプションが｢MA-5 Authoring Tool｣の状態で再実行してください。")}));
    QVERIFY(FileExists(Path("handoff.mid")));
  }

  // The window looks for the tool when it is created and drives it through the window
  // functions it was given.
  void HandoffToAToolFoundAtStart() {
    const std::string source = Source("found.mml", "(T1)\r\nc4\r\n");
    auto api = std::make_unique<TToolOnlyApi>();
    TToolOnlyApi& calls = *api;
    TWindow w(Path("found.ini"), std::move(api));
    QCOMPARE(w.Form->AtsWindow(), TWindowHandle{0x51});
    w.Choose(source);
    w.Form->Compile->trigger();  // CheckBox8 not ticked: no hand-off
    QVERIFY(calls.Posted.empty());
    w.Form->CheckBox8->click();
    w.Form->Compile->trigger();
    QCOMPARE(w.Log().mid(6), QStringList({U("ATS-MA5へ自動ロードします。"), U("｢ファイルを開く｣ダイアログの取得失敗。")}));
    QCOMPARE(calls.Posted.size(), size_t{1});
    QCOMPARE(calls.Posted[0].Window, TWindowHandle{0x51});
    QCOMPARE(calls.Posted[0].Message, uint32_t{0x0111});
    QCOMPARE(calls.Posted[0].WParam, uintptr_t{32772});
  }

  // Errors raised by an action reach the one error box; the log gets no line for them.
  void UnreadableSourceShowsTheErrorBox() {
    const std::string source = Source("locked.mml", "(T1)\r\nc4\r\n");
    QVERIFY(QFile::setPermissions(QString::fromStdString(source), QFileDevice::WriteOwner));
    TWindow w(Path("locked.ini"));
    w.Choose(source);
    {
      TNoPermissionOverride noOverride;
      if (std::ifstream(source).is_open()) QSKIP("files without read permission stay readable here");
      w.Form->Compile->trigger();
    }
    QCOMPARE(w.Errors, QStringList({U("ソースファイルの読み込みに失敗しました")}));
    QCOMPARE(w.Log().size(), 2);
    QVERIFY(!FileExists(Path("locked.mid")));
  }

  void UnwritableSmfShowsTheErrorBox() {
    const std::string source = Source("full.mml", "(T1)\r\nc4\r\n");
    TWindow w(Path("full.ini"));
    w.Choose(source);
    SetWriteFaultHook([](const std::string&) { return false; });
    w.Form->Compile->trigger();
    SetWriteFaultHook({});
    QCOMPARE(w.Errors.size(), 1);
    QVERIFY(w.Errors[0].startsWith(U("ファイルの書き込みに失敗しました")));
    QCOMPARE(w.Log().size(), 2);
  }

  void SettingsWriteFailureShowsTheErrorBox() {
    TWindow w(Path("no-such-folder/toneweld.ini"));
    w.Form->CheckBox4->click();
    QCOMPARE(w.Errors.size(), 1);
    QVERIFY(w.Errors[0].startsWith(U("ファイルの書き込みに失敗しました")));
    QVERIFY(w.Form->CheckBox4->isChecked());
    QVERIFY(w.Log().isEmpty());
  }

  void UnknownSettingsNameShowsTheErrorBox() {
    TWindow w(Path("unknown.ini"));
    QVERIFY(!w.Form->RegManager1.Item("NoSuchOption").ReadBool());
    QCOMPARE(w.Errors, QStringList({U("[' NoSuchOption '] is invalid.")}));
  }

  void DocumentationButtonOpensTheManual() {
    TWindow w(Path("doc.ini"));
    w.Form->ToolButton2->click();
    QCOMPARE(w.Opened, QStringList({QCoreApplication::applicationDirPath() + U("/toneweld.html")}));
    QCOMPARE(ExeFolder(), QCoreApplication::applicationDirPath() + U("/"));
  }
};

}  // namespace tw

QTEST_MAIN(tw::TGuiTest)
#include "gui_test.moc"
