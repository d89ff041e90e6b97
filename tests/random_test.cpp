// Random and humanize commands: random velocity and gate, the signed gate cut, the velocity
// queue, random sets, step lists and random event streams. The compiles use a fixed seed, so
// every check here is deterministic; value checks test ranges and that a small range is
// covered, never a particular draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "TestUtil.h"

namespace tw::test {
namespace {

struct Event {
  int64_t tick = 0;
  std::vector<int> bytes;
};

std::vector<Event> Parse(const Events& lines) {
  std::vector<Event> events;
  for (const std::string& line : lines) {
    Event e;
    const size_t colon = line.find(':');
    e.tick = std::stoll(line.substr(0, colon));
    for (size_t at = colon + 2; at + 2 <= line.size(); at += 3)
      e.bytes.push_back(std::stoi(line.substr(at, 2), nullptr, 16));
    events.push_back(e);
  }
  return events;
}

// The events with the given status byte.
std::vector<Event> WithStatus(const Events& lines, int status) {
  std::vector<Event> selected;
  for (const Event& e : Parse(lines))
    if (e.bytes[0] == status) selected.push_back(e);
  return selected;
}

// Each expected line may hold "??" for a byte drawn at random.
bool LinesMatch(const Events& actual, const Events& expected) {
  if (actual.size() != expected.size()) return false;
  for (size_t i = 0; i < actual.size(); ++i) {
    if (actual[i].size() != expected[i].size()) return false;
    for (size_t j = 0; j < actual[i].size(); ++j)
      if (expected[i][j] != '?' && expected[i][j] != actual[i][j]) return false;
  }
  return true;
}

std::string Join(const Events& lines) {
  std::string s;
  for (const std::string& l : lines) s += "\"" + l + "\" ";
  return s;
}

void ExpectMatch(const std::string& source, const Events& expected, const std::function<void(TMmlc&)>& setup = {}) {
  const Events actual = EventsOf(source, setup);
  EXPECT_TRUE(LinesMatch(actual, expected))
      << source << "\n  actual:   " << Join(actual) << "\n  expected: " << Join(expected);
}

// Every value lies in lo..hi and every value of lo..hi occurs.
void ExpectCovers(const std::vector<int>& values, int lo, int hi, const std::string& what) {
  std::set<int> seen(values.begin(), values.end());
  ASSERT_FALSE(seen.empty()) << what;
  EXPECT_GE(*seen.begin(), lo) << what;
  EXPECT_LE(*seen.rbegin(), hi) << what;
  EXPECT_EQ(seen.size(), static_cast<size_t>(hi - lo + 1)) << what;
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(Humanize, RandomVelocity) {
  EXPECT_EQ(EventsOf("'{(T1) @UR64,0 C D"), (Events{"0: 90 3C 40", "24: 80 3C 00", "24: 90 3E 40", "48: 80 3E 00"}));
  // Base 128 varies the computed velocity (U50 gives 101) by up to 10 either way.
  std::vector<int> velocities;
  for (const Event& e : WithStatus(EventsOf("'{(T1) U50 @UR128,10 " + Repeat("C", 400)), 0x90))
    velocities.push_back(e.bytes[2]);
  EXPECT_EQ(velocities.size(), 400u);
  ExpectCovers(velocities, 91, 111, "@UR128,10");
  // Any other base replaces it; a velocity of 0 is raised to 1.
  velocities.clear();
  for (const Event& e : WithStatus(EventsOf("'{(T1) @UR0,5 " + Repeat("C", 300)), 0x90))
    velocities.push_back(e.bytes[2]);
  ExpectCovers(velocities, 1, 5, "@UR0,5");
  velocities.clear();
  for (const Event& e : WithStatus(EventsOf("'{(T1) U63 @UR128,3 " + Repeat("C", 100)), 0x90))
    velocities.push_back(e.bytes[2]);
  ExpectCovers(velocities, 124, 127, "clamped at 127");
  // Off with "@URS", and at the start of every track.
  EXPECT_EQ(EventsOf("'{(T1) @UR64,0 C @URS D (T2) @UR64,0 C (T3) C"),
            (Events{"0: 90 3C 40", "0: 91 3C 40", "0: 92 3C 7F", "24: 80 3C 00", "24: 81 3C 00", "24: 82 3C 00",
                    "24: 90 3E 7F", "48: 80 3E 00"}));
}

TEST(Humanize, RandomGate) {
  // Low and high 0 change nothing but clamp the gate to the default length.
  EXPECT_EQ(EventsOf("'{(T1) @QR0,0 L8 C2 @QRS C2"),
            (Events{"0: 90 3C 7F", "24: 80 3C 00", "96: 90 3C 7F", "192: 80 3C 00"}));
  // Gates of 48 - 10 .. 48 + 9, the upper end exclusive.
  std::vector<int> gates;
  const std::vector<Event> events = Parse(EventsOf("'{(T1) L1 @QR10,10 " + Repeat("C4R4", 300)));
  for (size_t i = 0; i + 1 < events.size(); i += 2)
    gates.push_back(static_cast<int>(events[i + 1].tick - events[i].tick));
  EXPECT_EQ(gates.size(), 300u);
  ExpectCovers(gates, 38, 57, "@QR10,10");
  // Gate randomisation carries over into later tracks until "@QRS".
  EXPECT_EQ(EventsOf("'{(T1) @QR0,0 (T2) C2 @QRS (T3) C2"),
            (Events{"0: 91 3C 7F", "0: 92 3C 7F", "24: 81 3C 00", "96: 82 3C 00"}));
}

TEST(Humanize, GateCut) {
  const std::vector<std::pair<std::string, Events>> cases = {
      {"@Q-24 C", {"0: 90 3C 7F", "48: 80 3C 00"}},     {"@Q+5 C", {"0: 90 3C 7F", "19: 80 3C 00"}},
      {"@Q 3072 C", {"0: 90 3C 7F", "1: 80 3C 00"}},    {"@Q-3072 C", {"0: 90 3C 7F", "3096: 80 3C 00"}},
      {"@Q-24 @Q0 C", {"0: 90 3C 7F", "24: 80 3C 00"}},
  };
  for (const auto& [source, events] : cases) EXPECT_EQ(EventsOf("'{(T1) " + source), events) << source;
  // "@Q" works without the extended switch being tested again; the cut returns to 0 per track.
  EXPECT_EQ(EventsOf("'{(T1) @Q-24 (T2) C"), (Events{"0: 91 3C 7F", "24: 81 3C 00"}));
}

TEST(Humanize, VelocityQueue) {
  // Signed entries are relative to "U" on the MIDI scale (40 gives 81); 0 is raised to 1.
  EXPECT_EQ(EventsOf("'{(T1) U40 @UL100,+10,-100 C D E F"),
            (Events{"0: 90 3C 64", "24: 80 3C 00", "24: 90 3E 5B", "48: 80 3E 00", "48: 90 40 01", "72: 80 40 00",
                    "72: 90 41 51", "96: 80 41 00"}));
  // A rest takes an entry too; the queue carries over into later tracks.
  EXPECT_EQ(EventsOf("'{(T1) @UL100,80,+127 R C (T2) C"),
            (Events{"0: 91 3C 7F", "24: 81 3C 00", "24: 90 3C 50", "48: 80 3C 00"}));
  // Entries are taken before the random velocity.
  EXPECT_EQ(EventsOf("'{(T1) @UL100 @UR128,0 C"), (Events{"0: 90 3C 64", "24: 80 3C 00"}));
}

TEST(Humanize, Errors) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"'{ @UR1,1", "1:6: ｢ @UR ｣ 現在の句では使用出来ないコマンドです."},
      {"'{(T1)\n@UR", "2:3: ｢ @UR ｣ 値が不正です."},
      {"'{(T1)\n@UR129,1", "2:6: ｢ @UR ｣ 値が不正です."},
      {"'{(T1)\n@UR1", "2:4: ｢ @UR ｣ 引数の指定数が足りません."},
      {"'{(T1)\n@UR1,128", "2:8: ｢ @UR ｣ 値が不正です."},
      {"'{(T1)\n@UR1,", "2:5: ｢ @UR ｣ 値が不正です."},
      {"'{(SETTING)\n@QR1,1", "2:3: ｢ @QR ｣ 現在の句では使用出来ないコマンドです."},
      {"'{(T1)\n@QR193,0", "2:6: ｢ @QR ｣ 値が不正です."},
      {"'{(T1)\n@QR0 0", "2:5: ｢ @QR ｣ 引数の指定数が足りません."},
      {"'{(T1)\n@QR0,193", "2:8: ｢ @QR ｣ 値が不正です."},
      {"'{ @Q1", "1:5: ｢ @Q ｣ 現在の句では使用出来ないコマンドです."},
      {"'{(T1)\n@Q3073", "2:6: ｢ @Q ｣ 値が不正です."},
      {"'{(T1)\n@Q-", "2:3: ｢ @Q ｣ 値が不正です."},
      {"'{(T1)\n@Q", "2:2: ｢ @Q ｣ 値が不正です."},
      {"'{ @UL1", "1:6: ｢ @UL ｣ 現在の句では使用出来ないコマンドです."},
      {"'{(T1)\n@UL", "2:3: ｢ @UL ｣ 値が不正です."},
      {"'{(T1)\n@UL1,128", "2:8: ｢ @UL ｣ 値が不正です."},
      {"'{(T1)\n@UL1,+", "2:6: ｢ @UL ｣ 値が不正です."},
  };
  for (const auto& [source, error] : cases) EXPECT_EQ(ErrorOf(source), error) << source;
  // "@URS" and "@QRS" work anywhere.
  EXPECT_EQ(ErrorOf("'{@URS @QRS (SETTING) @URS @QRS"), "");
}

