#include "mainform.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

#include "Actions.h"
#include "AppUtils.h"
#include "Cp932.h"
#include "FileIO.h"
#include "Texts.h"

namespace tw {
namespace {

// A system text (code page 932) for display.
QString Ui(const std::string& cp932) { return QString::fromUtf8(Cp932ToUtf8(cp932)); }

// A file path in the system's own encoding (UTF-8 here; on Windows the window would have to
// convert between the ANSI code page and UTF-16 instead).
QString PathText(const std::string& path) { return QString::fromStdString(path); }

constexpr int kDesignWidth = 278;
constexpr int kDesignHeight = 221;

}  // namespace

QFont UiFont() {
  QFont font;
  const QStringList families = QFontDatabase::families();
  for (const QString& name : {Ui(text::kUiFontName), QStringLiteral("MS PGothic"), QStringLiteral("Noto Sans CJK JP")}) {
    if (families.contains(name, Qt::CaseInsensitive)) {
      font.setFamilies({name});
      break;
    }
  }
  font.setPointSize(9);
  return font;
}

QStringList QtNameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList masks = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& mask : masks) {
      mask = mask.trimmed();
      if (mask == QLatin1String("*.*")) mask = QStringLiteral("*");
    }
    filters << parts[i] + QStringLiteral(" (") + masks.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters;
}

TForm1::TForm1(std::string iniPath, std::unique_ptr<TWindowApi> windowApi, QWidget* parent)
    : QMainWindow(parent),
      FIniPath(std::move(iniPath)),
      FWindowApi(windowApi ? std::move(windowApi) : MakePlatformWindowApi()),
      FAts(*FWindowApi, [this](const std::string& line) { AddLog(line); }) {
  ChooseSource = [this]() -> QString {
    if (OpenDialog1->exec() != QDialog::Accepted) return {};
    const QStringList files = OpenDialog1->selectedFiles();
    return files.isEmpty() ? QString() : files.first();
  };
  ShowError = [this](const QString& message) { QMessageBox::critical(this, QStringLiteral("TONEWELD"), message); };
  OpenDocument = [](const QString& path) { ShellOpen(path); };
  RegManager1.RegType = TRegType::rtIni;
  RegManager1.RegItems = OptionItems();
  RegManager1.OnError = [this](const std::string& message) { ShowError(Ui(message)); };

  CreateComponents();
  ConnectHandlers();
  CentreOnScreen();
  Guarded(&TForm1::FormCreate);
}

TForm1::~TForm1() = default;

std::string TForm1::DefaultSettingsPath() {
  return SettingsPath(QCoreApplication::applicationFilePath().toStdString());
}

