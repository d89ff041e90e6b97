// Rewind offset, markers and the sound-off region.
#include <gtest/gtest.h>

#include "TestUtil.h"

namespace tw::test {
namespace {

TEST(Rewind, LengthsAndOffsets) {
  ExpectTrackEvents({
      // Without a length the default length: 24, then 12 after L16.
      {"C4 @REW D", {"0: 90 3C 7F", "24: 90 3E 7F", "48: 80 3C 00", "48: 80 3E 00"}},
      {"L16 C2 @REW D", {"0: 90 3C 7F", "84: 90 3E 7F", "96: 80 3C 00", "96: 80 3E 00"}},
      {"C1 @REW 4. D", {"0: 90 3C 7F", "120: 90 3E 7F", "144: 80 3E 00", "192: 80 3C 00"}},
      {"C1 @REW *100 D", {"0: 90 3C 7F", "92: 90 3E 7F", "116: 80 3E 00", "192: 80 3C 00"}},
      {"C1 @REW 2^8 D", {"0: 90 3C 7F", "72: 90 3E 7F", "96: 80 3E 00", "192: 80 3C 00"}},
      {"C1 @REW 4..^*3 D", {"0: 90 3C 7F", "105: 90 3E 7F", "129: 80 3E 00", "192: 80 3C 00"}},
      // Rewind a whole note, wait a quarter, end the rewind.
      {"C1 @REW 1 D4 @W 4 E4 @REWE F4",
       {"0: 90 3C 7F", "0: 90 3E 7F", "48: 80 3E 00", "96: 90 40 7F", "144: 80 40 00", "192: 80 3C 00",
        "288: 90 41 7F", "336: 80 41 00"}},
      // The output time stops at 0 while the track time keeps counting from 30.
      {"C*30 @REW 4 D*10 E*10 F",
       {"0: 90 3C 7F", "0: 90 3E 7F", "0: 90 40 7F", "2: 90 41 7F", "10: 80 3E 00", "10: 80 40 00",
        "26: 80 41 00", "30: 80 3C 00"}},
      {"C4 @REW 8 @W 8 D", {"0: 90 3C 7F", "48: 80 3C 00", "48: 90 3E 7F", "72: 80 3E 00"}},
      {"C @REWE D", {"0: 90 3C 7F", "24: 80 3C 00", "24: 90 3E 7F", "48: 80 3E 00"}},
      // A rewind left open shifts the next track too.
      {"C4 @REW 8 (T2) C4 D",
       {"0: 90 3C 7F", "0: 91 3C 7F", "24: 91 3E 7F", "48: 80 3C 00", "48: 81 3C 00", "48: 81 3E 00"}},
  });
}

TEST(Rewind, Markers) {
  ExpectTrackEvents({
      {"C @PSTART @PSTOP @PSTOP D4 @REW 8 @PSTART",
       {"0: 90 3C 7F", "24: 80 3C 00", "24: FF 06 03 51 30 30", "24: FF 06 03 51 30 46", "24: FF 06 03 51 30 46",
        "24: 90 3E 7F", "48: FF 06 03 51 30 30", "72: 80 3E 00"}},
  });
}

TEST(Rewind, SoundOffRegion) {
  ExpectTrackEvents({
      {"@RCSTART C D", {"0: 90 3C 7F", "24: 80 3C 00", "24: B0 78 00", "24: 90 3E 7F", "48: 80 3E 00"}},
      // A rest does not end the note that the next one silences.
      {"@RCSTART C R D", {"0: 90 3C 7F", "24: 80 3C 00", "48: B0 78 00", "48: 90 3E 7F", "72: 80 3E 00"}},
      {"@RCSTART C @RCEND D", {"0: 90 3C 7F", "24: 80 3C 00", "24: 90 3E 7F", "48: 80 3E 00"}},
      // A track start closes the region.
      {"@RCSTART C (T2) C D", {"0: 90 3C 7F", "0: 91 3C 7F", "24: 80 3C 00", "24: 81 3C 00", "24: 91 3E 7F",
                               "48: 81 3E 00"}},
      // The all-sound-off goes to the note's output time.
      {"C4 @RCSTART D @REW 8 E", {"0: 90 3C 7F", "48: 80 3C 00", "48: B0 78 00", "48: 90 3E 7F", "48: 90 40 7F",
                                  "72: 80 3E 00", "72: 80 40 00"}},
  });
  EXPECT_EQ(EventsOf("'{(T1,D) @RCSTART C D"), (Events{"0: B9 07 7F", "0: 99 4A 7F", "24: 89 4A 00", "24: B9 78 00",
                                                        "24: 99 4C 7F", "48: 89 4C 00"}));
  // Any section accepts the region commands.
  EXPECT_EQ(EventsOf("'{(SETTING) @RCSTART (T1) C D"),
            (Events{"0: 90 3C 7F", "24: 80 3C 00", "24: 90 3E 7F", "48: 80 3E 00"}));
  EXPECT_EQ(ErrorOf("'{@RCSTART @RCEND (MACRO) @RCSTART"), "");
}

TEST(Rewind, Errors) {
  Tick offset = 0;
  const Compiled c = CompileMml("'{(T1)@REW 4 @W 8 @W 4", {}, [&](TMmlc& m) { offset = m.FRewindOffset; });
  EXPECT_EQ(c.error, "1:22: ｢ @W ｣ 値が不正です.");
  EXPECT_EQ(offset, -24);
  EXPECT_EQ(ErrorOf("'{(T1)\n@W"), "2:2: ｢ @W ｣ 値が不正です.");
  for (const std::string k : {"@REW", "@W", "@REWE", "@PSTART", "@PSTOP"}) {
    EXPECT_EQ(ErrorOf("'{(SETTING)" + k + " 4"),
              "1:" + std::to_string(11 + k.size()) + ": ｢ " + k + " ｣ 現在の句では使用出来ないコマンドです.");
  }
}

}  // namespace
}  // namespace tw::test