TEST(Random, SetsAndStepListsAreStored) {
  std::vector<int32_t> set, list;
  const Compiled c =
      CompileMml("'{(T1) L8 @RNDS1,2,7,100,20,6,1,3 @RNDL4,,*5,4^4 (T2) @RNDS2,0,0,0,1,*0,0,0", {}, [&](TMmlc& m) {
        const TIntListLibItem& s = *m.FRandomSets.Items(1);
        for (size_t i = 0; i < s.Count(); ++i) set.push_back(s.Items(i));
        const TIntListLibItem& l = *m.FRandomPatterns.Items(4);
        for (size_t i = 0; i < l.Count(); ++i) list.push_back(l.Items(i));
      });
  EXPECT_TRUE(c.ok) << c.error;
  EXPECT_EQ(set, (std::vector<int32_t>{2, 7, 100, 20, 32, 1, 3}));
  EXPECT_EQ(list, (std::vector<int32_t>{24, 5, 96}));  // a missing length is the default
}

TEST(Random, NoteStream) {
  // Six notes 16 ticks apart over a half note, keys 48..72, each as long as its step.
  const Events events = EventsOf("'{(T1) @RNDS1,0,0,60,12,*16,0,0 @RND1,2 C");
  const std::vector<Event> ons = WithStatus(events, 0x90), offs = WithStatus(events, 0x80);
  ASSERT_EQ(ons.size(), 7u);
  ASSERT_EQ(offs.size(), 7u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(ons[i].tick, static_cast<int64_t>(16 * i));
    EXPECT_GE(ons[i].bytes[1], 48);
    EXPECT_LE(ons[i].bytes[1], 72);
    EXPECT_EQ(ons[i].bytes[2], 0x7F);
    EXPECT_EQ(offs[i].tick, ons[i].tick + 16);
    EXPECT_EQ(offs[i].bytes[1], ons[i].bytes[1]);
  }
  // The output time moved on by the length: C follows at 96.
  EXPECT_EQ(ons[6].tick, 96);
  EXPECT_EQ(ons[6].bytes[1], 0x3C);

  // Gate cut, "U" velocity (0 stays 0), and neither queue nor random velocity apply.
  const std::string one = "@RNDS1,0,0,60,1,*16,0,0 @RND1,*16";
  ExpectMatch("'{(T1) @Q4 " + one, {"0: 90 ?? 7F", "12: 80 ?? 00"});
  ExpectMatch("'{(T1) @Q-4 " + one, {"0: 90 ?? 7F", "20: 80 ?? 00"});
  ExpectMatch("'{(T1) @Q20 " + one, {"0: 90 ?? 7F", "1: 80 ?? 00"});
  ExpectMatch("'{(T1) U20 " + one, {"0: 90 ?? 29", "16: 80 ?? 00"});
  ExpectMatch("'{(T1) U0 " + one, {"0: 90 ?? 00", "16: 80 ?? 00"});
  ExpectMatch("'{(T1) @UL5 @UR64,0 " + one + " @URS C",
              {"0: 90 ?? 7F", "16: 80 ?? 00", "16: 90 3C 05", "40: 80 3C 00"});
  ExpectMatch("'{(T3,D) " + one, {"0: B9 07 7F", "0: 99 ?? 7F", "16: 89 ?? 00"});
}

