// The settings store: the option items, the INI file it reads and rewrites, and where the file
// lives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "Cp932.h"
#include "FileIO.h"
#include "RegMng.h"
#include "TestUtil.h"

namespace tw::test {
namespace {

// A manager over a settings file in a fresh folder, recording the error messages it shows.
struct Store {
  Store() {
    dir = TempDir();
    reg.IniFileName = dir + "/toneweld.ini";
    reg.OnError = [this](const std::string& message) { errors.push_back(message); };
  }
  bool Read(const std::string& name) { return reg.Item(name).ReadBool(); }
  void Write(const std::string& name, bool value) { reg.Item(name).WriteBool(value); }
  std::string File() const { return ReadFile(reg.IniFileName); }
  void SetFile(const std::string& bytes) const { WriteFile(reg.IniFileName, bytes); }

  std::string dir;
  TRegManager reg;
  std::vector<std::string> errors;
};

// The names in the order the window reads them.
const std::vector<std::string> kWindowNames = {"BankInsert", "ToneBankOn", "DrumBankOn", "VolToVelo",
                                               "VeloFixCmd", "HLoopOut",   "AtsCtrl"};

TEST(RegMng, ItemTable) {
  const std::vector<std::vector<std::string>> expected = {
      {"BankInsert", "Compile", "BankInsert", "False"}, {"ToneBankOn", "Compile", "ToneBankOn", "True"},
      {"DrumBankOn", "Compile", "DrumBankOn", "True"},  {"VolToVelo", "Compile", "VolToVelo", "Flase"},
      {"VeloFixCmd", "Compile", "VeloFixCmd", "True"},  {"HLoopOut", "Compile", "HLoopOut", "False"},
      {"ATSCtrl", "Compile", "AutoLoad", "False"}};
  std::vector<std::vector<std::string>> items;
  for (const TRegItem& item : TRegManager().RegItems) {
    items.push_back({item.Name, item.Section, item.Ident, item.DefaultValue});
  }
  EXPECT_EQ(items, expected);
}

TEST(RegMng, DefaultsWithoutAFile) {
  Store s;
  std::vector<bool> values;
  for (const std::string& name : kWindowNames) values.push_back(s.Read(name));
  EXPECT_EQ(values, (std::vector<bool>{false, true, true, false, true, false, false}));
  EXPECT_TRUE(s.errors.empty());
  EXPECT_FALSE(FileExists(s.reg.IniFileName));  // reading writes nothing
  EXPECT_EQ(s.reg.Item("x").ReadString("Compile", "HLoopOut", "dflt"), "dflt");
}

TEST(RegMng, WritesCreateTheFileAndTheSection) {
  Store s;
  s.Write("HLoopOut", false);
  EXPECT_EQ(s.File(), "[Compile]\r\nHLoopOut=0\r\n");
  s.Write("HLoopOut", true);
  s.Write("BankInsert", false);
  EXPECT_EQ(s.File(), "[Compile]\r\nHLoopOut=1\r\nBankInsert=0\r\n");
  EXPECT_TRUE(s.Read("HLoopOut"));
  EXPECT_FALSE(s.Read("BankInsert"));
  EXPECT_TRUE(s.Read("ToneBankOn"));  // still the default

  // The item looked up as AtsCtrl is stored under its own key.
  s.Write("atsCTRL", true);
  EXPECT_EQ(s.File(), "[Compile]\r\nHLoopOut=1\r\nBankInsert=0\r\nAutoLoad=1\r\n");
  EXPECT_TRUE(s.Read("AtsCtrl"));
}

TEST(RegMng, AWriteKeepsEveryOtherLine) {
  Store s;
  s.SetFile(
      "; settings of toneweld\n"
      "HLoopOut=1\n"  // before any section: not an entry of Compile
      "[Other]\n"
      "HLoopOut=1\n"
      "\n"
      "  [ compile ]  \n"
      "  hloopout =  0  \n"
      "; a comment\r\n"
      "no equals sign\n"
      "VolToVelo=\n"
      "\r\n"
      "[Last]\r"
      "k = v");
  EXPECT_FALSE(s.Read("HLoopOut"));
  EXPECT_FALSE(s.Read("VolToVelo"));  // empty value, not the default
  EXPECT_EQ(s.reg.Item("x").ReadString("LAST", "K", ""), "v");

  s.Write("HLoopOut", true);      // replaced in place, the text before the value kept
  s.Write("VeloFixCmd", false);   // added after the last line of its section
  EXPECT_EQ(s.File(),
            "; settings of toneweld\r\n"
            "HLoopOut=1\r\n"
            "[Other]\r\n"
            "HLoopOut=1\r\n"
            "\r\n"
            "  [ compile ]  \r\n"
            "  hloopout =  1\r\n"
            "; a comment\r\n"
            "no equals sign\r\n"
            "VolToVelo=\r\n"
            "VeloFixCmd=0\r\n"
            "\r\n"
            "[Last]\r\n"
            "k = v\r\n");
  EXPECT_TRUE(s.Read("HLoopOut"));
  EXPECT_FALSE(s.Read("VeloFixCmd"));

  // A missing section goes to the end, after a blank line.
  s.reg.Item("x").WriteString("New", "Key", "value");
  EXPECT_TRUE(s.File().ends_with("k = v\r\n\r\n[New]\r\nKey=value\r\n")) << s.File();
}

TEST(RegMng, FirstSectionAndFirstKeyCount) {
  Store s;
  s.SetFile("[Compile]\r\nHLoopOut=1\r\nHLOOPOUT=0\r\n[COMPILE]\r\nHLoopOut=0\r\nBankInsert=1\r\n");
  EXPECT_TRUE(s.Read("HLoopOut"));
  EXPECT_FALSE(s.Read("BankInsert"));  // only in the second section of that name
  s.Write("HLoopOut", false);
  s.Write("BankInsert", true);
  EXPECT_EQ(s.File(),
            "[Compile]\r\nHLoopOut=0\r\nHLOOPOUT=0\r\nBankInsert=1\r\n[COMPILE]\r\nHLoopOut=0\r\nBankInsert=1\r\n");
}

TEST(RegMng, DoubleByteNamesAreNotFolded) {
  // The second bytes of ゾ (83 5D) and ア / ヂ (83 41 / 83 61) look like "]", "A" and "a".
  Store s;
  const std::string zo = Utf8ToCp932("ゾ"), a = Utf8ToCp932("ア"), dji = Utf8ToCp932("ヂ");
  TRegFiler& filer = s.reg.Item("x");
  filer.WriteString(zo, dji, "1");
  filer.WriteString(zo, a, "2");
  EXPECT_EQ(s.File(), "[" + zo + "]\r\n" + dji + "=1\r\n" + a + "=2\r\n");
  EXPECT_EQ(filer.ReadString(zo, dji, ""), "1");
  EXPECT_EQ(filer.ReadString(zo, a, ""), "2");

  s.reg.RegItems = {{dji, "S", "K", "True"}, {Utf8ToCp932("ａ"), "S", "K", "True"}};
  EXPECT_EQ(s.reg.Item(a).FItem, nullptr);
  EXPECT_EQ(s.reg.Item(Utf8ToCp932("Ａ")).FItem, nullptr);  // full-width letters keep their case
  ASSERT_NE(s.reg.Item(dji).FItem, nullptr);
  EXPECT_EQ(s.errors.size(), 3u);  // "x" and the two misses
}

TEST(RegMng, LookUpIgnoresCase) {
  Store s;
  for (const std::string name : {"AtsCtrl", "atsctrl", "ATSCTRL", "ATSCtrl"}) {
    const TRegItem* item = s.reg.Item(name).FItem;
    ASSERT_NE(item, nullptr) << name;
    EXPECT_EQ(item->Name, "ATSCtrl");
    EXPECT_EQ(item->Ident, "AutoLoad");
  }
  EXPECT_EQ(s.reg.Item("volTOvelo").FItem, &s.reg.RegItems[3]);
  EXPECT_TRUE(s.errors.empty());
}

TEST(RegMng, AnUnknownNameShowsItsMessageAndBindsNoItem) {
  Store s;
  s.SetFile("[Compile]\r\nHLoopOut=1\r\n");
  ASSERT_NE(s.reg.Item("HLoopOut").FItem, nullptr);
  TRegFiler& filer = s.reg.Item("AtsCtr");
  EXPECT_EQ(filer.FItem, nullptr);  // the earlier binding is gone
  EXPECT_EQ(s.errors, (std::vector<std::string>{"[' AtsCtr '] is invalid."}));
  EXPECT_FALSE(filer.ReadBool());
  filer.WriteBool(true);
  EXPECT_EQ(s.File(), "[Compile]\r\nHLoopOut=1\r\n");

  s.reg.OnError = nullptr;  // no one to show it: dropped
  EXPECT_FALSE(s.Read(""));
}

TEST(RegMng, ReadBoolValues) {
  Store s;
  const std::vector<std::pair<std::string, bool>> cases = {
      {"1", true},          {"0", false},           {"2", true},          {"256", false},
      {"257", true},        {"-1", true},           {"-256", false},      {"+3", true},
      {"0001", true},       {"yes", false},         {"True", false},      {"", false},
      {" 1 ", true},        {"\t1", true},          {"1.0", false},       {"0x1", false},
      {"1a", false},        {"-", false},           {"2147483647", true}, {"-2147483647", true},
      {"2147483649", false}, {"4294967297", false},  {"-2147483649", false},
      {"99999999999999999999999", false},
  };
  for (const auto& [text, expected] : cases) {
    s.SetFile("[Compile]\r\nBankInsert=" + text + "\r\n");
    EXPECT_EQ(s.Read("BankInsert"), expected) << "'" << text << "'";
  }

  // The default text: only 1, TRUE and YES (any case) read as true.
  const std::vector<std::pair<std::string, bool>> defaults = {
      {"1", true},   {"true", true}, {"Yes", true},  {"TRUE", true}, {"Flase", false},
      {"on", false}, {"2", false},   {" 1", false},  {"", false},
  };
  RemoveFile(s.reg.IniFileName);
  for (const auto& [text, expected] : defaults) {
    s.reg.RegItems = {{"Opt", "Compile", "Opt", text}};
    EXPECT_EQ(s.Read("Opt"), expected) << "'" << text << "'";
  }
  // An item without a section or key reads its default.
  s.reg.RegItems = {{"Opt", "", "Opt", "True"}};
  EXPECT_TRUE(s.Read("Opt"));
}

TEST(RegMng, NamesAndValuesThatAreNotStored) {
  Store s;
  TRegFiler& filer = s.reg.Item("x");
  filer.WriteString("", "Key", "1");
  filer.WriteString("Compile", "  ", "1");
  filer.WriteString("Compile", "Key", "1\r\nInjected=1");
  filer.WriteString("Com]pile", "Key", "1");
  filer.WriteString("Compile", "K=ey", "1");
  filer.WriteString("Compile", "[Key]", "1");
  EXPECT_FALSE(FileExists(s.reg.IniFileName));
  EXPECT_EQ(filer.ReadString("", "Key", "d"), "d");

  // Blanks around names do not make a second entry.
  filer.WriteString(" Compile ", " Key ", " 1 ");
  filer.WriteString("Compile", "Key", "2");
  EXPECT_EQ(s.File(), "[Compile]\r\nKey=2\r\n");
}

TEST(RegMng, AFailingWriteThrowsAndKeepsTheOldFile) {
  Store s;
  const std::string old = "; mine\n[Compile]\nHLoopOut=0\n";
  s.SetFile(old);
  SetWriteFaultHook([](const std::string&) { return false; });
  EXPECT_THROW(s.Write("HLoopOut", true), FileError);
  SetWriteFaultHook({});
  EXPECT_EQ(s.File(), old);
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(s.dir)) ++files;
  EXPECT_EQ(files, 1u);  // no temporary file left behind

