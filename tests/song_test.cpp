// Whole songs compiled to files and compared byte for byte with images worked out by hand.
#include <gtest/gtest.h>

#include "TestUtil.h"

namespace tw::test {
namespace {

// "4D 54 ..." to bytes; blanks and line breaks are ignored.
std::string Hex(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (char c : text) {
    const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      bytes += static_cast<char>(high * 16 + v);
      high = -1;
    }
  }
  return bytes;
}

std::string Header(int trackLength) {
  return Hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 30 4D 54 72 6B") + std::string(2, '\0') +
         static_cast<char>(trackLength >> 8) + static_cast<char>(trackLength & 0xFF);
}

TEST(Song, SettingsVoicesAndTwoTracks) {
  const Compiled c = CompileMml(
      "(SETTING)\n"
      "TITLE=Test\n"
      "MASTERVOL=100\n"
      "(T1)\n"
      "T120 @1 V63 L4 C D\n"
      "(T2)\n"
      "@2 P32 E2\n");
  ASSERT_TRUE(c.ok) << c.error;
  const std::string expected = Header(80) + Hex(
      "00 FF 01 11") + "XFln:JP:Test:::::" + Hex(
      "00 F0 07 7F 7F 04 01 00 64 F7"  // master volume
      "00 FF 51 03 07 A1 20"           // tempo 120
      "00 C0 00  00 B0 07 7F"          // track 1: program 0, volume 127
      "00 C1 01  00 B1 0A 41"          // track 2: program 1, pan 65
      "00 90 3C 7F  00 91 40 7F"       // note-ons after everything else of tick 0
      "30 80 3C 00  00 90 3E 7F"       // C ends where D starts: off first
      "30 80 3E 00  00 81 40 00"
      "00 FF 2F 00");
  EXPECT_EQ(c.smf, expected);
}

}  // namespace
}  // namespace tw::test