void TForm1::CreateComponents() {
  setWindowTitle(Ui(text::kUiCaption));
  setFont(UiFont());
  setContextMenuPolicy(Qt::NoContextMenu);  // no menu to hide the tool bar
  QStyle* style = this->style();

  LoadDir = new QAction(style->standardIcon(QStyle::SP_DialogOpenButton), Ui(text::kUiLoadDirCaption), this);
  LoadDir->setToolTip(Ui(text::kUiLoadDirHint));
  Compile = new QAction(style->standardIcon(QStyle::SP_MediaPlay), Ui(text::kUiCompileCaption), this);
  Compile->setToolTip(Ui(text::kUiCompileHint));
  MldPatch = new QAction(style->standardIcon(QStyle::SP_DialogApplyButton), Ui(text::kUiMldPatchCaption), this);

  // The tool buttons are enabled and disabled on their own, with their own hints: the actions
  // behind them stay enabled, as a button's state is not its action's.
  ToolBar1 = new QToolBar(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
  addToolBar(Qt::TopToolBarArea, ToolBar1);
  const auto button = [this](QAction* action, const QString& hint) {
    auto* b = new QToolButton(ToolBar1);
    b->setIcon(action->icon());
    b->setText(action->text());
    b->setToolTip(hint);
    b->setAutoRaise(true);
    connect(b, &QToolButton::clicked, action, &QAction::trigger);
    ToolBar1->addWidget(b);
    return b;
  };
  ToolButton1 = button(LoadDir, LoadDir->toolTip());
  ToolButton3 = button(Compile, Ui(text::kUiCompileButtonHint));
  ToolButton3->setEnabled(false);
  ToolButton4 = ToolBar1->addSeparator();
  ToolButton5 = button(MldPatch, Ui(text::kUiMldPatchButtonHint));
  ToolButton5->setEnabled(false);
  ToolButton6 = ToolBar1->addSeparator();
  ToolButton2 = new QToolButton(ToolBar1);
  ToolButton2->setIcon(style->standardIcon(QStyle::SP_DialogHelpButton));
  ToolButton2->setToolTip(Ui(text::kUiDocButtonHint));
  ToolButton2->setAutoRaise(true);
  ToolBar1->addWidget(ToolButton2);

  StatusBar1 = new QStatusBar(this);
  setStatusBar(StatusBar1);

  Page = new QTabWidget(this);
  Page->setDocumentMode(true);  // flat tabs
  LogTab = new QWidget(Page);
  auto* logLayout = new QVBoxLayout(LogTab);
  logLayout->setContentsMargins(0, 0, 0, 0);
  RichEdit1 = new QPlainTextEdit(LogTab);
  RichEdit1->setReadOnly(true);
  RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);  // long paths scroll sideways
  RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  logLayout->addWidget(RichEdit1);
  Page->addTab(LogTab, Ui(text::kUiLogTab));

  SetTab = new QWidget(Page);
  auto* setLayout = new QVBoxLayout(SetTab);
  const auto checkBox = [this, setLayout](const char* caption, bool checked) {
    auto* box = new QCheckBox(Ui(caption), SetTab);
    box->setChecked(checked);
    setLayout->addWidget(box);
    return box;
  };
  CheckBox1 = checkBox(text::kUiBankInsert, false);
  CheckBox2 = checkBox(text::kUiToneBank, true);
  CheckBox2->setEnabled(false);
  CheckBox3 = checkBox(text::kUiDrumBank, true);
  CheckBox3->setEnabled(false);
  CheckBox4 = checkBox(text::kUiVolToVelo, false);
  CheckBox5 = checkBox(text::kUiVeloFixCmd, true);
  CheckBox6 = checkBox(text::kUiHLoopOut, false);
  CheckBox8 = checkBox(text::kUiAtsCtrl, false);
  setLayout->addStretch();
  Page->addTab(SetTab, Ui(text::kUiSetTab));
  setCentralWidget(Page);

  OpenDialog1 = new QFileDialog(this);
  OpenDialog1->setFileMode(QFileDialog::ExistingFile);
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
  OpenDialog1->setOption(QFileDialog::HideNameFilterDetails);
  OpenDialog1->setNameFilters(QtNameFilters(Ui(text::kUiOpenFilter)));
}

void TForm1::ConnectHandlers() {
  connect(LoadDir, &QAction::triggered, this, [this] { Guarded(&TForm1::LoadDirExecute); });
  connect(Compile, &QAction::triggered, this, [this] { Guarded(&TForm1::CompileExecute); });
  connect(MldPatch, &QAction::triggered, this, [this] { Guarded(&TForm1::MldPatchExecute); });
  connect(ToolButton2, &QToolButton::clicked, this, [this] { Guarded(&TForm1::ToolButton2Click); });
  // toggled, not clicked: a state set by the program runs the handler too.
  const auto onChange = [this](QCheckBox* box, void (TForm1::*handler)()) {
    connect(box, &QCheckBox::toggled, this, [this, handler] { Guarded(handler); });
  };
  onChange(CheckBox1, &TForm1::CheckBox1Click);
  onChange(CheckBox2, &TForm1::CheckBox2Click);
  onChange(CheckBox3, &TForm1::CheckBox3Click);
  onChange(CheckBox4, &TForm1::CheckBox4Click);
  onChange(CheckBox5, &TForm1::CheckBox5Click);
  onChange(CheckBox6, &TForm1::CheckBox6Click);
  onChange(CheckBox8, &TForm1::CheckBox8Click);
}

