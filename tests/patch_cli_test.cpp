// The patch action (the window's log lines) and `toneweld patch` on the command line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "Actions.h"
#include "Cp932.h"
#include "FileIO.h"
#include "TestUtil.h"

namespace tw::test {
namespace {

using std::string_literals::operator""s;

// One track with one hardware loop (proxy start and end events), and the same after the patch
// with the count field 4 (loop data line 5).
const std::string kHead = "melo\0\0\0\0\0\3\0\0\1"s;
const std::string kOneLoop = kHead + "trac\0\0\0\x08\0\xFF\xE7\x16\0\xFF\xE7\x17"s;
const std::string kOneLoopPatched = kHead + "trac\0\0\0\x08\0\xFF\xDD\x00\0\xFF\xDD\x11"s;
const std::string kBroken = kHead + "trac\0\0\0\x09\0\xFF\xE7\x16\0\xFF\xE7\x17"s;  // chunk past the end

std::vector<std::string> Utf8Log(const TPatchOutcome& outcome) {
  std::vector<std::string> lines;
  for (const TLogLine& line : outcome.Log) lines.push_back(Cp932ToUtf8(line.Text) + line.Path);
  return lines;
}

TEST(PatchAction, LogLinesOfEachOutcome) {
  const std::string dir = TempDir();
  WriteFile(dir + "/song.mld", kOneLoop);
  WriteFile(dir + "/song.lpd", "5\r\n");
  const TPatchOutcome done = PatchMld(dir + "/song.mld");
  EXPECT_EQ(done.Result, TPatchOutcome::TResult::Patched);
  EXPECT_EQ(Utf8Log(done), (std::vector<std::string>{"ループ情報有り\r\nループ数:1", "パッチ終了(MLD)...\r\n" + dir + "/song.mld"}));
  EXPECT_EQ(ReadFile(dir + "/song.mld"), kOneLoopPatched);

  WriteFile(dir + "/bad.mld", kBroken);
  const TPatchOutcome failed = PatchMld(dir + "/bad.mld");
  EXPECT_EQ(failed.Result, TPatchOutcome::TResult::Failed);
  EXPECT_EQ(Utf8Log(failed), (std::vector<std::string>{"パッチ失敗...", "MLDファイルの構造が不正です。"}));
  EXPECT_EQ(ReadFile(dir + "/bad.mld"), kBroken);

  // A failing write: the report keeps the loop data status and the loop count.
  WriteFile(dir + "/full.mld", kOneLoop);
  SetWriteFaultHook([](const std::string&) { return false; });
  const TPatchOutcome unwritten = PatchMld(dir + "/full.mld");
  SetWriteFaultHook({});
  EXPECT_EQ(unwritten.Result, TPatchOutcome::TResult::Failed);
  EXPECT_EQ(Utf8Log(unwritten), (std::vector<std::string>{"パッチ失敗...", "ループ情報ファイル無し(2回固定)\r\nループ数:1"}));
  EXPECT_EQ(ReadFile(dir + "/full.mld"), kOneLoop);

  const TPatchOutcome missing = PatchMld(dir + "/none.mld");
  EXPECT_EQ(missing.Result, TPatchOutcome::TResult::NoMld);
  EXPECT_EQ(Utf8Log(missing), (std::vector<std::string>{"パッチ中止：MLDファイルが存在しません。"}));
}

TEST(PatchCli, SuccessPrintsReportAndPathOnStandardOutput) {
  const std::string dir = TempDir();
  const std::string mld = dir + "/song.mld";
  WriteFile(mld, kOneLoop);
  WriteFile(dir + "/song.lpd", "5\r\n");
  const CliRun run = RunCli({"patch", mld});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "ループ情報有り\nループ数:1\nパッチ終了(MLD)...\n" + mld + "\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(mld), kOneLoopPatched);
}

TEST(PatchCli, FailureAndMissingFileGoToStandardError) {
  const std::string dir = TempDir();
  WriteFile(dir + "/bad.mld", kBroken);
  CliRun run = RunCli({"patch", dir + "/bad.mld"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "パッチ失敗...\nMLDファイルの構造が不正です。\n");
  EXPECT_EQ(ReadFile(dir + "/bad.mld"), kBroken);

  run = RunCli({"patch", dir + "/none.mld"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "パッチ中止：MLDファイルが存在しません。\n");
}

TEST(PatchCli, SeveralFilesAreEachPatchedAndTheWorstStatusWins) {
  const std::string dir = TempDir();
  WriteFile(dir + "/a.mld", kOneLoop);
  WriteFile(dir + "/b.mld", kOneLoop);
  const CliRun run = RunCli({"patch", dir + "/a.mld", dir + "/none.mld", "--", dir + "/b.mld"});
  EXPECT_EQ(run.status, 1);
  const std::string done = "ループ情報ファイル無し(2回固定)\nループ数:1\nパッチ終了(MLD)...\n";
  EXPECT_EQ(run.out, done + dir + "/a.mld\n" + done + dir + "/b.mld\n");
  EXPECT_EQ(run.err, "パッチ中止：MLDファイルが存在しません。\n");
  const std::string patched = kHead + "trac\0\0\0\x08\0\xFF\xDD\x00\0\xFF\xDD\x05"s;
  EXPECT_EQ(ReadFile(dir + "/a.mld"), patched);
  EXPECT_EQ(ReadFile(dir + "/b.mld"), patched);
}

TEST(PatchCli, UsageErrors) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"patch"}, {"patch", "--force", "x.mld"}}) {
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Usage: toneweld compile"), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace tw::test