TEST(Random, ValuesCoverCentreAndSpread) {
  struct Case {
    std::string set;  // kind, controller, centre, spread: the step is 1 tick, 300 ticks long
    int status, valueByte, lo, hi;
  };
  const std::vector<Case> cases = {
      {"0,0,60,3", 0x90, 1, 57, 63}, {"2,7,100,2", 0xB0, 2, 98, 102}, {"2,7,125,5", 0xB0, 2, 120, 127},  // clamped
      {"2,7,2,5", 0xB0, 2, 0, 7},    {"1,0,64,2", 0xE0, 2, 62, 66},  // the bend's high byte
      {"3,0,10,2", 0xC0, 1, 8, 12},                                  // program v + 1 through the identity map
  };
  for (const Case& c : cases) {
    const std::string source = "'{(T1) @RNDS1," + c.set + ",*1,0,0 @RND1,*300";
    std::vector<Event> events = WithStatus(EventsOf(source), c.status);
    if (c.status == 0xE0) events.pop_back();  // the closing bend
    if (c.status == 0xC0) events.pop_back();  // the closing program change
    ASSERT_EQ(events.size(), 300u) << source;
    std::vector<int> values;
    for (size_t i = 0; i < events.size(); ++i) {
      EXPECT_EQ(events[i].tick, static_cast<int64_t>(i)) << source;
      values.push_back(events[i].bytes[c.valueByte]);
    }
    ExpectCovers(values, c.lo, c.hi, source);
  }
  // The controller of the set; the program map of "@".
  ExpectMatch("'{(T1) @RNDS1,2,74,10,1,*5,0,0 @RND1,*10", {"0: B0 4A ??", "5: B0 4A ??"});
  ExpectMatch("'{(T1) @RNDS1,3,0,10,1,*5,0,0 @RND1,*10", {"0: C0 2A", "5: C0 2A", "10: C0 00"},
              [](TMmlc& m) { std::fill(m.FProgramMap.begin() + 1, m.FProgramMap.end(), uint8_t{42}); });
}

