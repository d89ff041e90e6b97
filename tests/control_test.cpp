// Controller and system commands: control changes, bend range, program map, bank select,
// velocity-fix tables, meta events, system exclusive messages and resets.
#include <gtest/gtest.h>

#include "TestUtil.h"

namespace tw::test {
namespace {

TEST(Control, EachCommandWritesItsEvent) {
  ExpectTrackEvents({
      {"@EXP 90", {"0: B0 0B 5A"}},
      {"@HOLD 127", {"0: B0 40 7F"}},
      {"@FB 10", {"0: B0 4A 0A"}},
      {"@FR 0", {"0: B0 47 00"}},
      {"@MONO", {"0: B0 7E 01"}},
      {"@POLY", {"0: B0 7F 00"}},
      {"@ALLS", {"0: B0 78 00"}},
      {"@ALLN", {"0: B0 7B 00"}},
      {"@RESET", {"0: B0 79 00"}},
      {"@CC 7,100", {"0: B0 07 64"}},
      {"@cc 0 , 127", {"0: B0 00 7F"}},  // folded keyword, blanks around the comma
      {"@RANGE 12", {"0: B0 65 00", "0: B0 64 00", "0: B0 06 0C", "0: B0 26 00"}},
      {"@BANK 5", {"0: B0 00 05"}},
      {"@BANK 5,3", {"0: B0 00 05", "0: B0 20 03"}},
      {"@XFQUE 5", {"0: FF 7F 04 43 7B 02 05"}},
      {"@ALCH 1", {"0: FF 7F 06 43 02 01 01 00 01"}},
      {"@HVCH 16", {"0: FF 7F 06 43 02 01 02 0F 01"}},
      {"@MVOL 90", {"0: F0 07 7F 7F 04 01 00 5A F7"}},
      {"@SPCM 3", {"0: F0 07 43 79 06 7F 07 03 F7"}},
      {"@SPP 1,2,127", {"0: F0 09 43 79 06 7F 08 01 02 7F F7"}},
      {"@SPAN 1,2,3", {"0: F0 09 43 79 06 7F 0B 01 02 03 F7"}},
      {"@EX $43,16", {"0: F0 03 43 10 F7"}},
      {"@EX $7f , 0,$00", {"0: F0 04 7F 00 00 F7"}},
      {"@GMRESET", {"0: F0 05 7E 7F 09 01 F7"}},
      {"@GSRESET", {"0: F0 0A 41 10 42 12 40 00 7F 00 41 F7"}},
      {"@XGRESET", {"0: F0 08 43 10 4C 00 00 7E 00 F7"}},
      {"@UFIX 0,5,1 @UMODE 1 @PRG 1,10", {}},  // tables only
  });
}

TEST(Control, EventsGoToTheOutputTimeAndChannelInOrder) {
  EXPECT_EQ(EventsOf("'{(T3) C @EXP 90 @MVOL 1 @CC 1,2"),
            (Events{"0: 92 3C 7F", "24: 82 3C 00", "24: B2 0B 5A", "24: F0 07 7F 7F 04 01 00 01 F7", "24: B2 01 02"}));
  // Rhythm tracks send on channel 9 whatever their number; the range is kept for channel 9.
  int range2 = 0, range9 = 0;
  const Compiled c = CompileMml("'{(T3,D) @EXP 5 @RANGE 4", {}, [&](TMmlc& m) {
    range2 = m.FBendRange[2];
    range9 = m.FBendRange[9];
  });
  EXPECT_EQ(c.events, (Events{"0: B9 07 7F", "0: B9 0B 05", "0: B9 65 00", "0: B9 64 00", "0: B9 06 04",
                              "0: B9 26 00", "0: FF 2F 00"}));
  EXPECT_EQ(range2, 2);
  EXPECT_EQ(range9, 4);
}

TEST(Control, HardwareLoopMarksAreBendRanges22And23) {
  EXPECT_EQ(EventsOf("'{(T2) @RANGE 22 C @RANGE 23"),
            (Events{"0: B1 65 00", "0: B1 64 00", "0: B1 06 16", "0: B1 26 00", "0: 91 3C 7F", "24: 81 3C 00",
                    "24: B1 65 00", "24: B1 64 00", "24: B1 06 17", "24: B1 26 00"}));
}

TEST(Control, MutedPartWritesNoControlChangesButKeepsState) {
  int expression = 0, brightness = 0, resonance = 0, masterVolume = 0, range = 0;
  const Compiled c = CompileMml(
      "'{(P2)(T1) @EXP 90 @FB 1 @FR 2 @HOLD 1 @MONO @POLY @ALLS @ALLN @RESET @CC 1,2 @BANK 5,3 @RANGE 12\n"
      "@MVOL 90 @SPCM 1 @SPP 1,2,3 @SPAN 1,2,3 @EX 1 @XFQUE 1 @ALCH 1 @HVCH 1 C",
      {}, [&](TMmlc& m) {
        expression = m.FExpression;
        brightness = m.FBrightness;
        resonance = m.FResonance;
        masterVolume = m.FMasterVolume;
        range = m.FBendRange[0];
      });
  EXPECT_EQ(c.events, (Events{"0: F0 07 7F 7F 04 01 00 5A F7", "0: F0 07 43 79 06 7F 07 01 F7",
                              "0: F0 09 43 79 06 7F 08 01 02 03 F7", "0: F0 09 43 79 06 7F 0B 01 02 03 F7",
                              "0: F0 02 01 F7", "0: FF 7F 04 43 7B 02 01", "0: FF 7F 06 43 02 01 01 00 01",
                              "0: FF 7F 06 43 02 01 02 00 01", "24: FF 2F 00"}));
  EXPECT_EQ(expression, 90);
  EXPECT_EQ(brightness, 1);
  EXPECT_EQ(resonance, 2);
  EXPECT_EQ(masterVolume, 90);
  EXPECT_EQ(range, 2);  // "@RANGE" on a muted part changes nothing at all
  // The mute follows the track number, not the output channel of a rhythm track.
  EXPECT_EQ(EventsOf("'{(P10)(T3,D) @EXP 5"), (Events{"0: B9 07 7F"}));
  EXPECT_EQ(EventsOf("'{(P3)(T3,D) @EXP 5"), (Events{"0: B9 07 7F", "0: B9 0B 05"}));
}

TEST(Control, BankSelectIsDroppedWhenBanksAreInserted) {
  const auto insert = [](TMmlc& m) { m.FOptBankInsert = true; };
  EXPECT_EQ(EventsOf("'{(T1) @BANK 5 @BANK 5,3 C", insert), (Events{"0: 90 3C 7F", "24: 80 3C 00"}));
  EXPECT_EQ(ErrorOf("'{(T1) @BANK 5,128", insert), "1:18: ｢ @BANK ｣ 値が不正です.");
  EXPECT_EQ(ErrorOf("'{(T1) @BANK 128", insert), "1:16: ｢ @BANK ｣ 値が不正です.");
}

TEST(Control, ProgramMap) {
  int mapped1 = -1, mapped128 = -1, mapped2 = -1;
  const Compiled c = CompileMml("'{(T1) @PRG 1,10 @PRG 128,1 (T2)", {}, [&](TMmlc& m) {
    mapped1 = m.FProgramMap[1];
    mapped2 = m.FProgramMap[2];
    mapped128 = m.FProgramMap[128];
  });
  EXPECT_TRUE(c.ok) << c.error;
  EXPECT_EQ(mapped1, 9);
  EXPECT_EQ(mapped2, 1);
  EXPECT_EQ(mapped128, 0);
  // "@" sends the mapped program, and the velocity table is indexed by the program as sent.
  EXPECT_EQ(EventsOf("'{(T1) @PRG 1,10 @1 @2 (T2) @1"), (Events{"0: C0 09", "0: C0 01", "0: C1 09"}));
  EXPECT_EQ(EventsOf("'{(T1) @PRG 1,10 @UFIX 0,9,1 @1 C @UFIX 0,0,2 C"),
            (Events{"0: C0 09", "0: 90 3C 1F", "24: 80 3C 00", "24: 90 3C 1F", "48: 80 3C 00"}));
  // With inserted banks only the bank of "@" is written.
  EXPECT_EQ(EventsOf("'{(T1) @BANK 5,3 @1", [](TMmlc& m) { m.FOptBankInsert = true; }),
            (Events{"0: B0 00 7C", "0: B0 20 01", "0: C0 00"}));
}

TEST(Control, VelocityFixTablesChangeNoteVelocities) {
  ExpectTrackEvents({
      {"@UFIX 0,0,1 C", {"0: 90 3C 1F", "24: 80 3C 00"}},  // program 0: half the velocity
      {"@UFIX 0,0,2 C", {"0: 90 3C 3F", "24: 80 3C 00"}},  // unscaled
      {"@UFIX 0,0,2 @UFIX 0,0,0 C", {"0: 90 3C 7F", "24: 80 3C 00"}},
      {"@UFIX 0,5,1 C", {"0: 90 3C 7F", "24: 80 3C 00"}},  // another program
      {"@UFIX 1,60,2 C", {"0: 90 3C 7F", "24: 80 3C 00"}},  // the key table is not in use
      {"@UMODE 1 @UFIX 1,60,2 C D",
       {"0: 90 3C 3F", "24: 80 3C 00", "24: 90 3E 7F", "48: 80 3E 00"}},
      {"@UFIX 0,0,1 @UMODE 1 C @UMODE 0 C", {"0: 90 3C 7F", "24: 80 3C 00", "24: 90 3C 1F", "48: 80 3C 00"}},
      // Tables other than 0 and 1 are accepted and change nothing.
      {"@UFIX 2,0,1 C @UMODE 1 @UFIX 127,60,1 C",
       {"0: 90 3C 7F", "24: 80 3C 00", "24: 90 3C 7F", "48: 80 3C 00"}},
      // The tables hold for later tracks; "@UMODE" only up to the next track.
      {"@UFIX 1,60,1 @UMODE 1 C (T2) C @UFIX 0,0,2 (T3) C",
       {"0: 90 3C 1F", "0: 91 3C 7F", "0: 92 3C 3F", "24: 80 3C 00", "24: 81 3C 00", "24: 82 3C 00"}},
  });
  // Rhythm tracks look up the key table (key 60 + 14).
  EXPECT_EQ(EventsOf("'{(T10,D) @UFIX 1,74,1 C"), (Events{"0: B9 07 7F", "0: 99 4A 1F", "24: 89 4A 00"}));
  // Without the option the tables are still set but the notes ignore them.
  const auto off = [](TMmlc& m) { m.FOptVeloFixCmd = false; };
  EXPECT_EQ(EventsOf("'{(T1) @UFIX 0,0,1 C", off), (Events{"0: 90 3C 7F", "24: 80 3C 00"}));
  int byProgram = -1, byNote = -1;
  CompileMml("'{(T1) @UFIX 0,7,2 @UFIX 1,127,1 @UFIX 2,7,1", off, [&](TMmlc& m) {
    byProgram = m.FVeloFixByProgram[7];
    byNote = m.FVeloFixByNote[127];
  });
  EXPECT_EQ(byProgram, 2);
  EXPECT_EQ(byNote, 1);
}

TEST(Control, ResetsDelayTheTrackAndEveryLaterTrack) {
  EXPECT_EQ(EventsOf("'{(T1) @GMRESET C (T2) C"),
            (Events{"0: F0 05 7E 7F 09 01 F7", "48: 90 3C 7F", "48: 91 3C 7F", "72: 80 3C 00", "72: 81 3C 00"}));
  // Several resets add up; the next track starts from the moved start, not from the reset time.
  EXPECT_EQ(EventsOf("'{(T1) C4 @GSRESET @XGRESET D (T2) E"),
            (Events{"0: 90 3C 7F", "48: 80 3C 00", "48: F0 0A 41 10 42 12 40 00 7F 00 41 F7",
                    "96: F0 08 43 10 4C 00 00 7E 00 F7", "96: 91 40 7F", "120: 81 40 00", "144: 90 3E 7F", "168: 80 3E 00"}));
  // A muted part still writes the reset and moves on.
  EXPECT_EQ(EventsOf("'{(P2)(T1) @GMRESET C (T2) C"),
            (Events{"0: F0 05 7E 7F 09 01 F7", "48: 91 3C 7F", "72: 81 3C 00"}));
}

std::string ExList(int count) {
  std::string s = "'{(T1) @EX 1";
  for (int i = 1; i < count; ++i) s += ",$7F";
  return s;
}

TEST(Control, ExclusiveDataLimit) {
  const Compiled ok = CompileMml(ExList(253));
  ASSERT_TRUE(ok.ok) << ok.error;
  ASSERT_EQ(ok.events.size(), 2u);
  std::string expected = "0: F0 81 7E 01";
  for (int i = 1; i < 253; ++i) expected += " 7F";
  EXPECT_EQ(ok.events[0], expected + " F7");

  const std::string over = ExList(254);
  EXPECT_EQ(ErrorOf(over), "1:" + std::to_string(over.size()) + ": ｢ @EX ｣ データ数が許容量を超えました.");
  // The whole list is read and checked before its length counts.
  const std::string long1 = ExList(100000);
  EXPECT_EQ(ErrorOf(long1), "1:" + std::to_string(long1.size()) + ": ｢ @EX ｣ データ数が許容量を超えました.");
  const std::string bad = ExList(300) + ",128,1";
  EXPECT_EQ(ErrorOf(bad), "1:" + std::to_string(bad.size() - 2) + ": ｢ @EX ｣ 値が不正です.");
}

TEST(Control, ArgumentErrors) {
  const struct {
    const char* source;  // after "'{(T1)"
    const char* error;
  } cases[] = {
      {"@EXP", "1:10: ｢ @EXP ｣ 値が不正です."},
      {"@EXP 128", "1:14: ｢ @EXP ｣ 値が不正です."},
      {"@EXP -1", "1:11: ｢ @EXP ｣ 値が不正です."},
      {"@EXP 99999999999", "1:11: ｢ @EXP ｣ 値が不正です."},
      {"@HOLD 128", "1:15: ｢ @HOLD ｣ 値が不正です."},
      {"@FB 128", "1:13: ｢ @FB ｣ 値が不正です."},
      {"@FR 128", "1:13: ｢ @FR ｣ 値が不正です."},
      {"@RANGE 128", "1:16: ｢ @RANGE ｣ 値が不正です."},
      {"@CC 7", "1:11: ｢ @CC ｣ 引数の指定数が足りません."},
      {"@CC 128,1", "1:13: ｢ @CC ｣ 値が不正です."},
      {"@CC 1,128", "1:15: ｢ @CC ｣ 値が不正です."},
      {"@CC 1,", "1:12: ｢ @CC ｣ 値が不正です."},
      {"@PRG 1", "1:12: ｢ @PRG ｣ 引数の指定数が足りません."},
      {"@PRG 0,5", "1:12: ｢ @PRG ｣ 値が不正です."},
      {"@PRG 129,5", "1:14: ｢ @PRG ｣ 値が不正です."},
      {"@PRG 1,0", "1:14: ｢ @PRG ｣ 値が不正です."},
      {"@PRG 1,129", "1:16: ｢ @PRG ｣ 値が不正です."},
      {"@BANK", "1:11: ｢ @BANK ｣ 値が不正です."},
      {"@BANK 5,", "1:14: ｢ @BANK ｣ 値が不正です."},
      {"@BANK 5,128", "1:17: ｢ @BANK ｣ 値が不正です."},
      {"@UFIX 0,5,3", "1:17: ｢ @UFIX ｣ 値が不正です."},
      {"@UFIX 128,5,3", "1:15: ｢ @UFIX ｣ 値が不正です."},  // the first fault ends the command
      {"@UFIX 0,128,1", "1:17: ｢ @UFIX ｣ 値が不正です."},
      {"@UFIX 0,5", "1:15: ｢ @UFIX ｣ 引数の指定数が足りません."},
      {"@UFIX 0 5,1", "1:14: ｢ @UFIX ｣ 引数の指定数が足りません."},
      {"@UMODE 2", "1:14: ｢ @UMODE ｣ 値が不正です."},
      {"@XFQUE 128", "1:16: ｢ @XFQUE ｣ 値が不正です."},
      {"@ALCH 0", "1:13: ｢ @ALCH ｣ 値が不正です."},
      {"@ALCH 17", "1:14: ｢ @ALCH ｣ 値が不正です."},
      {"@HVCH 0", "1:13: ｢ @HVCH ｣ 値が不正です."},
      {"@HVCH 17", "1:14: ｢ @HVCH ｣ 値が不正です."},
      {"@MVOL", "1:11: ｢ @MVOL ｣ 値が不正です."},
      {"@SPCM 128", "1:15: ｢ @SPCM ｣ 値が不正です."},
      {"@SPP 1,2", "1:14: ｢ @SPP ｣ 引数の指定数が足りません."},
      {"@SPP 1,2,128", "1:18: ｢ @SPP ｣ 値が不正です."},
      {"@SPAN 1", "1:13: ｢ @SPAN ｣ 引数の指定数が足りません."},
      {"@SPAN 1,128,1", "1:17: ｢ @SPAN ｣ 値が不正です."},
      {"@EX", "1:9: ｢ @EX ｣ 値が不正です."},
      {"@EX $F0", "1:13: ｢ @EX ｣ 値が不正です."},
      {"@EX 128", "1:13: ｢ @EX ｣ 値が不正です."},
      {"@EX 1,", "1:12: ｢ @EX ｣ 値が不正です."},
      {"@EX $", "1:11: ｢ @EX ｣ 値が不正です."},
      {"\n\n  @PRG 5", "3:8: ｢ @PRG ｣ 引数の指定数が足りません."},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(std::string("'{(T1)") + c.source), c.error) << c.source;
}

TEST(Control, OnlyInATrackSection) {
  for (const char* keyword :
       {"@PRG", "@BANK", "@EXP", "@HOLD", "@RANGE", "@MONO", "@POLY", "@FB", "@FR", "@XFQUE", "@ALCH", "@HVCH",
        "@MVOL", "@SPAN", "@SPCM", "@UFIX", "@UMODE", "@ALLS", "@ALLN", "@RESET", "@SPP", "@CC", "@EX",
        "@GMRESET", "@GSRESET", "@XGRESET"}) {
    const std::string k = keyword;
    // Nothing is read before the place is checked: the position stays after the keyword.
    EXPECT_EQ(ErrorOf("'{(SETTING)" + k + " 1,2,3"),
              "1:" + std::to_string(11 + k.size()) + ": ｢ " + k + " ｣ 現在の句では使用出来ないコマンドです.");
    EXPECT_EQ(ErrorOf("'{" + k), "1:" + std::to_string(2 + k.size()) + ": ｢ " + k + " ｣ 現在の句では使用出来ないコマンドです.");
  }
}

}  // namespace
}  // namespace tw::test
