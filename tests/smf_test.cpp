// The event list and the SMF writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "SmfU.h"
#include "TestUtil.h"

namespace tw::test {
namespace {

using namespace std::string_literals;

Events Written(TSmf& smf) { return TrackEvents(smf.Build()); }

TEST(Smf, ByteLayoutOfASingleNote) {
  TSmf smf;
  smf.AddNoteOn(0, 0, 1, 60, 127);
  smf.AddNoteOff(22, 0, 0, 60);
  smf.FSongLength = 24;
  const std::string file = smf.Build();
  EXPECT_EQ(file, std::string("MThd\0\0\0\x06\0\0\0\x01\0\x30MTrk\0\0\0\x0C"
                              "\x00\x90\x3C\x7F\x16\x80\x3C\x00\x02\xFF\x2F\x00",
                              34));
}

TEST(Smf, EventsOfOneTickByPriorityThenInOrderAdded) {
  TSmf smf;
  smf.AddNoteOn(5, 0, 1, 1, 1);  // note-on A
  smf.AddNoteOff(5, 0, 0, 2);    // note-off B
  smf.AddPitchBend(5, 0, 9, 0);  // a sweep step
  smf.AddControlChange(5, 0, 0, 7, 1);
  smf.AddNoteOn(5, 0, 1, 3, 1);  // note-on C
  smf.AddProgramChange(5, 0, 4);
  smf.AddNoteOff(9, 0, 0, 1);
  smf.AddNoteOff(9, 0, 0, 3);
  smf.AddNoteOn(0, 0, 1, 2, 9);  // an earlier tick added later
  EXPECT_EQ(Written(smf), (Events{"0: 90 02 09", "5: 80 02 00", "5: B0 07 01", "5: C0 04", "5: 90 01 01",
                                  "5: 90 03 01", "5: E0 00 40", "9: 80 01 00", "9: 80 03 00", "9: FF 2F 00"}));
}

TEST(Smf, OverlappingNotesOfOneKeyMerge) {
  const struct {
    std::vector<std::tuple<int, int, bool>> notes;  // tick, channel, note-on?
    Events written;
  } cases[] = {
      {{{0, 0, true}, {10, 0, true}, {30, 0, false}, {40, 0, false}}, {"0: 90 3C 40", "40: 80 3C 00"}},
      {{{0, 0, true}, {10, 0, true}, {20, 0, true}, {30, 0, false}, {40, 0, false}, {50, 0, false}},
       {"0: 90 3C 40", "50: 80 3C 00"}},
      {{{0, 0, true}, {10, 0, false}, {10, 0, true}, {20, 0, false}},
       {"0: 90 3C 40", "10: 80 3C 00", "10: 90 3C 40", "20: 80 3C 00"}},
      {{{0, 0, true}, {10, 1, true}, {30, 0, false}, {40, 1, false}},
       {"0: 90 3C 40", "10: 91 3C 40", "30: 80 3C 00", "40: 81 3C 00"}},
      {{{0, 0, true}}, {}},                                     // never released: removed
      {{{0, 0, true}, {10, 0, true}, {20, 0, false}}, {}},      // and it takes the complete note with it
  };
  for (const auto& c : cases) {
    TSmf smf;
    for (const auto& [tick, channel, on] : c.notes) {
      if (on)
        smf.AddNoteOn(tick, channel, 1, 60, 64);
      else
        smf.AddNoteOff(tick, channel, 0, 60);
    }
    Events written = Written(smf);
    written.pop_back();
    EXPECT_EQ(written, c.written);
  }
}

TEST(Smf, EventEncodings) {
  TSmf smf;
  smf.AddPitchBend(0, 2, 0, -64);
  smf.AddPitchBend(0, 2, 0, 0);
  smf.AddPitchBend(0, 2, 0, 63);
  smf.AddTempo(0, 120);
  smf.AddTempo(0, 10);
  smf.AddSysEx(0, "\x7E\x7F\x09\x01");
  smf.AddMeta(0, 1, "ab");
  smf.AddMeta(0, 6, "");  // nothing to write: skipped whole
  smf.AddProgramChange(0, 15, 127);
  EXPECT_EQ(Written(smf), (Events{"0: E2 00 00", "0: E2 00 40", "0: E2 00 7F", "0: FF 51 03 07 A1 20",
                                  "0: FF 51 03 5B 8D 80", "0: F0 05 7E 7F 09 01 F7", "0: FF 01 02 61 62", "0: CF 7F",
                                  "0: FF 2F 00"}));
  EXPECT_EQ(smf.Bytes(smf.Events()[5]), "\x7E\x7F\x09\x01\xF7");
  EXPECT_EQ(smf.MetaType(smf.Events()[6]), 1);
  EXPECT_EQ(smf.Bytes(smf.Events()[0]), "");  // not a data event
}

TEST(Smf, DataEventsBeyondTwoBytesOfNumbering) {
  // Each data event numbers its place in the pool with three bytes: past 255 and 65,535 too.
  TSmf smf;
  constexpr int kCount = 70'000;
  const auto letter = [](int i) { return static_cast<char>('a' + i % 26); };
  for (int i = 0; i < kCount; ++i) smf.AddMeta(i, 1, std::string(1, letter(i)));
  const Events written = Written(smf);
  ASSERT_EQ(written.size(), kCount + 1u);
  for (const int i : {255, 256, 65'535, 65'536, kCount - 1}) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%d: FF 01 01 %02X", i, letter(i));
    EXPECT_EQ(written[static_cast<size_t>(i)], expected);
  }
}

TEST(Smf, EndOfTrackAtTheSongLengthNeverBeforeTheLastEvent) {
  TSmf smf;
  smf.AddNoteOn(0, 0, 1, 60, 1);
  smf.AddNoteOff(300, 0, 0, 60);
  smf.FSongLength = 200;
  EXPECT_EQ(Written(smf).back(), "300: FF 2F 00");
  smf.FSongLength = 100000;
  EXPECT_EQ(Written(smf).back(), "100000: FF 2F 00");
}

TEST(Smf, VariableLengthQuantities) {
  const struct {
    uint32_t value;
    std::string bytes;
  } cases[] = {{0, std::string(1, '\0')}, {0x7F, "\x7F"}, {0x80, "\x81\x00"s}, {0x3FFF, "\xFF\x7F"},
               {0x4000, "\x81\x80\x00"s}, {0x0FFFFFFF, "\xFF\xFF\xFF\x7F"}};
  for (const auto& c : cases) {
    std::string out;
    WriteVarLen(out, c.value);
    EXPECT_EQ(out, c.bytes) << c.value;
  }
}

TEST(Smf, LimitsDropTheEventAndAreReported) {
  TSmf smf(2, 10);
  smf.AddNoteOn(TSmf::kMaxTick, 0, 1, 60, 1);
  EXPECT_EQ(smf.LimitHit(), TSmf::TLimit::None);
  smf.AddNoteOff(TSmf::kMaxTick + 1, 0, 0, 60);
  EXPECT_EQ(smf.LimitHit(), TSmf::TLimit::Time);
  TSmf few(2, 10);
  few.AddSysEx(0, "123456789");
  few.AddSysEx(0, "1");
  EXPECT_EQ(few.LimitHit(), TSmf::TLimit::Events);
  EXPECT_EQ(few.Count(), 1u);
}

TEST(Smf, NoFileForAnEmptyList) {
  const std::string path = TempDir() + "/x.mid";
  WriteFile(path, "old");
  TSmf smf;
  EXPECT_FALSE(smf.SaveToFile(path));
  EXPECT_EQ(ReadFile(path), "old");
  smf.AddTempo(0, 120);
  EXPECT_TRUE(smf.SaveToFile(path));
  EXPECT_EQ(ReadFile(path).substr(0, 4), "MThd");
}

}  // namespace
}  // namespace tw::test