TEST(Random, StepModes) {
  const std::vector<std::pair<std::string, Events>> cases = {
      {"@RNDS1,2,7,100,1,*7,0,0 @RND1,*20", {"0: B0 07 ??", "7: B0 07 ??", "14: B0 07 ??"}},
      {"@RNDS1,2,7,100,1,*0,1,0 @RND1,*3", {"0: B0 07 ??", "1: B0 07 ??", "2: B0 07 ??"}},  // mode 1, step 0: 1
      {"@RNDL3,*10,*20 @RNDS1,2,7,100,1,*5,2,3 @RND1,*100",
       {"0: B0 07 ??", "10: B0 07 ??", "30: B0 07 ??", "40: B0 07 ??", "60: B0 07 ??", "70: B0 07 ??", "90: B0 07 ??"}},
      {"@RNDS1,2,7,100,1,*25,2,9 @RND1,*100", {"0: B0 07 ??", "25: B0 07 ??", "50: B0 07 ??", "75: B0 07 ??"}},
      {"@RNDL3,0,*10 @RNDS1,2,7,100,1,*5,2,3 @RND1,*25",
       {"0: B0 07 ??", "0: B0 07 ??", "10: B0 07 ??", "10: B0 07 ??", "20: B0 07 ??", "20: B0 07 ??"}},
      // The step list is looked up when the stream is written; each stream starts at its first entry.
      {"@RNDS1,2,7,100,1,*5,2,3 @RNDL3,*10,*5 @RND1,*12 @RND1,*12",
       {"0: B0 07 ??", "10: B0 07 ??", "12: B0 07 ??", "22: B0 07 ??"}},
  };
  for (const auto& [source, events] : cases) ExpectMatch("'{(T1) " + source, events);

  // Mode 1: random steps of 1 to the step, every one of them occurring.
  const std::vector<Event> events = WithStatus(EventsOf("'{(T1) @RNDS2,2,7,100,20,*6,1,0 @RND2,*3000"), 0xB0);
  std::vector<int> steps, values;
  EXPECT_EQ(events.front().tick, 0);
  for (size_t i = 0; i < events.size(); ++i) {
    values.push_back(events[i].bytes[2]);
    if (i > 0) steps.push_back(static_cast<int>(events[i].tick - events[i - 1].tick));
  }
  EXPECT_LT(events.back().tick, 3000);
  ExpectCovers(steps, 1, 6, "random steps");
  ExpectCovers(values, 80, 120, "values");
  // The example: control changes over a quarter note, no closing event.
  const std::vector<Event> quarter = Parse(EventsOf("'{(T1) @RNDS2,2,7,100,20,*6,1,0 @RND2,4"));
  ASSERT_FALSE(quarter.empty());
  for (const Event& e : quarter) {
    EXPECT_LT(e.tick, 48);
    EXPECT_EQ(e.bytes[0], 0xB0);
  }
}