  s.reg.IniFileName = s.dir + "/missing/toneweld.ini";
  EXPECT_THROW(s.Write("HLoopOut", true), FileError);
  EXPECT_FALSE(s.Read("HLoopOut"));
}

// Sets an environment variable for the scope of a test (unset with nullopt).
class EnvVar {
 public:
  EnvVar(const char* name, std::optional<std::string> value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old;
    Set(value);
  }
  ~EnvVar() { Set(FOld); }

 private:
  void Set(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(FName, value->c_str(), 1);
    } else {
      ::unsetenv(FName);
    }
  }
  const char* FName;
  std::optional<std::string> FOld;
};

bool IsFolder(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(RegMng, SettingsPathBesideAWritableExecutable) {
  const std::string dir = TempDir();
  EXPECT_EQ(SettingsPath(dir + "/toneweld"), dir + "/toneweld.ini");
  EXPECT_EQ(SettingsPath(dir + "/tw.exe"), dir + "/tw.ini");
}

// A folder that cannot be written to is made here by a path whose folder does not exist or is a
// file: the tests may run as root, for whom permissions do not stop a write.
TEST(RegMng, SettingsPathInTheUserConfigFolder) {
  const std::string dir = TempDir();
  WriteFile(dir + "/plain", "");
  const std::string xdg = dir + "/xdg/config";  // made on demand with the folder above it
  {
    EnvVar config("XDG_CONFIG_HOME", xdg);
    EXPECT_EQ(SettingsPath(dir + "/nowhere/bin/toneweld"), xdg + "/toneweld/toneweld.ini");
    EXPECT_TRUE(IsFolder(xdg + "/toneweld"));
    EXPECT_EQ(SettingsPath(dir + "/plain/toneweld"), xdg + "/toneweld/toneweld.ini");

    // The settings are then read and written there.
    TRegManager reg;
    reg.IniFileName = SettingsPath(dir + "/plain/toneweld");
    reg.Item("HLoopOut").WriteBool(true);
    EXPECT_EQ(ReadFile(xdg + "/toneweld/toneweld.ini"), "[Compile]\r\nHLoopOut=1\r\n");
  }
  {
    EnvVar home("HOME", dir + "/home");
    EnvVar unset("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(SettingsPath(dir + "/plain/toneweld"), dir + "/home/.config/toneweld/toneweld.ini");
    EXPECT_TRUE(IsFolder(dir + "/home/.config/toneweld"));
    EnvVar relative("XDG_CONFIG_HOME", "relative/config");  // not absolute: ignored
    EXPECT_EQ(SettingsPath(dir + "/plain/toneweld"), dir + "/home/.config/toneweld/toneweld.ini");
  }
}

TEST(RegMng, SettingsPathOfAReadOnlyFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  const std::string dir = TempDir();
  ::mkdir((dir + "/bin").c_str(), 0555);
  EnvVar config("XDG_CONFIG_HOME", dir + "/config");
  EXPECT_EQ(SettingsPath(dir + "/bin/toneweld"), dir + "/config/toneweld/toneweld.ini");
}

}  // namespace
}  // namespace tw::test
