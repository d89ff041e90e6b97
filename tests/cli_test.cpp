// The command-line front end: toneweld compile.
#include <gtest/gtest.h>

#include "TestUtil.h"

namespace tw::test {
namespace {

std::string Source(const std::string& dir, const std::string& name, std::string_view cp932) {
  const std::string path = dir + "/" + name;
  WriteFile(path, cp932);
  return path;
}

TEST(CliCompile, SuccessPrintsTheLogAndWritesTheSmf) {
  const std::string dir = TempDir();
  // The second file name is no code page 932 text: the log shows it as it is.
  for (const std::string name : {"song", "うた"}) {
    const std::string src = Source(dir, name + ".mml", "(T1) c d e\r\n");
    const CliRun run = RunCli({"compile", src});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "コンパイル終了(SMF) ... \n" + dir + "/" + name + ".mid\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFile(dir + "/" + name + ".mid").substr(0, 4), "MThd");
  }
}

TEST(CliCompile, EachOptionLogsItsLineInOrder) {
  const std::string src = Source(TempDir(), "song.txt", "(T1) c");
  const CliRun run = RunCli({"compile", "--hloop-out", "--vol-to-velo", "--no-velo-fix", "--bank-insert",
                             "--no-tone-bank", "--no-drum-bank", "--seed", "7", src});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, run.out.find("コンパイル終了")),
            "@BANK は無視されます。\n@UFIX @UMODE は無視されます。\n音量データを圧縮します。\n"
            "『』はBendRange22,23で出力されます。\n");
}

TEST(CliCompile, CompileErrorIsOnePositionedLineAndWritesNothing) {
  const std::string dir = TempDir();
  const std::string src = Source(dir, "bad", "(T1)\r\n  c x\r\n");
  const CliRun run = RunCli({"compile", src});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, src + ":2:5: ｢ X ｣ 不明な命令又は文法エラーです。\n");
  EXPECT_EQ(ReadFile(dir + "/bad.mid"), "");
}

TEST(CliCompile, FileErrorsAndTheWorstStatusOfSeveralSources) {
  const std::string dir = TempDir();
  const std::string good = Source(dir, "good.mml", "(T1) c");
  const std::string bad = Source(dir, "bad.mml", "x");
  const std::string blocked = Source(dir, "うた.mml", "(T1) c");  // a file name is no code page 932 text
  std::system(("mkdir '" + dir + "/うた.mid'").c_str());  // the output path is a folder
  const CliRun run = RunCli({"compile", good, dir + "/missing.mml", bad, blocked});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find(dir + "/missing.mml: ソースファイルの読み込みに失敗しました\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(bad + ":1:1: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(blocked + ": ファイルの書き込みに失敗しました (" + dir + "/うた.mid: "), std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFile(dir + "/good.mid").substr(0, 4), "MThd");
}

TEST(CliCompile, UsageHelpAndVersion) {
  EXPECT_EQ(RunCli({"--help"}).status, 0);
  EXPECT_NE(RunCli({"--help"}).out.find("toneweld compile [options] SOURCE..."), std::string::npos);
  EXPECT_EQ(RunCli({"--version"}).out, "toneweld 2.7a\n");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"compile"}, {"compile", "--frobnicate", "x.mml"}, {"compile", "--seed", "x", "a.mml"}, {"explode"}}) {
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Usage:"), std::string::npos);
  }
}

}  // namespace
}  // namespace tw::test