TEST(Random, LengthsAndClosingEvents) {
  const std::vector<std::pair<std::string, Events>> cases = {
      // A length of 1 writes nothing and does not move the output time, even for an unknown set.
      {"@RNDS1,2,7,100,1,*5,0,0 @RND1,*1 @RND9,*1 C", {"0: 90 3C 7F", "24: 80 3C 00"}},
      // A length of 0: only the closing events of kinds 1 and 3.
      {"@RNDS1,0,0,60,1,*5,0,0 @RND1,*0", {}},
      {"@RNDS1,2,7,100,1,*5,0,0 @RND1,*0", {}},
      {"@RNDS1,1,0,64,1,*5,0,0 @RND1,*0", {"0: E0 00 40"}},
      {"@RNDS1,3,0,64,1,*5,0,0 @RND1,*0", {"0: C0 00"}},
      // The bend returns to "Y" at the end even when the last step ran past it.
      {"Y70 @RNDS1,1,0,64,1,*7,0,0 @RND1,*10 C",
       {"0: E0 00 46", "0: E0 00 ??", "7: E0 00 ??", "10: E0 00 46", "10: 90 3C 7F", "34: 80 3C 00"}},
      // The program returns to the track's program.
      {"@5 @RNDS1,3,0,64,1,*5,0,0 @RND1,*5", {"0: C0 04", "0: C0 ??", "5: C0 04"}},
  };
  for (const auto& [source, events] : cases) ExpectMatch("'{(T1) " + source, events);
}

