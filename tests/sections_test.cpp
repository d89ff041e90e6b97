// Sections, the track reset, macros and the compile driver.
#include <gtest/gtest.h>

#include "TestUtil.h"

namespace tw::test {
namespace {

TEST(Sections, TrackKeywordErrors) {
  const struct {
    const char* source;
    const char* error;
  } cases[] = {
      {"(T0)", "1:3: ｢ (T ｣ 値が不正です."},
      {"(T17)", "1:4: ｢ (T ｣ 値が不正です."},
      {"(T)", "1:2: ｢ (T ｣トラック番号が指定されていません."},
      {"(T1,d)", "1:4: ｢ (T ｣トラックのモード指定が不正です."},
      {"(T1 c)", "1:4: ｢ (T ｣ 句は ) で終わらなければなりません."},
      {"( T1)", "1:1: ｢ ( ｣ 不明な命令又は文法エラーです。"},
      {"(P0)", "1:3: ｢ (P ｣ 値が不正です."},
      {"(P1,)", "1:4: ｢ (P ｣ 値が不正です."},
      {"(SETTING", "1:8: ｢ (SETTING ｣ 句は ) で終わらなければなりません."},
      {"(MACRO)$A=c$A=d", "1:14: ｢ $A ｣既に定義済みのマクロです."},
      {"(T1) c $Q d", "1:9: ｢ $Q ｣マクロが定義されていません."},
      {"(SETTING) $A", "1:12: ｢ $A ｣ 現在の句では使用出来ないコマンドです."},
      {"12", "1:2: ｢ 12 ｣ 不明な命令又は文法エラーです。"},
      {"(T1) c X (T17)", "1:8: ｢ X ｣ 不明な命令又は文法エラーです。"},  // only the first error
      {"(T1) Ｃ", "1:6: ｢ Ｃ ｣ 不明な命令又は文法エラーです。"},          // no double-byte keywords
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.source), c.error) << c.source;
}

TEST(Sections, TracksResetTheirStateAndKeepTheSongWide) {
  int tempo = 0, velocity = 0, channel = -1;
  CompileMml("(t2) o5 l4 u10 (T2)", {}, [&](TMmlc& m) {
    tempo = m.FTempo;
    velocity = m.FVelocity;
    channel = m.FChannel;
    EXPECT_EQ(m.FOctave, 4);
    EXPECT_EQ(m.FDefaultLength, 24);
  });
  EXPECT_EQ(velocity, 63);
  EXPECT_EQ(channel, 1);
  // A track starts again at tick 0 on its channel; a second "(T" with the same number too.
  EXPECT_EQ(EventsOf("(T1) c (T2) d (T1) e"),
            (Events{"0: 90 3C 7F", "0: 91 3E 7F", "0: 90 40 7F", "24: 80 3C 00", "24: 81 3E 00", "24: 80 40 00"}));
}

TEST(Sections, FirstRhythmTrackSendsFullVolumeOnce) {
  EXPECT_EQ(EventsOf("(T10,D) r (T11,D) r (T12,T) c"),
            (Events{"0: B9 07 7F", "0: 9B 3C 7F", "24: 8B 3C 00"}));
  // Also on a muted part, at the track's start.
  EXPECT_EQ(EventsOf("(P1) (T10,D) c"), (Events{"0: B9 07 7F"}));
}

TEST(Sections, PartListMutesTheOtherTracks) {
  EXPECT_EQ(EventsOf("(T2) c (P1,3) (T1) c (T2) d (T3) e"),
            (Events{"0: 91 3C 7F", "0: 90 3C 7F", "0: 92 40 7F", "24: 81 3C 00", "24: 80 3C 00", "24: 82 40 00"}));
}

TEST(Sections, AdpcmToneAndPartListSections) {
  EXPECT_EQ(ErrorOf("(ADPCM)\n1 = drum.wav\n2 snare.wav ' note\n(T1) c"), "");
  EXPECT_EQ(ErrorOf("(ADPCM)\n1 = drum.wav\nc"), "3:1: ｢ C ｣ 現在の句では使用出来ないコマンドです.");
  EXPECT_EQ(ErrorOf("(P1)\nc"), "2:1: ｢ C ｣ 現在の句では使用出来ないコマンドです.");
  EXPECT_EQ(ErrorOf("(TONE)\nc"), "2:1: ｢ C ｣ 現在の句では使用出来ないコマンドです.");
}

TEST(Sections, MacrosAreDefinedOnceAndExpandedInTracks) {
  EXPECT_EQ(EventsOf("(MACRO) $A c d $b= e ' $ ( \n (T1) L4 $a r $B"),
            (Events{"0: 90 3C 7F", "48: 80 3C 00", "48: 90 3E 7F", "96: 80 3E 00", "144: 90 40 7F", "192: 80 40 00"}));
  // A body runs to the next "$" or "(": the call in a body ends the body.
  EXPECT_EQ(EventsOf("(MACRO) $A c $B d (T1) $A $B"),
            (Events{"0: 90 3C 7F", "24: 80 3C 00", "24: 90 3E 7F", "48: 80 3E 00"}));
  // A macro is defined only from its definition on.
  EXPECT_EQ(ErrorOf("(T1) $A d (MACRO) $A c"), "1:7: ｢ $A ｣マクロが定義されていません.");
}

TEST(Sections, ErrorInsideAMacroBodyIsReportedAtTheBody) {
  EXPECT_EQ(ErrorOf("(MACRO)\n$A c\n  x\n(T1) $A"), "3:3: ｢ X ｣ 不明な命令又は文法エラーです。");
}

TEST(Driver, EmptySourcesCompileToNoEvents) {
  for (const char* source : {"", "   ' only a comment", "(SETTING)", "(T1)"}) {
    const Compiled c = CompileMml(source);
    EXPECT_TRUE(c.ok) << source;
    EXPECT_TRUE(c.smf.empty()) << source;
  }
}

TEST(Driver, TrailingRestsLengthenTheSong) {
  const Compiled c = CompileMml("(T1) c r1");
  EXPECT_EQ(c.events.back(), "216: FF 2F 00");
}

}  // namespace
}  // namespace tw::test
