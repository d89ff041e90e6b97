// Hex event blocks, "!" and the byte queue behind them.
#include <gtest/gtest.h>

#include "StackValue.h"
#include "TestUtil.h"

namespace tw::test {
namespace {

TEST(StackValue, QueueWithCurrentValue) {
  TStackValue q;
  EXPECT_EQ(q.Count(), 0u);
  EXPECT_EQ(q.NextValue(), 0);  // empty from the start: the current value 0
  q.PushValue(false, 5);
  q.PushValue(true, 3);
  q.PushValue(true, -10);
  q.PushValue(false, 7);
  EXPECT_EQ(q.Count(), 4u);
  EXPECT_EQ(q.NextValue(), 5);
  EXPECT_EQ(q.NextValue(), 8);
  EXPECT_EQ(q.Count(), 2u);
  EXPECT_EQ(q.NextValue(), -2);
  EXPECT_EQ(q.NextValue(), 7);
  EXPECT_EQ(q.Count(), 0u);
  EXPECT_EQ(q.NextValue(), 7);  // past the end the last value repeats
  EXPECT_EQ(q.FCurrent, 7);
  q.PushValue(true, 1);  // usable again after running empty
  EXPECT_EQ(q.NextValue(), 8);

  // A relative entry wraps instead of overflowing.
  q.PushValue(false, INT32_MAX);
  q.PushValue(true, 1);
  EXPECT_EQ(q.SkipValues(2), INT32_MIN);
}

TEST(StackValue, SkipValuesMatchesRepeatedNextValue) {
  TStackValue a, b;
  for (int i = 1; i <= 6; ++i) {
    a.PushValue(i % 2 == 0, i);
    b.PushValue(i % 2 == 0, i);
  }
  for (uint64_t n : {0u, 2u, 1u, 10u, 65280u}) {
    int32_t expected = b.FCurrent;
    for (uint64_t i = 0; i < n; ++i) expected = b.NextValue();
    EXPECT_EQ(a.SkipValues(n), expected) << n;
    EXPECT_EQ(a.Count(), b.Count()) << n;
  }
}

TEST(HexBlock, Events) {
  const std::vector<std::pair<const char*, Events>> cases = {
      {"(T1) {00FFE23F}", {"0: B0 07 7F"}},
      {"(T1) {00FFE27F}", {"0: B1 07 7F"}},  // the top bits pick the channel of the group
      {"(T1) {00FFE2C0}", {"0: B3 07 00"}},
      {"(T6) {00FFE3A0}", {"0: B6 0A 41"}},  // (5 & 0Ch) + 2
      {"(T16) {00ffea01}", {"0: BC 01 03"}},
      {"(T1) {10FFB064}", {"16: F0 07 7F 7F 04 01 00 64 F7"}},
      {"(T1) {00FFB0FF}", {"0: F0 07 7F 7F 04 01 00 FF F7"}},  // master volume byte unchanged
      {"(T1) {00FFE702}", {"0: B0 65 00", "0: B0 64 00", "0: B0 06 02", "0: B0 26 00"}},
      {"(T3) {00FFE77F}", {"0: B1 65 00", "0: B1 64 00", "0: B1 06 3F", "0: B1 26 00"}},
      // Deltas add up; the track goes on after the sum.
      {"(T1) {10FFE23F10FFE33F} C",
       {"16: B0 07 7F", "32: B0 0A 7F", "32: 90 3C 7F", "56: 80 3C 00"}},
      // Note events only move the time.
      {"(T1) {0C904030} C", {"12: 90 3C 7F", "36: 80 3C 00"}},
      // Other FFh events take one byte.
      {"(T1) {00FF011205FFE23F}", {"5: B0 07 7F"}},
      // A data block of h * 255 + l bytes is stepped over.
      {"(T1) {00FFFF0002AABB05FFE23F}", {"5: B0 07 7F"}},
      // A data block claiming more bytes than are left ends the block.
      {"(T1) {00FFFFFFFF} C", {"0: 90 3C 7F", "24: 80 3C 00"}},
      // An event cut short is completed with the last byte: the delta 0Ah, then 0Ah as a note.
      {"(T1) {0A} C", {"10: 90 3C 7F", "34: 80 3C 00"}},
      {"(T1) {} C", {"0: 90 3C 7F", "24: 80 3C 00"}},
      // Without "}" the compile goes on after the bytes.
      {"(T1) {05FFE23F C", {"5: B0 07 7F", "5: 90 3C 7F", "29: 80 3C 00"}},
      // The channel comes from the track number, not from the rhythm channel.
      {"(T10,D) {00FFE23F}", {"0: B9 07 7F", "0: B8 07 7F"}},
      // With the extended commands on, "}" hides the rest of its line.
      {"'{\n(T1) {05FFE23F} C\nD", {"5: B0 07 7F", "5: 90 3E 7F", "29: 80 3E 00"}},
      {"(T1) ! C !", {"0: 90 3C 7F", "24: 80 3C 00"}},
  };
  for (const auto& [source, expected] : cases) EXPECT_EQ(EventsOf(source), expected) << source;
}

TEST(HexBlock, DataBlockLengthIsHTimes255PlusL) {
  // h = 1, l = 1: 256 bytes are stepped over, the event after them is read.
  std::string source = "(T1) {00FFFF0101";
  for (int i = 0; i < 256; ++i) source += "11";
  source += "05FFE23F}";
  EXPECT_EQ(EventsOf(source), (Events{"5: B0 07 7F"}));
}

TEST(HexBlock, NoteMode) {
  // 00 | 90 3C 40 01 | 05 FF E2 3F with the longer note event; 00 | 90 3C 40 | 01 | 05 FF E2 |
  // 3F, then a note event of repeats without it.
  const char* block = "(T1) {00903C400105FFE23F} C";
  EXPECT_EQ(EventsOf(std::string("(SETTING) NOTEMODE=1 ") + block),
            (Events{"5: B0 07 7F", "5: 90 3C 7F", "29: 80 3C 00"}));
  EXPECT_EQ(EventsOf(block), (Events{"64: 90 3C 7F", "88: 80 3C 00"}));
  // An incomplete note event is completed by repeats; the time still advances by the delta.
  EXPECT_EQ(EventsOf("(SETTING) NOTEMODE=1 (T1) {0C904030} C"), (Events{"12: 90 3C 7F", "36: 80 3C 00"}));
}

TEST(HexBlock, MutedPartWritesOnlyMasterVolume) {
  Tick time = 0;
  const Compiled c = CompileMml("(P2)(T1) {00FFB06405FFE23F05FFE70205FFEA0105FFE30A} C", {},
                                [&](TMmlc& m) { time = m.FTrackTime; });
  ASSERT_TRUE(c.ok) << c.error;
  EXPECT_EQ(c.events, (Events{"0: F0 07 7F 7F 04 01 00 64 F7", "44: FF 2F 00"}));
  EXPECT_EQ(time, 20 + 24);
}

TEST(HexBlock, Errors) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      // A blank ends the bytes; the digits after it are no command.
      {"(T1) {0A 0B}", "1:10: ｢ 0 ｣ 不明な命令又は文法エラーです。"},
      {"(T1) {0A0}", "1:9: ｢ 0 ｣ 不明な命令又は文法エラーです。"},
      {"(SETTING) {00}", "1:11: ｢ { ｣ 現在の句では使用出来ないコマンドです."},
      {"{00}", "1:1: ｢ { ｣ 現在の句では使用出来ないコマンドです."},
      {"(TONE)\n!", "2:1: ｢ ! ｣ 現在の句では使用出来ないコマンドです."},
      {"(SETTING) !", "1:11: ｢ ! ｣ 現在の句では使用出来ないコマンドです."},
  };
  for (const auto& [source, error] : cases) EXPECT_EQ(ErrorOf(source), error) << source;
}

}  // namespace
}  // namespace tw::test