// The design size, or larger where the fonts need more room; centred on the screen.
void TForm1::CentreOnScreen() {
  resize(QSize(kDesignWidth, kDesignHeight).expandedTo(minimumSizeHint()));
  if (const QScreen* screen = this->screen()) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

void TForm1::Guarded(void (TForm1::*handler)()) {
  try {
    (this->*handler)();
  } catch (const FileError& e) {
    ShowError(QString::fromStdString(e.Utf8Text()));  // the path is the system's bytes, not code page 932
  } catch (const std::exception& e) {
    ShowError(Ui(e.what()));
  }
}

void TForm1::AddLog(const std::string& text) {
  QString lines = Ui(text);
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  RichEdit1->appendPlainText(lines);
}

void TForm1::AddLog(const std::string& text, const std::string& path) {
  QString lines = Ui(text) + PathText(path);
  lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  RichEdit1->appendPlainText(lines);
}

void TForm1::StoreOption(const char* name, const QCheckBox* box) {
  RegManager1.Item(name).WriteBool(box->isChecked());
}

void TForm1::ShowLogPage() {
  const int count = Page->count();
  for (int step = 0; step < count && Page->currentWidget() != LogTab; ++step) {
    int next = Page->currentIndex();
    for (int i = 0; i < count; ++i) {
      next = (next + 1) % count;
      if (Page->isTabVisible(next)) break;
    }
    Page->setCurrentIndex(next);
  }
}

// ---- Handlers

void TForm1::FormCreate() {
  RegManager1.IniFileName = FIniPath;
  // A stored state that differs from the design state runs the box's handler.
  CheckBox1->setChecked(RegManager1.Item("BankInsert").ReadBool());
  CheckBox2->setChecked(RegManager1.Item("ToneBankOn").ReadBool());
  CheckBox3->setChecked(RegManager1.Item("DrumBankOn").ReadBool());
  CheckBox4->setChecked(RegManager1.Item("VolToVelo").ReadBool());
  CheckBox5->setChecked(RegManager1.Item("VeloFixCmd").ReadBool());
  CheckBox6->setChecked(RegManager1.Item("HLoopOut").ReadBool());
  CheckBox8->setChecked(RegManager1.Item("AtsCtrl").ReadBool());
  ShowLogPage();
  FAts.FindTool();
}

void TForm1::LoadDirExecute() {
  const QString chosen = ChooseSource();
  if (chosen.isEmpty()) return;
  FSourcePath = chosen.toStdString();
  RichEdit1->clear();
  AddLog(text::kLogSource, FSourcePath);
  ToolButton3->setEnabled(true);
  ToolButton5->setEnabled(true);
}

void TForm1::CompileExecute() {
  ShowLogPage();
  if (FSourcePath.empty() || !FileExists(FSourcePath)) return;
  TCompileOptions options;
  options.BankInsert = CheckBox1->isChecked();
  options.ToneBank = CheckBox2->isChecked();
  options.DrumBank = CheckBox3->isChecked();
  options.VolToVelo = CheckBox4->isChecked();
  options.VeloFixCmd = CheckBox5->isChecked();
  options.HLoopOut = CheckBox6->isChecked();
  const TCompileOutcome outcome = CompileSource(FSourcePath, options);
  if (!outcome.Ok) {
    AddLog(ErrorLogLine(outcome));
    return;
  }
  for (const TLogLine& line : outcome.Log) AddLog(line.Text, line.Path);
  if (CheckBox8->isChecked()) FAts.Handoff(outcome.SmfPath);
}

void TForm1::MldPatchExecute() {
  ShowLogPage();
  if (FSourcePath.empty()) return;
  const std::string mldPath = ChangeFileExt(FSourcePath, ".mld");
  const TPatchOutcome outcome = PatchMld(mldPath);
  for (const TLogLine& line : outcome.Log) AddLog(line.Text, line.Path);
}

void TForm1::ToolButton2Click() {
  QCoreApplication::processEvents();
  OpenDocument(ExeFolder() + QStringLiteral("toneweld.html"));
}

void TForm1::CheckBox1Click() {
  // The two bank boxes keep their check marks while disabled; the compiler still gets them.
  CheckBox2->setEnabled(CheckBox1->isChecked());
  CheckBox3->setEnabled(CheckBox1->isChecked());
  StoreOption("BankInsert", CheckBox1);
}

void TForm1::CheckBox2Click() { StoreOption("ToneBankOn", CheckBox2); }
void TForm1::CheckBox3Click() { StoreOption("DrumBankOn", CheckBox3); }
void TForm1::CheckBox4Click() { StoreOption("VolToVelo", CheckBox4); }
void TForm1::CheckBox5Click() { StoreOption("VeloFixCmd", CheckBox5); }
void TForm1::CheckBox6Click() { StoreOption("HLoopOut", CheckBox6); }
void TForm1::CheckBox8Click() { StoreOption("AtsCtrl", CheckBox8); }

}  // namespace tw
