// Sweep commands: pattern definitions (ramps, jumps, bend units), intervals, applying the
// eight kinds, muting, the output time that a sweep moves on, and every error.
#include <gtest/gtest.h>

#include "TestUtil.h"

namespace tw::test {
namespace {

using Entries = std::vector<int32_t>;

Entries EntriesOf(const TIntListLibItem& pattern) {
  Entries entries;
  for (size_t i = 0; i < pattern.Count(); ++i) entries.push_back(pattern.Items(i));
  return entries;
}

// The entries of a pattern after compiling source; lib picks the library.
Entries PatternOf(const std::string& source, TIntListLib TMmlc::*lib, int n) {
  Entries entries;
  const Compiled c = CompileMml(source, {}, [&](TMmlc& m) { entries = EntriesOf(*(m.*lib).Items(n)); });
  EXPECT_TRUE(c.ok) << source << ": " << c.error;
  return entries;
}

TEST(Sweeps, DefinitionsMakeRampsAndJumps) {
  struct Case {
    std::string source;
    Entries entries;
  };
  const std::vector<Case> cases = {
      {"@VS1,-20,*4", {-5, -10, -15, -20}},
      {"@VS1,10,0,10,0,-30,*2", {20, 5, -10}},        // two jumps merge into one entry
      {"@VS1,-20,*4,30,0", {-5, -10, -15, -20, 10}},  // a jump after a ramp takes the next tick
      {"@VS1,10,0,-20,*4", {10, 5, 0, -5, -10}},
      {"@VS1,-3,*2", {-1, -3}},  // truncated toward zero
      {"@VS1,+6,*3,-6,*3", {2, 4, 6, 4, 2, 0}},
      {"@VS1,5,0,-5,0", {0}},
      // 118 / 14 * 7 is 59 in exact arithmetic but falls just below it with a 64-bit significand.
      {"@VS1,118,*14", {8, 16, 25, 33, 42, 50, 58, 67, 75, 84, 92, 101, 109, 118}},
      {"L32 @VS1,12,,-2,*1^*1", {2, 4, 6, 8, 10, 12, 11, 10}},  // the default length, a sum of lengths
      {"@VS1,1,*3 @VS1,7,0", {7}},                              // a redefinition replaces the pattern
      {"@VS1,2000000000,0,147483647,*1", {2000000000, INT32_MAX}},
  };
  for (const Case& c : cases) EXPECT_EQ(PatternOf("'{(T1)" + c.source, &TMmlc::FSweepVol, 1), c.entries) << c.source;

  // Each kind has its own library; patterns outlive their track.
  EXPECT_EQ(PatternOf("'{(T1) @MS2,4,*2 (T2) @VS2,1,0", &TMmlc::FSweepMod, 2), (Entries{2, 4}));
  EXPECT_EQ(PatternOf("'{(T1) @XS3,-4,*2", &TMmlc::FSweepExp, 3), (Entries{-2, -4}));
  EXPECT_EQ(PatternOf("'{(T1) @PS3,4,0", &TMmlc::FSweepPan, 3), (Entries{4}));
  EXPECT_EQ(PatternOf("'{(T1) @MVS3,4,0", &TMmlc::FSweepMVol, 3), (Entries{4}));
  EXPECT_EQ(PatternOf("'{(T1) @FS3,4,0", &TMmlc::FSweepBright, 3), (Entries{4}));
  EXPECT_EQ(PatternOf("'{(T1) @RS3,4,0", &TMmlc::FSweepReso, 3), (Entries{4}));
  EXPECT_EQ(PatternOf("'{(T1) @VS2000000000,4,0", &TMmlc::FSweepVol, 2000000000), (Entries{4}));
}

TEST(Sweeps, BendPatternsHoldUnitsOfTheChannelsRange) {
  struct Case {
    std::string source;
    Entries entries;
  };
  const std::vector<Case> cases = {
      {"'{(T1) @BS1,1,*4", {1024, 2048, 3072, 4096}},
      {"'{(T1) @BS1,-0.5,0", {-2048}},
      {"'{(T1) @BS1,0.01,0", {41}},  // 40.96
      {"'{(T1) @RANGE 12 @BS1,1,0", {683}},
      {"'{(T1) @RANGE 12 @BS1,1.5,0,-1.5,*2", {1024, 512, 0}},
      {"'{(T2) @RANGE 12 (T1) @BS1,1,0", {4096}},           // the range of the defining channel
      {"'{(T10,D) @RANGE 1 @BS1,1,0", {8192}},              // rhythm tracks use channel 9's range
      {"(SETTING)\nBENDRANGE=\n'{(T1) @BS1,1,0", {-8192}},  // an unset range is -1
  };
  for (const Case& c : cases) EXPECT_EQ(PatternOf(c.source, &TMmlc::FSweepBend, 1), c.entries) << c.source;
}

TEST(Sweeps, ApplyingSamplesThePatternAndRestoresTheBase) {
  ExpectTrackEvents({
      // Expression starts at 100: steps at 0 and 3 (interval 3), the base returns at 8.
      {"@XS1,-20,*4 @X1,*8 C", {"0: B0 0B 5F", "3: B0 0B 50", "8: B0 0B 64", "8: 90 3C 7F", "32: 80 3C 00"}},
      {"@XW1 @XS1,-20,*4 @X1,*8", {"0: B0 0B 5F", "1: B0 0B 5A", "2: B0 0B 55", "3: B0 0B 50", "8: B0 0B 64"}},
      {"@VW1 @XS1,-20,*4 @X1,*8", {"0: B0 0B 5F", "3: B0 0B 50", "8: B0 0B 64"}},  // each kind its own interval
      // Only the entries are visited, not every tick of the length.
      {"@XS1,1,0 @X1,*200000000", {"0: B0 0B 65", "200000000: B0 0B 64"}},
      // Interval 4: entries 0, 4, 8 and the last one.
      {"@XW4 @XS1,10,*10 @X1,*20", {"0: B0 0B 65", "4: B0 0B 69", "8: B0 0B 6D", "9: B0 0B 6E", "20: B0 0B 64"}},
      // Only entries 0..5 for a length of 5; the restore (priority 0) comes before the step at 5.
      {"@XW5 @XS1,10,*10 @X1,*5", {"0: B0 0B 65", "5: B0 0B 64", "5: B0 0B 6A"}},
      {"@XW1 @XS1,10,*10 @X1,*9",
       {"0: B0 0B 65", "1: B0 0B 66", "2: B0 0B 67", "3: B0 0B 68", "4: B0 0B 69", "5: B0 0B 6A", "6: B0 0B 6B",
        "7: B0 0B 6C", "8: B0 0B 6D", "9: B0 0B 64", "9: B0 0B 6E"}},
      // Unchanged values write nothing; a pattern shorter than the length holds its last value.
      {"@XW1 @XS1,2,*8 @X1,*12", {"3: B0 0B 65", "7: B0 0B 66", "12: B0 0B 64"}},
      {"@XS1,0,*6 @X1,*8", {}},
      {"@XS1,3,0,-3,*3 @X1,*8", {"0: B0 0B 67", "3: B0 0B 64"}},  // back on the base: no restore
      {"@XS1,50,0 @X1,*4", {"0: B0 0B 7F", "4: B0 0B 64"}},       // clamped to 127
      {"@XS1,-200,0 @X1,*4", {"0: B0 0B 00", "4: B0 0B 64"}},
      {"@XS1,2000000000,0 @X1,*4", {"0: B0 0B 7F", "4: B0 0B 64"}},
      {"@XS1,10,0 @X1,*0 C", {"0: B0 0B 64", "0: 90 3C 7F", "0: B0 0B 6E", "24: 80 3C 00"}},  // priorities 0, 1, 9
      {"@V5,4 C", {"48: 90 3C 7F", "72: 80 3C 00"}},  // undefined: nothing, but the time moves on
      {"@XS1,1,0 @X1,*4 @X1,*4", {"0: B0 0B 65", "4: B0 0B 64", "4: B0 0B 65", "8: B0 0B 64"}},
      {"@XS1,-20,*4 @X1,8", {"0: B0 0B 5F", "3: B0 0B 50", "24: B0 0B 64"}},  // a note length
  });
}

TEST(Sweeps, EachKindWritesItsEvent) {
  ExpectTrackEvents({
      {"@VS1,-1,0 @V1,*2", {"0: B0 07 7E", "2: B0 07 7F"}},
      {"V49 @VS1,1,0 @V1,*2", {"0: B0 07 63", "0: B0 07 64", "2: B0 07 63"}},
      {"@MS1,1,0 @M1,*2", {"0: B0 01 01", "2: B0 01 00"}},
      {"@XS1,1,0 @X1,*2", {"0: B0 0B 65", "2: B0 0B 64"}},
      {"@PS1,1,0 @P1,*2", {"0: B0 0A 41", "2: B0 0A 40"}},
      {"@FS1,1,0 @F1,*2", {"0: B0 4A 41", "2: B0 4A 40"}},
      {"@RS1,1,0 @R1,*2", {"0: B0 47 41", "2: B0 47 40"}},
      {"@FB 10 @FS1,1,0 @F1,*2", {"0: B0 4A 0A", "0: B0 4A 0B", "2: B0 4A 0A"}},
      // Master volume from 100: no restoring event.
      {"@MVS1,-20,*4 @MV1,*8", {"0: F0 07 7F 7F 04 01 00 5F F7", "3: F0 07 7F 7F 04 01 00 50 F7"}},
      {"@MVOL 20 @MVS1,1,0 @MV1,*2", {"0: F0 07 7F 7F 04 01 00 14 F7", "0: F0 07 7F 7F 04 01 00 15 F7"}},
      // Bend: 8192 + 1024 * i; the restore to "Y" 64 is 8192.
      {"@BW1 @BS1,1,*4 @B1,*4", {"0: E0 00 48", "1: E0 00 50", "2: E0 00 58", "3: E0 00 60", "4: E0 00 40"}},
      {"@BS1,0,0 @B1,*2", {"0: E0 00 40"}},     // 14-bit start: the first step is written even unchanged
      {"Y0 @BS1,0,0 @B1,*2", {"0: E0 00 00"}},  // ... unless both are 0
      {"@BS1,-0.01,0 @B1,*2", {"0: E0 00 3F", "2: E0 00 40"}},                  // 8151 / 128 = 63
      {"@BS1,0.01,0 @B1,*2", {"0: E0 00 40"}},                                  // 8233 / 128 = 64
      {"Y70 @BS1,-1,0 @B1,*2", {"0: E0 00 46", "0: E0 00 26", "2: E0 00 46"}},  // 4864 / 128 = 38
      {"@BS1,-3,0,6,0 @B1,*2", {"0: E0 00 7F", "2: E0 00 40"}},                 // clamped to 127
  });
  // Channels: the track's, and 9 on rhythm tracks.
  EXPECT_EQ(EventsOf("'{(T3) @XS1,1,0 @X1,*2"), (Events{"0: B2 0B 65", "2: B2 0B 64"}));
  EXPECT_EQ(EventsOf("'{(T3,D) @XS1,1,0 @X1,*2"), (Events{"0: B9 07 7F", "0: B9 0B 65", "2: B9 0B 64"}));
}

TEST(Sweeps, PatternsAndIntervalsLastForTheCompile) {
  EXPECT_EQ(EventsOf("'{(T1) @XW1 @XS1,-2,*2 (T2) @X1,*4"), (Events{"0: B1 0B 63", "1: B1 0B 62", "4: B1 0B 64"}));
}

TEST(Sweeps, MutedPartsWriteOnlyMasterVolume) {
  // No controller or bend events, but the output time still moves on by the length.
  EXPECT_EQ(EventsOf("'{(P2)(T1) @XS1,-20,*4 @X1,*8 @BS1,1,0 @B1,*2 @MVS1,10,0 @MV1,*4"),
            (Events{"10: F0 07 7F 7F 04 01 00 6E F7"}));
}

TEST(Sweeps, OutputTimeMovesOnWithoutTheTrackTime) {
  int64_t offset = 0;
  const Compiled c = CompileMml("'{(T1) @XS1,1,0 @X1,*8 @X1,*4", {}, [&](TMmlc& m) { offset = m.FRewindOffset; });
  EXPECT_EQ(offset, -12);
  EXPECT_EQ(c.events, (Events{"0: B0 0B 65", "8: B0 0B 64", "8: B0 0B 65", "12: B0 0B 64", "12: FF 2F 00"}));
  // Over a rewound passage a sweep of the same length returns the output to where it was.
  EXPECT_EQ(EventsOf("'{(T1) C4 @REW4 @XS1,-20,*4 @X1,4 D"),
            (Events{"0: 90 3C 7F", "0: B0 0B 5F", "3: B0 0B 50", "48: 80 3C 00", "48: B0 0B 64", "48: 90 3E 7F",
                    "72: 80 3E 00"}));
}

TEST(Sweeps, Errors) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"'{ @VS1,1,1", "1:6: ｢ @VS ｣ 現在の句では使用出来ないコマンドです."},
      {"'{(SETTING)\n@VW1", "2:3: ｢ @VW ｣ 現在の句では使用出来ないコマンドです."},
      {"'{(T1)\n@VS", "2:3: ｢ @VS ｣ パターン番号に誤りがあります."},
      {"'{(T1)\n@VS1", "2:4: ｢ @VS ｣ パターンを指定して下さい."},
      {"'{(T1)\n@VS1,", "2:5: ｢ @VS ｣ 値が不正です."},
      {"'{(T1)\n@VS1,-", "2:6: ｢ @VS ｣ 値が不正です."},
      {"'{(T1)\n@VS1,5", "2:6: ｢ @VS ｣ 音長を指定して下さい."},
      {"'{(T1)\n@VS1,5,4,", "2:9: ｢ @VS ｣ 値が不正です."},
      {"'{(T1)\n@VS1,5,4,2", "2:10: ｢ @VS ｣ 音長を指定して下さい."},
      {"'{(T1)\n@BS1,.,1", "2:6: ｢ @BS ｣ 値が不正です."},
      {"'{(T1)\n@BS1,1.2.3,1", "2:10: ｢ @BS ｣ 値が不正です."},
      {"'{(T1)\n@BS1,1", "2:6: ｢ @BS ｣ 音長を指定して下さい."},
      {"'{(T1)\n@VW0", "2:4: ｢ @VW ｣ 値が不正です."},
      {"'{(T1)\n@MVW", "2:4: ｢ @MVW ｣ 値が不正です."},
      {"'{(T1)\n@V", "2:2: ｢ @V ｣ パターン番号に誤りがあります."},
      {"'{(T1)\n@V1", "2:3: ｢ @V ｣ 音長を指定して下さい."},
      {"'{(T1)\n@MV1 4", "2:5: ｢ @MV ｣ 音長を指定して下さい."},
      // A bend range of 0 leaves no unit per semitone.
      {"'{(T1) @RANGE 0\n@BS1,1,0", "2:6: ｢ @BS ｣ 値が不正です."},
      // Entries are 32-bit.
      {"'{(T1)\n@VS1,2000000000,0,2000000000,0", "2:30: ｢ @VS ｣ 値が不正です."},
      {"'{(T1)\n@BS1,600000,0", "2:11: ｢ @BS ｣ 値が不正です."},
      // The entries held by all patterns are bounded like the events.
      {"'{(T1)\n@VS1,1,*2000000000", "2:18: ｢ @VS ｣ イベント数が上限を超えました."},
  };
  for (const auto& [source, error] : cases) EXPECT_EQ(ErrorOf(source), error) << source;
  // Without "'{" the word is "@" (program change) followed by "V".
  EXPECT_EQ(ErrorOf("(T1) @VS1"), "1:6: ｢ @ ｣ 値が不正です.");
}

TEST(Sweeps, EntryBoundCountsEveryPatternAndFreesReplacedOnes) {
  // 5,000,000 entries twice under one number is fine; under two numbers it exceeds the bound.
  EXPECT_EQ(ErrorOf("'{(T1) @VS1,1,*5000000 @VS1,1,*5000000"), "");
  EXPECT_EQ(ErrorOf("'{(T1) @VS1,1,*5000000\n@MS2,1,*4000000"), "2:15: ｢ @MS ｣ イベント数が上限を超えました.");
  // Step lists and random sets count too.
  EXPECT_EQ(ErrorOf("'{(T1) @VS1,1,*7999992 @RNDS1,0,0,0,1,1,0,0 @RNDL2,*1 @RNDL2,*1"), "");
  EXPECT_EQ(ErrorOf("'{(T1) @VS1,1,*7999992 @RNDS1,0,0,0,1,1,0,0 @RNDL2,*1\n@RNDL2,*1,*1"),
            "2:12: ｢ @RNDL ｣ イベント数が上限を超えました.");
}

}  // namespace
}  // namespace tw::test
