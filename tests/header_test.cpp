// Header settings of the setting section.
#include <gtest/gtest.h>

#include <cstdio>

#include "Cp932.h"
#include "TestUtil.h"

namespace tw::test {
namespace {

// "tick: FF type len bytes..." for a meta event whose text is given in UTF-8 (short texts only).
std::string Meta(int tick, int type, std::string_view utf8) {
  const std::string bytes = Utf8ToCp932(utf8);
  char buf[16];
  std::snprintf(buf, sizeof buf, ": FF %02X %02X", type, static_cast<unsigned>(bytes.size()));
  std::string line = std::to_string(tick) + buf;
  for (unsigned char b : bytes) {
    std::snprintf(buf, sizeof buf, " %02X", b);
    line += buf;
  }
  return line;
}

// The four control changes of registered parameter 0 on one channel.
void AddBendRange(Events& events, int tick, int channel, int range) {
  char buf[40];
  for (auto [controller, value] : {std::pair{0x65, 0}, {0x64, 0}, {0x06, range}, {0x26, 0}}) {
    std::snprintf(buf, sizeof buf, "%d: B%X %02X %02X", tick, channel, controller, value);
    events.push_back(buf);
  }
}

TEST(Header, TitleAndCopy) {
  const std::vector<std::pair<const char*, Events>> cases = {
      {"(SETTING)\nTITLE = My Song ' x", {Meta(0, 1, "XFln:JP:My Song:::::")}},
      {"(SETTING)\ntitle=\t着信音 \t\n", {Meta(0, 1, "XFln:JP:着信音:::::")}},
      {"(SETTING)\nTITLE", {Meta(0, 1, "XFln:JP::::::")}},
      // Without "=" the blank skipping runs on to the next line, which becomes the title.
      {"(SETTING)\nTITLE\nCOPY = x", {Meta(0, 1, "XFln:JP:COPY = x:::::")}},
      {"(SETTING)\nTITLE=\nCOPY=x", {Meta(0, 1, "XFln:JP::::::"), Meta(0, 2, "x")}},
      // The back-quote ends the line.
      {"(SETTING) TITLE=a`OCT=1 COPY b", {Meta(0, 1, "XFln:JP:a:::::"), Meta(0, 2, "b")}},
      {"(SETTING)\nCOPY = Example Works 2004\n", {Meta(0, 2, "Example Works 2004")}},
      {"(SETTING)\nCOPY=   \n", {}},
      {"(SETTING)\nCOPY='x\n", {}},
      // Header events stand at the output time of the track before.
      {"(T1) C (SETTING) TITLE=t", {"0: 90 3C 7F", "24: 80 3C 00", Meta(24, 1, "XFln:JP:t:::::")}},
  };
  for (const auto& [source, expected] : cases) EXPECT_EQ(EventsOf(source), expected) << source;
}

TEST(Header, MasterVolume) {
  const std::vector<std::pair<const char*, Events>> cases = {
      {"(SETTING) MASTERVOL=100", {"0: F0 07 7F 7F 04 01 00 64 F7"}},
      {"(SETTING) MASTERVOL 0 MASTERVOL=127", {"0: F0 07 7F 7F 04 01 00 00 F7", "0: F0 07 7F 7F 04 01 00 7F F7"}},
      {"(SETTING)\nMASTERVOL\n100", {"0: F0 07 7F 7F 04 01 00 64 F7"}},
      // No number: the rest of the line is dropped.
      {"(SETTING)\nMASTERVOL=ON MASTERVOL=1\nMASTERVOL=2", {"0: F0 07 7F 7F 04 01 00 02 F7"}},
      // Only the number is consumed; the next keyword follows on the same line.
      {"(SETTING) MASTERVOL=100 SYNC=1 MASTERVOL=3", {"0: F0 07 7F 7F 04 01 00 64 F7"}},
  };
  for (const auto& [source, expected] : cases) EXPECT_EQ(EventsOf(source), expected) << source;

  int master = 0;
  CompileMml("(SETTING) MASTERVOL=90 (T1) (T2)", {}, [&](TMmlc& m) { master = m.FMasterVolume; });
  EXPECT_EQ(master, 90);
  EXPECT_EQ(ErrorOf("(SETTING)\nMASTERVOL=128"), "2:13: ｢ MASTERVOL ｣ 値が不正です.");
}

TEST(Header, BendRange) {
  Events all12;
  for (int c = 0; c < 16; ++c) AddBendRange(all12, 0, c, 12);
  Events listed;
  AddBendRange(listed, 0, 0, 12);
  AddBendRange(listed, 0, 2, 24);
  Events seventeen;
  for (int c = 0; c < 16; ++c) AddBendRange(seventeen, 0, c, c + 1);
  Events gaps;
  AddBendRange(gaps, 0, 0, 3);
  AddBendRange(gaps, 0, 2, 5);
  AddBendRange(gaps, 0, 15, 127);
  Events loopMarks;
  for (int c = 0; c < 16; ++c) AddBendRange(loopMarks, 0, c, 22);

  const std::vector<std::pair<const char*, Events>> cases = {
      {"(SETTING) BENDRANGE=12", all12},
      {"(SETTING) BENDRANGE=12,0,24", listed},
      {"(SETTING) BENDRANGE=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18 OCT=0", seventeen},
      {"(SETTING) BENDRANGE=3,,5,128,,,,,,,,,,,,127", gaps},
      {"(SETTING) BENDRANGE=22", loopMarks},
      {"(SETTING) BENDRANGE=0", {}},
      {"(SETTING) BENDRANGE=128", {}},
  };
  for (const auto& [source, expected] : cases) EXPECT_EQ(EventsOf(source), expected) << source;

  // No number: every range is unset, nothing is written, and the line goes on.
  std::array<int, 16> ranges{};
  bool upOnLess = true;
  const Compiled c = CompileMml("(SETTING) BENDRANGE=12 BENDRANGE= OCT=1", {}, [&](TMmlc& m) {
    ranges = m.FBendRange;
    upOnLess = m.FOctaveUpOnLess;
  });
  EXPECT_EQ(c.events.size(), 65u);  // the first BENDRANGE and the end of track
  std::array<int, 16> unset;
  unset.fill(-1);
  EXPECT_EQ(ranges, unset);
  EXPECT_FALSE(upOnLess);

  CompileMml("(SETTING) BENDRANGE=12,0,24", {}, [&](TMmlc& m) { ranges = m.FBendRange; });
  EXPECT_EQ(ranges, (std::array<int, 16>{12, -1, 24, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}));
}

TEST(Header, MonoPoly) {
  Events allMono;
  for (int c = 0; c < 16; ++c) allMono.push_back("0: B" + std::string(1, "0123456789ABCDEF"[c]) + " 7E 01");
  const std::vector<std::pair<const char*, Events>> cases = {
      {"(SETTING) MONOPOLY=0", allMono},
      {"(SETTING) MONOPOLY=1,0", {"0: B0 7F 00", "0: B1 7E 01"}},
      {"(SETTING) MONOPOLY=2,,1", {"0: B2 7F 00"}},
      {"(SETTING) MONOPOLY=2", {}},
      {"(SETTING)\nMONOPOLY=ON MONOPOLY=0\nMONOPOLY 1,1", {"0: B0 7F 00", "0: B1 7F 00"}},
  };
  for (const auto& [source, expected] : cases) EXPECT_EQ(EventsOf(source), expected) << source;
}

TEST(Header, NoteModeAndOct) {
  auto noteMode = [](const char* source) {
    bool mode = false;
    EXPECT_TRUE(CompileMml(source, {}, [&](TMmlc& m) { mode = m.FNoteMode; }).ok) << source;
    return mode;
  };
  EXPECT_TRUE(noteMode("(SETTING) NOTEMODE=1"));
  EXPECT_TRUE(noteMode("(SETTING) NOTEMODE=1 NOTEMODE=5"));
  EXPECT_FALSE(noteMode("(SETTING) NOTEMODE=1 NOTEMODE 0"));
  EXPECT_FALSE(noteMode("(SETTING)\nNOTEMODE=X NOTEMODE=1\n"));

  EXPECT_EQ(EventsOf("(SETTING) OCT=1 (T1) < C > > D"),
            (Events{"0: 90 30 7F", "24: 80 30 00", "24: 90 4A 7F", "48: 80 4A 00"}));
  EXPECT_EQ(EventsOf("(SETTING) OCT=2 OCT=0 (T1) < C"), (Events{"0: 90 48 7F", "24: 80 48 00"}));
  EXPECT_EQ(EventsOf("(SETTING)\nOCT=x OCT=1\n(T1) < C"), (Events{"0: 90 48 7F", "24: 80 48 00"}));
}

TEST(Header, IgnoredKeywordsSkipTheirLine) {
  for (const char* keyword : {"SORC", "DATE", "PROT", "TARGET", "LIMIT", "OPTIMIZE", "SYNC", "TONEFILE"}) {
    const std::string mv = "0: F0 07 7F 7F 04 01 00 02 F7";
    // The line after "=" is dropped; alone on its line the keyword drops the next line.
    EXPECT_EQ(EventsOf(std::string("(SETTING)\n") + keyword + " = x MASTERVOL=1\nMASTERVOL=2"), (Events{mv}));
    EXPECT_EQ(EventsOf(std::string("(SETTING)\n") + keyword + "\n\nMASTERVOL=1\nMASTERVOL=2"), (Events{mv}));
  }
  for (const char* keyword : {"VIBRATION", "FLASH"}) {
    // A number is consumed alone; without one the line is dropped.
    EXPECT_EQ(EventsOf(std::string("(SETTING) ") + keyword + "=3 MASTERVOL=2"),
              (Events{"0: F0 07 7F 7F 04 01 00 02 F7"}));
    EXPECT_EQ(EventsOf(std::string("(SETTING)\n") + keyword + "=ON MASTERVOL=1\nMASTERVOL=2"),
              (Events{"0: F0 07 7F 7F 04 01 00 02 F7"}));
  }
}

TEST(Header, WordsAreFormedOnlyInTheSettingSection) {
  // Elsewhere the letters are single commands, so a header word never reaches its handler.
  EXPECT_EQ(ErrorOf("(T1) TITLE"), "1:6: ｢ T ｣ 値が不正です.");
  EXPECT_EQ(ErrorOf("OCT=1"), "1:1: ｢ O ｣ 現在の句では使用出来ないコマンドです.");
}

}  // namespace
}  // namespace tw::test
