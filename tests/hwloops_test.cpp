// Hardware loops ("『" "』"): proxy events and the loop data file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Cp932.h"
#include "FileIO.h"
#include "TestUtil.h"

namespace tw::test {
namespace {

using Lines = std::vector<std::string>;

void HwLoopsOn(TMmlc& m) { m.FOptHLoopOut = true; }

// The four control changes of a mark (sensitivity 22 starts, 23 ends) at tick on status byte.
Events Mark(const std::string& tick, const std::string& status, const std::string& value) {
  return {tick + ": " + status + " 65 00", tick + ": " + status + " 64 00", tick + ": " + status + " 06 " + value,
          tick + ": " + status + " 26 00"};
}

Events Join(std::initializer_list<Events> parts) {
  Events out;
  for (const Events& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The loop data lines a compile kept (the compile writes no file here).
Lines LoopDataOf(std::string_view source, bool option = true) {
  Lines lines;
  const Compiled c = CompileMml(
      source, [option](TMmlc& m) { m.FOptHLoopOut = option; }, [&lines](TMmlc& m) { lines = m.FLoopDataLines; });
  EXPECT_TRUE(c.ok) << c.error;
  return lines;
}

TEST(HwLoops, ProxyEvents) {
  EXPECT_EQ(EventsOf("(T1) 『c』", HwLoopsOn),
            Join({Mark("0", "B0", "16"), {"0: 90 3C 7F", "24: 80 3C 00"}, Mark("24", "B0", "17")}));
  // On OutChannel: a rhythm track sends on channel 9 (after its drum volume).
  EXPECT_EQ(EventsOf("(T2,D) r『r』", HwLoopsOn), Join({{"0: B9 07 7F"}, Mark("24", "B9", "16"), Mark("48", "B9", "17")}));
  // Written on a muted part too, so that every loop end keeps its line.
  EXPECT_EQ(EventsOf("(P2) (T4) 『』", HwLoopsOn), Join({Mark("0", "B3", "16"), Mark("0", "B3", "17")}));
  // Inside a software loop that runs twice: two loops.
  EXPECT_EQ(EventsOf("(T1) [『r』]", HwLoopsOn),
            Join({Mark("0", "B0", "16"), Mark("24", "B0", "17"), Mark("24", "B0", "16"), Mark("48", "B0", "17")}));
  EXPECT_EQ(LoopDataOf("(T1) [『r』5]"), (Lines{"5", "5"}));
}

TEST(HwLoops, OptionOffWritesNothing) {
  EXPECT_EQ(EventsOf("(T1) 『c』3 『d』"), EventsOf("(T1) c d"));
  EXPECT_EQ(LoopDataOf("(T1) 『c』3 『d』", false), Lines{});
  // Still parsed and checked.
  EXPECT_EQ(ErrorOf("(T1) 』"), "1:6: ｢ 』 ｣ループ開始指定がありません。");
}

TEST(HwLoops, Counts) {
  struct Case {
    const char* source;
    const char* line;
  };
  const Case cases[] = {
      {"』", "2"},  {"』0", "2"},   {"』1", "1"},   {"』2", "2"},          {"』16", "16"},
      {"』17", "1"}, {"』18", "2"}, {"』32", "16"}, {"』 5", "5"},         {"』007", "7"},
      {"』2147483647", "15"},  // (2147483646 mod 16) + 1
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoopDataOf(std::string("(T1) 『") + c.source), (Lines{c.line})) << c.source;
  }
}

TEST(HwLoops, FourPerCompile) {
  EXPECT_EQ(LoopDataOf("(T1) 『』3『』4\n(T2) 『』5『』6"), (Lines{"3", "4", "5", "6"}));
  // A loop may start in one track and end in a later one.
  EXPECT_EQ(EventsOf("(T1) 『\n(T2) r』7", HwLoopsOn), Join({Mark("0", "B0", "16"), Mark("24", "B1", "17")}));
  // An open loop at the end is not reported and gets no line.
  EXPECT_EQ(LoopDataOf("(T1) 『』『"), (Lines{"2"}));
}

TEST(HwLoops, Errors) {
  struct Case {
    const char* source;
    const char* error;
  };
  const Case cases[] = {
      {"(T1) 『』『』『』『』『", "1:14: ｢ 『 ｣指定可能数上限を超えました。"},
      {"(T1) 『』『』\n(T2) 『』『』\n(T3) 『", "3:6: ｢ 『 ｣指定可能数上限を超えました。"},
      {"(T1) [『』]5", "1:7: ｢ 『 ｣指定可能数上限を超えました。"},
      // The limit is tested before the nesting.
      {"(T1) 『』『』『』『『", "1:13: ｢ 『 ｣指定可能数上限を超えました。"},
      {"(T1) 『『", "1:7: ｢ 『 ｣ハードウェアループはネスト出来ません。"},
      {"(T1) 』", "1:6: ｢ 』 ｣ループ開始指定がありません。"},
      {"(T1) 』12", "1:8: ｢ 』 ｣ループ開始指定がありません。"},  // the count is read first
      {"(T1) 『』』", "1:8: ｢ 』 ｣ループ開始指定がありません。"},
      {"(SETTING) 『", "1:11: ｢ 『 ｣ 現在の句では使用出来ないコマンドです."},
      {"(SETTING) 』", "1:11: ｢ 』 ｣ 現在の句では使用出来ないコマンドです."},
      {"『", "1:1: ｢ 『 ｣ 現在の句では使用出来ないコマンドです."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf(c.source, HwLoopsOn), c.error) << c.source;
  }
}

// Compiles the UTF-8 source as dir/song.mml with the option as given.
bool CompileFile(const std::string& dir, std::string_view source, bool option) {
  WriteFile(dir + "/song.mml", Utf8ToCp932(source));
  TMmlc mmlc;
  mmlc.FOptHLoopOut = option;
  return mmlc.Compile(dir + "/song.mml");
}

TEST(HwLoops, LoopDataFile) {
  const std::string dir = TempDir();
  const std::string lpd = dir + "/song.lpd";
  ASSERT_TRUE(CompileFile(dir, "(T1) 『c』17 『d』16", true));
  EXPECT_EQ(ReadFile(lpd), "1\r\n16\r\n");
  EXPECT_TRUE(FileExists(dir + "/song.mid"));

  // A hardware loop inside a software loop that runs twice writes two lines.
  ASSERT_TRUE(CompileFile(dir, "(T1) [『c』]", true));
  EXPECT_EQ(ReadFile(lpd), "2\r\n2\r\n");

  // A compile without loop ends, or with the option off, deletes the old file.
  ASSERT_TRUE(CompileFile(dir, "(T1) c", true));
  EXPECT_FALSE(FileExists(lpd));
  WriteFile(lpd, "9\r\n");
  ASSERT_TRUE(CompileFile(dir, "(T1) 『c』3", false));
  EXPECT_FALSE(FileExists(lpd));

  // A failing compile keeps the lines written before the failure and writes no SMF.
  std::remove((dir + "/song.mid").c_str());
  EXPECT_FALSE(CompileFile(dir, "(T1) 『c』4 『d』5 x", true));
  EXPECT_EQ(ReadFile(lpd), "4\r\n5\r\n");
  EXPECT_FALSE(FileExists(dir + "/song.mid"));
}

}  // namespace
}  // namespace tw::test