TEST(Random, ProgramStreamsWithBankSelect) {
  const auto bank = [](TMmlc& m) { m.FOptBankInsert = true; };
  // Steps ending on the length: the closing program change without a bank select.
  ExpectMatch("'{(T1) @RNDS1,3,0,10,1,*5,0,0 @RND1,*10",
              {"0: B0 00 7C", "0: B0 20 01", "0: C0 ??", "5: B0 00 7C", "5: B0 20 01", "5: C0 ??", "10: C0 00"}, bank);
  // A last step past the length: bank select and program change.
  ExpectMatch("'{(T1) @RNDS1,3,0,10,1,*4,0,0 @RND1,*10",
              {"0: B0 00 7C", "0: B0 20 01", "0: C0 ??", "4: B0 00 7C", "4: B0 20 01", "4: C0 ??", "8: B0 00 7C",
               "8: B0 20 01", "8: C0 ??", "10: B0 00 7C", "10: B0 20 01", "10: C0 00"},
              bank);
  ExpectMatch("'{(T1,D) @RNDS1,3,0,10,1,*4,0,0 @RND1,*6",
              {"0: B9 07 7F", "0: B9 00 7D", "0: B9 20 00", "0: C9 ??", "4: B9 00 7D", "4: B9 20 00", "4: C9 ??",
               "6: B9 00 7D", "6: B9 20 00", "6: C9 00"},
              bank);
  ExpectMatch("'{(T1) @RNDS1,3,0,10,1,*4,0,0 @RND1,*6", {"0: C0 ??", "4: C0 ??", "6: C0 00"}, [](TMmlc& m) {
    m.FOptBankInsert = true;
    m.FOptToneBank = false;
  });
}

TEST(Random, MutedPartsWriteOnlyNotesAndTheClosingBend) {
  const auto bank = [](TMmlc& m) { m.FOptBankInsert = true; };
  ExpectMatch("'{(P2)(T1) @RNDS1,0,0,60,1,*5,0,0 @RND1,*5", {"0: 90 ?? 7F", "5: 80 ?? 00"});
  ExpectMatch("'{(P2)(T1) @RNDS1,1,0,60,1,*5,0,0 @RND1,*10", {"10: E0 00 40"});
  ExpectMatch("'{(P2)(T1) @RNDS1,2,7,60,1,*5,0,0 @RND1,*10", {});
  ExpectMatch("'{(P2)(T1) @RNDS1,3,0,60,1,*4,0,0 @RND1,*10", {}, bank);
  // The output time moves on all the same.
  int64_t offset = 0;
  CompileMml("'{(P2)(T1) @RNDS1,2,7,60,1,*5,0,0 @RND1,*10 @RND1,*4", {}, [&](TMmlc& m) { offset = m.FRewindOffset; });
  EXPECT_EQ(offset, -14);
}

TEST(Random, SameSeedSameFile) {
  const std::string source =
      "'{(T1) @UR128,20 @QR5,5 C D E @RNDS1,0,0,60,12,*8,1,0 @RND1,1 @RNDS2,2,10,64,40,*3,0,0 @RND2,2 "
      "@UL+3,-3 F G";
  const Compiled a = CompileMml(source), b = CompileMml(source);
  ASSERT_TRUE(a.ok) << a.error;
  EXPECT_FALSE(a.smf.empty());
  EXPECT_EQ(a.smf, b.smf);
}

