// Software loops ("[", "/", "]") and the cue marks "【" "】".
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Cp932.h"
#include "FileIO.h"
#include "TestUtil.h"

namespace tw::test {
namespace {

// The events of default-length notes (octave 4, velocity 127) played one after the other, one
// letter per note: "cdc" gives C at 0, D at 24, C at 48.
Events Played(std::string_view letters) {
  auto event = [](int tick, const char* status, int key, const char* velocity) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d: %s %02X %s", tick, status, key, velocity);
    return std::string(buf);
  };
  Events out;
  int tick = 0, previous = -1;
  for (char letter : letters) {
    const int key = letter == 'c' ? 0x3C : letter == 'd' ? 0x3E : letter == 'e' ? 0x40 : 0x41;
    // At one tick a note-off (priority 0) stands before the next note-on (priority 1).
    if (previous >= 0) out.push_back(event(tick, "80", previous, "00"));
    out.push_back(event(tick, "90", key, "7F"));
    previous = key;
    tick += 24;
  }
  if (previous >= 0) out.push_back(event(tick, "80", previous, "00"));
  return out;
}

TEST(Loops, Played) {
  EXPECT_EQ(Played("cd"), (Events{"0: 90 3C 7F", "24: 80 3C 00", "24: 90 3E 7F", "48: 80 3E 00"}));
}

TEST(Loops, PassesAndCounts) {
  struct Case {
    const char* source;
    const char* played;
  };
  const Case cases[] = {
      {"[c]", "cc"},
      {"[c]0", "cc"},
      {"[c]1", "cc"},
      {"[c]2", "cc"},
      {"[c]3", "ccc"},
      {"[c]003", "ccc"},
      {"[c]2147483648", "cc"},          // beyond 32 bits
      {"[c]99999999999999999999", "cc"},
      {"[c/d]", "cdc"},
      {"[c/d]3", "cdcdc"},
      {"[/c]3", "cc"},
      {"[c/d/e]3", "cdecdec"},          // the first "/" of the last pass leaves
      {"[[c]2 d]3", "ccdccdccd"},
      {"[c[d/e]f]", "cdedfcdedf"},      // "/" belongs to the innermost loop
      {"[c[d]/e]", "cddecdd"},          // after the inner loop, "/" is the outer loop's
      {"[ c ]3 d", "cccd"},
      {"[c", "c"},                      // an open loop is not reported
      {"[c]3[d]", "cccdd"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EventsOf(std::string("(T1) ") + c.source), Played(c.played)) << c.source;
  }
}

TEST(Loops, StateCarriesFromPassToPass) {
  // "<" raises the octave; each pass starts where the last one ended.
  EXPECT_EQ(EventsOf("(T1) [c<]3"), (Events{"0: 90 3C 7F", "24: 80 3C 00", "24: 90 48 7F", "48: 80 48 00",
                                             "48: 90 54 7F", "72: 80 54 00"}));
}

TEST(Loops, OpenLoopStaysOpenIntoTheNextTrack) {
  EXPECT_EQ(EventsOf("(T1) [c\n(T2) d"), (Events{"0: 90 3C 7F", "0: 91 3E 7F", "24: 80 3C 00", "24: 81 3E 00"}));
}

TEST(Loops, Macros) {
  // A loop inside one macro body, also when the macro is called twice.
  EXPECT_EQ(EventsOf("(MACRO) $A=[c/d]3\n(T1) $A e"), Played("cdcdce"));
  EXPECT_EQ(EventsOf("(MACRO) $A=[c]\n(T1) $A d $A"), Played("ccdcc"));
  // A loop that calls a macro repeats its text on every pass.
  EXPECT_EQ(EventsOf("(MACRO) $A=c d\n(T1) [$A e]"), Played("cdecde"));
  // A loop calling a macro that holds a loop of its own.
  EXPECT_EQ(EventsOf("(MACRO) $A=[c]3\n(T1) [$A d]"), Played("cccdcccd"));
}

TEST(Loops, Errors) {
  struct Case {
    const char* source;
    const char* error;
  };
  const Case cases[] = {
      {"(T1) c]", "1:7: ｢ ] ｣ ループの指定に誤りがあります."},
      {"(T1) c]12", "1:7: ｢ ] ｣ ループの指定に誤りがあります."},  // points at the count digits
      {"(T1) /", "1:6: ｢ / ｣ ループの指定に誤りがあります."},
      {"(T1) [c]/", "1:9: ｢ / ｣ ループの指定に誤りがあります."},
      {"(T1) [c] 3", "1:10: ｢ 3 ｣ 不明な命令又は文法エラーです。"},  // a blank ends the count
      {"[", "1:1: ｢ [ ｣ 現在の句では使用出来ないコマンドです."},
      {"(SETTING) [", "1:11: ｢ [ ｣ 現在の句では使用出来ないコマンドです."},
      {"(SETTING) /", "1:11: ｢ / ｣ 現在の句では使用出来ないコマンドです."},
      {"(SETTING) ]", "1:11: ｢ ] ｣ 現在の句では使用出来ないコマンドです."},
      {"(SETTING) 【", "1:11: ｢ 【 ｣ 現在の句では使用出来ないコマンドです."},
      {"(SETTING) 】", "1:11: ｢ 】 ｣ 現在の句では使用出来ないコマンドです."},
      // A loop that crosses the edge of a macro body, either way.
      {"(MACRO) $A=[c\n(T1) $A d]", "2:10: ｢ ] ｣ ループの指定に誤りがあります."},
      {"(MACRO) $A=c]\n(T1) [d $A", "1:13: ｢ ] ｣ ループの指定に誤りがあります."},
      {"(MACRO) $A=c/\n(T1) [d $A]", "1:13: ｢ / ｣ ループの指定に誤りがあります."},
      // "[" and "]" in bodies of two different calls of the same macro.
      {"(MACRO) $A=[c\n$B=d]\n(T1) $A $B", "2:5: ｢ ] ｣ ループの指定に誤りがあります."},
      {"(MACRO) $A=]c[\n(T1) [d $A]", "1:12: ｢ ] ｣ ループの指定に誤りがあります."},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.source), c.error) << c.source;
}

