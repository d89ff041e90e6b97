// Voice commands: program, modulation, bend, tempo, volume, velocity, pan, volume steps, transpose.
#include <gtest/gtest.h>

#include "TestUtil.h"

namespace tw::test {
namespace {

TEST(Voice, EventsOfEachCommand) {
  ExpectEvents({
      {"(T1) @1", {"0: C0 00"}},
      {"(T1) @128", {"0: C0 7F"}},
      {"(T3) @5", {"0: C2 04"}},
      {"(T1) %63 %0 %1", {"0: B0 01 7F", "0: B0 01 00", "0: B0 01 03"}},
      {"(T1) Y64", {"0: E0 00 40"}},
      {"(T1) Y0 Y127", {"0: E0 00 00", "0: E0 00 7F"}},
      {"(T1) Y64 Y+10", {"0: E0 00 40", "0: E0 00 4A"}},
      {"(T1) Y-10", {"0: E0 00 36"}},  // from the centre 64 to 54
      {"(T1) Y128", {}},
      {"(T1) T120", {"0: FF 51 03 07 A1 20"}},
      {"(T1) T10 T255", {"0: FF 51 03 5B 8D 80", "0: FF 51 03 03 97 1E"}},
      {"(T1) V63 V0", {"0: B0 07 7F", "0: B0 07 00"}},
      {"(T1) V10 ~5", {"0: B0 07 15", "0: B0 07 1F"}},
      {"(T1) V10 ~ _ _", {"0: B0 07 15", "0: B0 07 17", "0: B0 07 15", "0: B0 07 13"}},
      {"(T1) V0 _", {"0: B0 07 00", "0: B0 07 00"}},
      {"(T1) V63 ~ ~0", {"0: B0 07 7F", "0: B0 07 7F", "0: B0 07 7F"}},
      {"(T1) V5 _63", {"0: B0 07 0B", "0: B0 07 00"}},
      {"(T1) U10 C", {"0: 90 3C 15", "24: 80 3C 00"}},
      {"(T1) U0 C", {"0: 90 3C 01", "24: 80 3C 00"}},
      {"(T1) P32 P0", {"0: B0 0A 41", "0: B0 0A 00"}},
      {"(T1) K-12 C", {"0: 90 30 7F", "24: 80 30 00"}},
      {"(T1) K3 C K+2 D K0 E", {"0: 90 3F 7F", "24: 80 3F 00", "24: 90 40 7F", "48: 80 40 00",
                                "48: 90 40 7F", "72: 80 40 00"}},
      {"(T1) K-200 C", {}},  // keys outside 0..127 are silent
      // Events stand at the track time, on the track's channel.
      {"(T4) C P1 V2", {"0: 93 3C 7F", "24: 83 3C 00", "24: B3 0A 03", "24: B3 07 05"}},
      // A rhythm track sends on channel 9.
      {"(T2,D) P1 %1 Y0 @2", {"0: B9 07 7F", "0: B9 0A 03", "0: B9 01 03", "0: E9 00 00", "0: C9 01"}},
  });
}

TEST(Voice, ProgramBankSelect) {
  auto options = [](bool insert, bool tone, bool drum) {
    return [=](TMmlc& m) {
      m.FOptBankInsert = insert;
      m.FOptToneBank = tone;
      m.FOptDrumBank = drum;
    };
  };
  ExpectEvents({{"(T1) C @1", {"0: 90 3C 7F", "24: 80 3C 00", "24: B0 00 7C", "24: B0 20 01", "24: C0 00"}},
                {"(T10,D) @1", {"0: B9 07 7F", "0: B9 00 7D", "0: B9 20 00", "0: C9 00"}}},
               options(true, true, true));
  // Each kind of track follows its own option.
  ExpectEvents({{"(T1) @1", {"0: B0 00 7C", "0: B0 20 01", "0: C0 00"}}, {"(T10,D) @1", {"0: B9 07 7F", "0: C9 00"}}},
               options(true, true, false));
  ExpectEvents({{"(T1) @1", {"0: C0 00"}}, {"(T10,D) @1", {"0: B9 07 7F", "0: B9 00 7D", "0: B9 20 00", "0: C9 00"}}},
               options(true, false, true));
  // Without the insert option neither is sent.
  ExpectEvents({{"(T1) @1", {"0: C0 00"}}, {"(T10,D) @1", {"0: B9 07 7F", "0: C9 00"}}}, options(false, true, true));
}

TEST(Voice, ProgramMap) {
  int program = -1;
  const Compiled c = CompileMml("(T1) @5", [](TMmlc& m) { m.FProgramMap[5] = 40; },
                                [&](TMmlc& m) { program = m.FProgram; });
  EXPECT_EQ(c.events, (Events{"0: C0 28", "0: FF 2F 00"}));
  EXPECT_EQ(program, 40);
}

TEST(Voice, ToneSection) {
  ExpectEvents({
      // A tone definition is stepped over up to its "}", whatever it holds.
      {"(TONE)\n@3={ V99 @ }\n@4 = {}\n(T2) @2", {"0: C1 01"}},
      // Without braces the program number follows, as in a track.
      {"(TONE) @3=5", {"0: C0 04"}},
      {"(TONE) @3 7", {"0: C0 06"}},
  });
  EXPECT_EQ(ErrorOf("(TONE)\n@3 @4={}"), "2:3: ｢ @ ｣ 値が不正です.");
}

TEST(Voice, MutedPartStoresValuesAndSendsOnlyTheTempo) {
  struct State {
    int pan, volume, volumeVelo, modulation, bend, program, tempo, velocity, transpose;
  } s{};
  const Compiled c = CompileMml("(P2)(T1) P32 T100 V10 ~2 %5 Y10 @3 U7 K5",
                                [](TMmlc& m) { m.FOptBankInsert = true; },
                                [&](TMmlc& m) {
                                  s = {m.FPan,  m.FVolume, m.FVolumeVelo, m.FModulation, m.FBend,
                                       m.FProgram, m.FTempo, m.FVelocity, m.FTranspose};
                                });
  ASSERT_TRUE(c.ok) << c.error;
  EXPECT_EQ(c.events, (Events{"0: FF 51 03 09 27 C0", "0: FF 2F 00"}));
  EXPECT_EQ(s.pan, 65);
  EXPECT_EQ(s.volume, 21);
  EXPECT_EQ(s.volumeVelo, 12);
  EXPECT_EQ(s.modulation, 11);
  EXPECT_EQ(s.bend, 10);
  EXPECT_EQ(s.program, 2);
  EXPECT_EQ(s.tempo, 100);
  EXPECT_EQ(s.velocity, 7);
  EXPECT_EQ(s.transpose, 5);
}

TEST(Voice, VolumeScalesVelocitiesOnRhythmTracksAndWithTheOption) {
  // 127 * 41 / 64 = 81: no control change 7, the note carries the volume.
  EXPECT_EQ(EventsOf("(T10,D) V40 C"), (Events{"0: B9 07 7F", "0: 99 4A 51", "24: 89 4A 00"}));
  EXPECT_EQ(EventsOf("(T1) V40 C ~ _2", [](TMmlc& m) { m.FOptVolToVelo = true; }),
            (Events{"0: 90 3C 51", "24: 80 3C 00"}));
  int volume = 0, volumeVelo = 0;
  CompileMml("(T1) V10 ~5", {}, [&](TMmlc& m) {
    volume = m.FVolume;
    volumeVelo = m.FVolumeVelo;
  });
  EXPECT_EQ(volume, 21);  // "~" and "_" change only the velocity scale
  EXPECT_EQ(volumeVelo, 15);
}

TEST(Voice, Errors) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"(T1) @0", "1:7: ｢ @ ｣ 値が不正です."},
      {"(T1) @129", "1:9: ｢ @ ｣ 値が不正です."},
      {"(T1) @ C", "1:7: ｢ @ ｣ 値が不正です."},
      {"(T1) %64", "1:8: ｢ % ｣ 値が不正です."},
      {"(T1) %", "1:6: ｢ % ｣ 値が不正です."},
      {"(T1) Y129", "1:9: ｢ Y ｣ 値が不正です."},
      {"(T1) Y+128", "1:10: ｢ Y ｣ 値が不正です."},
      {"(T1) Y-", "1:7: ｢ Y ｣ 値が不正です."},
      {"(T1) Y64 Y-70", "1:13: ｢ Y ｣ 内部値が範囲を超えました."},
      {"(T1) Y+64", "1:9: ｢ Y ｣ 内部値が範囲を超えました."},
      {"(T1) T9", "1:7: ｢ T ｣ 値が不正です."},
      {"(T1) T256", "1:9: ｢ T ｣ 値が不正です."},
      {"(T1)\nT", "2:1: ｢ T ｣ 値が不正です."},
      {"(T1) V64", "1:8: ｢ V ｣ 値が不正です."},
      {"(T1) U64", "1:8: ｢ U ｣ 値が不正です."},
      {"(T1) P64", "1:8: ｢ P ｣ 値が不正です."},
      {"(T1) P", "1:6: ｢ P ｣ 値が不正です."},
      {"(T1) ~64", "1:8: ｢ ~ ｣ 値が不正です."},
      {"(T1) _64", "1:8: ｢ _ ｣ 値が不正です."},
      // "K" needs its number; a sign alone is no transposition.
      {"(T1) K", "1:6: ｢ K ｣ 値が不正です."},
      {"(T1) K+ C", "1:8: ｢ K ｣ 値が不正です."},
      {"(T1) K-", "1:7: ｢ K ｣ 値が不正です."},
      // Outside a track ("@" also outside the tone section).
      {"(SETTING) @1", "1:11: ｢ @ ｣ 現在の句では使用出来ないコマンドです."},
      {"(MACRO) @1", "1:9: ｢ @ ｣ 現在の句では使用出来ないコマンドです."},
      {"@1", "1:1: ｢ @ ｣ 現在の句では使用出来ないコマンドです."},
      {"(TONE) V1", "1:8: ｢ V ｣ 現在の句では使用出来ないコマンドです."},
      {"(ADPCM) %1", "1:9: ｢ % ｣ 現在の句では使用出来ないコマンドです."},
      {"Y1", "1:1: ｢ Y ｣ 現在の句では使用出来ないコマンドです."},
      {"(P1) T120", "1:6: ｢ T ｣ 現在の句では使用出来ないコマンドです."},
      {"(TONE) U1", "1:8: ｢ U ｣ 現在の句では使用出来ないコマンドです."},
      {"(TONE) P1", "1:8: ｢ P ｣ 現在の句では使用出来ないコマンドです."},
      {"(TONE) ~", "1:8: ｢ ~ ｣ 現在の句では使用出来ないコマンドです."},
      {"(TONE) _", "1:8: ｢ _ ｣ 現在の句では使用出来ないコマンドです."},
      {"(TONE) K1", "1:8: ｢ K ｣ 現在の句では使用出来ないコマンドです."},
  };
  for (const auto& [source, error] : cases) EXPECT_EQ(ErrorOf(source), error) << source;
}

TEST(Voice, TempoAndBendCarryOrReset) {
  int tempo = 0, bend = 0;
  const Compiled c = CompileMml("(T1) T90 Y+10 (T2) Y+1", {}, [&](TMmlc& m) {
    tempo = m.FTempo;
    bend = m.FBend;
  });
  EXPECT_EQ(c.events, (Events{"0: FF 51 03 0A 2C 2A", "0: E0 00 4A", "0: E1 00 41", "0: FF 2F 00"}));
  EXPECT_EQ(tempo, 90);
  EXPECT_EQ(bend, 65);
}

}  // namespace
}  // namespace tw::test