TEST(Random, Errors) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"'{ @RNDS1,0,0,0,1,1,0,0", "1:8: ｢ @RNDS ｣ 現在の句では使用出来ないコマンドです."},
      {"'{(T1)\n@RNDS", "2:5: ｢ @RNDS ｣ パターン番号に誤りがあります."},
      {"'{(T1)\n@RNDS1", "2:6: ｢ @RNDS ｣ パターンを指定して下さい."},
      {"'{(T1)\n@RNDS1,4,0,0,1,1,0,0", "2:8: ｢ @RNDS ｣ 値が不正です."},
      {"'{(T1)\n@RNDS1,0,128,0,1,1,0,0", "2:12: ｢ @RNDS ｣ 値が不正です."},
      {"'{(T1)\n@RNDS1,0,0,128,1,1,0,0", "2:14: ｢ @RNDS ｣ 値が不正です."},
      {"'{(T1)\n@RNDS1,0,0,0,0,1,0,0", "2:14: ｢ @RNDS ｣ 値が不正です."},
      {"'{(T1)\n@RNDS1,0,0,0,128,1,0,0", "2:16: ｢ @RNDS ｣ 値が不正です."},
      {"'{(T1)\n@RNDS1,0,0,0,1,1,3,0", "2:18: ｢ @RNDS ｣ 値が不正です."},
      {"'{(T1)\n@RNDS1,0,0,0,1,1,0,", "2:19: ｢ @RNDS ｣ 値が不正です."},
      {"'{(T1)\n@RNDS1,0,0,0,1,1,0", "2:18: ｢ @RNDS ｣ 引数の指定数が足りません."},
      {"'{(T1)\n@RNDS1,0 0", "2:9: ｢ @RNDS ｣ 引数の指定数が足りません."},
      {"'{(T1)\n@RNDS1,,0", "2:7: ｢ @RNDS ｣ 値が不正です."},
      {"'{ @RNDL1,1", "1:8: ｢ @RNDL ｣ 現在の句では使用出来ないコマンドです."},
      {"'{(T1)\n@RNDL", "2:5: ｢ @RNDL ｣ パターン番号に誤りがあります."},
      {"'{(T1)\n@RNDL1", "2:6: ｢ @RNDL ｣ 引数の指定数が足りません."},
      {"'{ @RND1,1", "1:7: ｢ @RND ｣ 現在の句では使用出来ないコマンドです."},
      {"'{(T1)\n@RND", "2:4: ｢ @RND ｣ パターン番号に誤りがあります."},
      {"'{(T1)\n@RND1", "2:5: ｢ @RND ｣ 引数の指定数が足りません."},
      // A set that "@RNDS" never defined.
      {"'{(T1) @RNDS1,0,0,0,1,1,0,0\n@RND2,4", "2:7: ｢ @RND ｣ パターン番号に誤りがあります."},
      // Steps that never advance the time.
      {"'{(T1) @RNDS1,0,0,60,12,*0,0,0\n@RND1,4", "2:7: ｢ @RND ｣ 値が不正です."},
      {"'{(T1) @RNDS1,0,0,60,12,*0,0,0\n@RND1,*0", "2:8: ｢ @RND ｣ 値が不正です."},
      {"'{(T1) @RNDS1,0,0,60,12,*0,2,5\n@RND1,4", "2:7: ｢ @RND ｣ 値が不正です."},
      {"'{(T1) @RNDS1,0,0,60,12,*9,2,5 @RNDL5,0,*0,0\n@RND1,4", "2:7: ｢ @RND ｣ 値が不正です."},
  };
  for (const auto& [source, error] : cases) EXPECT_EQ(ErrorOf(source), error) << source;
}

TEST(Random, EndlessStreamsStopAtTheWorkBound) {
  // One tick per step over a length far beyond the work budget, on a muted part (no events).
  EXPECT_EQ(ErrorOf("'{(P2)(T1) @RNDS1,2,7,60,1,*1,0,0\n@RND1,*2000000000"),
            "2:17: ｢ @RND ｣ 処理量が上限を超えました.");
}

}  // namespace
}  // namespace tw::test