TEST(Loops, CueMarks) {
  const std::string start = "FF 07 05 53 54 41 52 54", stop = "FF 07 04 53 54 4F 50";
  EXPECT_EQ(EventsOf("(T1) 【c】】【"), (Events{"0: " + start, "0: 90 3C 7F", "24: 80 3C 00", "24: " + stop,
                                                 "24: " + stop, "24: " + start}));
  // Once per pass, and on a muted part too.
  EXPECT_EQ(EventsOf("(P2) (T1) [r【]"), (Events{"24: " + start, "48: " + start}));
}

// A runaway expansion ends at the command that crossed a limit and writes nothing.
void ExpectRunawayStops(const std::string& utf8Source, const std::string& error) {
  const std::string dir = TempDir();
  const std::string path = dir + "/song.mml";
  WriteFile(path, Utf8ToCp932(utf8Source));
  TMmlc mmlc;
  mmlc.SetLimits(20'000, 50'000);  // the same mechanism as the real bounds, reached sooner
  EXPECT_FALSE(mmlc.Compile(path)) << utf8Source;
  EXPECT_EQ(std::to_string(mmlc.FErrorLine) + ":" + std::to_string(mmlc.FErrorColumn) + ": " +
                Cp932ToUtf8(mmlc.FErrorText),
            error);
  EXPECT_FALSE(FileExists(dir + "/song.mid"));
}

// Zero-length notes: two events each and no time, so the event cap stops them.
TEST(Loops, RunawayStopsAtEventCap) {
  ExpectRunawayStops("(T1) [[[[c0]255]255]255]255", "1:11: ｢ C ｣ イベント数が上限を超えました.");
}

TEST(Loops, RunawayStopsAtWorkBudget) {
  // Zero-length rests write nothing: the work budget stops the loop (command 50001 of "(T1)",
  // "[", then "R" and "]" in turn is an "R").
  ExpectRunawayStops("(T1) [r0]2147483647", "1:8: ｢ R ｣ 処理量が上限を超えました.");
}

}  // namespace
}  // namespace tw::test
