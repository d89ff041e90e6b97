// Notes, rests, ties, lengths, gate, octave and velocity.
#include <gtest/gtest.h>

#include "TestUtil.h"

namespace tw::test {
namespace {

TEST(Notes, LengthsGatesAndVelocities) {
  ExpectEvents({
      {"(T1) C", {"0: 90 3C 7F", "24: 80 3C 00"}},
      {"(T1) C4. C*30 C.", {"0: 90 3C 7F", "72: 80 3C 00", "72: 90 3C 7F", "102: 80 3C 00", "102: 90 3C 7F",
                            "138: 80 3C 00"}},
      {"(T2) C4,0", {"0: 91 3C 7F", "1: 81 3C 00"}},
      {"(T1) C4,100 D", {"0: 90 3C 7F", "48: 90 3E 7F", "72: 80 3E 00", "100: 80 3C 00"}},
      {"(T1) C4,,40", {"0: 90 3C 51", "48: 80 3C 00"}},
      {"(T1) C4,10,99", {"0: 90 3C 7F", "10: 80 3C 00"}},
      {"(T1) C4,,0", {"0: 90 3C 01", "48: 80 3C 00"}},  // velocity 0 becomes 1
      {"(T1) Q6 C4", {"0: 90 3C 7F", "42: 80 3C 00"}},
      {"(T1) Q48 C4", {"0: 90 3C 7F", "1: 80 3C 00"}},
      {"(T1) U20 C", {"0: 90 3C 29", "24: 80 3C 00"}},
      {"(T1) C+ C# C- B-4", {"0: 90 3D 7F", "24: 80 3D 00", "24: 90 3D 7F", "48: 80 3D 00", "48: 90 3B 7F",
                             "72: 80 3B 00", "72: 90 46 7F", "120: 80 46 00"}},
  });
}

TEST(Notes, OctavesAndKeyRange) {
  ExpectEvents({
      {"(T1) O8 B", {"0: 90 77 7F", "24: 80 77 00"}},
      {"(T1) O8 < B C", {"24: 90 78 7F", "48: 80 78 00"}},  // key 131 is silent but takes its time
      {"(T1) O0 C > C", {"0: 90 0C 7F", "24: 80 0C 00", "24: 90 00 7F", "48: 80 00 00"}},
      {"(T1) O4 > > > > > > C", {}},  // key -12
  });
  // "OCT" reverses the direction; here the field is set directly.
  ExpectEvents({{"(T1) < C", {"0: 90 30 7F", "24: 80 30 00"}}}, [](TMmlc& m) { m.FOctaveUpOnLess = false; });
}

TEST(Notes, ChordsTiesAndSlurs) {
  ExpectEvents({
      {"(T1) C0E0G", {"0: 90 3C 7F", "0: 90 40 7F", "0: 90 43 7F", "24: 80 3C 00", "24: 80 40 00",
                      "24: 80 43 00"}},
      {"(T1) C200 D", {"0: 90 3C 7F", "0: 90 3E 7F", "24: 80 3C 00", "24: 80 3E 00"}},
      {"(T1) L4 C4&C4", {"0: 90 3C 7F", "96: 80 3C 00"}},
      {"(T1) L4 C4&D4", {"0: 90 3C 7F", "48: 90 3E 7F", "49: 80 3C 00", "96: 80 3E 00"}},
      {"(T1) C4&R4", {"0: 90 3C 7F", "49: 80 3C 00"}},
      {"(T1) C0&", {"0: 90 3C 7F", "25: 80 3C 00"}},
      {"(T1) C4& (T2) D", {"0: 90 3C 7F", "0: 91 3E 7F", "24: 81 3E 00", "48: 80 3C 00"}},
      {"(T1) C4& ", {"0: 90 3C 7F", "48: 80 3C 00"}},  // released at the end of the source
      {"(T1) C4&&D", {"0: 90 3C 7F", "48: 90 3E 7F", "49: 80 3C 00", "72: 80 3E 00"}},  // "&" alone is a no-op
  });
}

TEST(Notes, RhythmVolumeMergeAndQueue) {
  // Rhythm track: key offset 14, channel 9, velocity scaled by the volume (63 here: unchanged).
  EXPECT_EQ(EventsOf("(T3,D) C"), (Events{"0: B9 07 7F", "0: 99 4A 7F", "24: 89 4A 00"}));
  ExpectEvents({{"(T1) C R D E", {"0: 90 3C 64", "24: 80 3C 00", "48: 90 3E 3C", "72: 80 3E 00", "72: 90 40 7F",
                                  "96: 80 40 00"}}},
               [](TMmlc& m) {
                 for (int v : {100, 80, 60}) m.FVeloQueue.Add(v);
               });
  ExpectEvents({{"(T1) C", {"0: 90 3C 1F", "24: 80 3C 00"}}}, [](TMmlc& m) { m.FVeloFixByProgram[0] = 1; });
  ExpectEvents({{"(T1) C", {"0: 90 3C 3F", "24: 80 3C 00"}}}, [](TMmlc& m) { m.FVeloFixByProgram[0] = 2; });
  ExpectEvents({{"(T1) C", {"0: 90 3C 7F", "24: 80 3C 00"}}}, [](TMmlc& m) {
    m.FVeloFixByProgram[0] = 1;
    m.FOptVeloFixCmd = false;
  });
}

TEST(Notes, MutedPartWritesNoNotesButKeepsItsTime) {
  EXPECT_EQ(EventsOf("(P2) (T1) C4&C (T2) D"), (Events{"0: 91 3E 7F", "24: 81 3E 00"}));
}

TEST(Notes, SettersAndTheirErrors) {
  const struct {
    const char* source;
    const char* error;
  } cases[] = {
      {"(T1) L0", "1:7: ｢ L ｣ 値が不正です."},
      {"(T1) L193", "1:9: ｢ L ｣ 値が不正です."},
      {"(T1) L", "1:6: ｢ L ｣ 値が不正です."},
      {"(T1) Q193", "1:9: ｢ Q ｣ 値が不正です."},
      {"(T1) O9", "1:7: ｢ O ｣ 値が不正です."},
      {"(T1) O", "1:6: ｢ O ｣ 値が不正です."},
      {"(T1) R+", "1:7: ｢ + ｣ 不明な命令又は文法エラーです。"},
      {"C", "1:1: ｢ C ｣ 現在の句では使用出来ないコマンドです."},
      {"(SETTING)\n<", "2:1: ｢ < ｣ 現在の句では使用出来ないコマンドです."},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.source), c.error) << c.source;
  int length = 0;
  CompileMml("(T1) L*192", {}, [&](TMmlc& m) { length = m.FDefaultLength; });
  EXPECT_EQ(length, 192);
  CompileMml("(T1) L1", {}, [&](TMmlc& m) { length = m.FDefaultLength; });
  EXPECT_EQ(length, 192);
  EXPECT_EQ(ErrorOf("& (T1) &"), "");  // a lone tie works anywhere
}

TEST(Notes, LengthsThatOverflowTheFileAreAnErrorOfTheirNote) {
  EXPECT_EQ(ErrorOf("(T1) C*268435455 D"), "1:18: ｢ D ｣ 演奏時間が上限を超えました.");
  EXPECT_EQ(ErrorOf("(T1) C*2147483647"), "1:17: ｢ C ｣ 演奏時間が上限を超えました.");
  EXPECT_EQ(ErrorOf("(T1) C*99999999999999999999"), "1:27: ｢ C ｣ 演奏時間が上限を超えました.");
  EXPECT_EQ(ErrorOf("(T1) R*268435455"), "");  // exactly the largest tick still fits
}

}  // namespace
}  // namespace tw::test
