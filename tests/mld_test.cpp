// The MLD loop patcher: loop data, the file walk, the loop bytes, structure faults and a failing
// write. Files are assembled from hex event text so that each case shows its bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Cp932.h"
#include "FileIO.h"
#include "MldLpFixU.h"
#include "TestUtil.h"

namespace tw::test {
namespace {

// "00 FF E7 16" -> the four bytes; blanks are ignored.
std::string Hex(std::string_view hex) {
  std::string bytes;
  int high = -1;
  for (const char c : hex) {
    if (c == ' ') continue;
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10;
    if (high < 0) {
      high = digit;
    } else {
      bytes += static_cast<char>(high * 16 + digit);
      high = -1;
    }
  }
  EXPECT_EQ(high, -1) << "odd number of hex digits in " << hex;
  return bytes;
}

std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (!hex.empty()) hex += ' ';
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

std::string Be16(unsigned v) { return {static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v & 0xFF)}; }
std::string Be32(uint32_t v) { return Be16(v >> 16) + Be16(v & 0xFFFF); }

// The 13-byte file head: "melo", four unread bytes, header length H, two unread bytes, T.
std::string Head(unsigned headerLength, unsigned trackCount) {
  return "melo" + Hex("00 00 00 00") + Be16(headerLength) + Hex("00 00") + static_cast<char>(trackCount);
}

// A header chunk: identifier, 2-byte length, data.
std::string Chunk(std::string_view id, std::string_view data) {
  return std::string(id) + Be16(static_cast<unsigned>(data.size())) + std::string(data);
}
std::string NoteChunk(unsigned extraNoteBytes) { return Chunk("note", Be16(extraNoteBytes)); }

// A track chunk holding the events (hex text).
std::string Trac(std::string_view hexEvents) {
  const std::string events = Hex(hexEvents);
  return "trac" + Be32(static_cast<uint32_t>(events.size())) + events;
}

// A well-formed file: the head with the matching header length and track count, the header
// chunks, one track chunk per entry of hex events.
std::string Mld(const std::vector<std::string>& header, const std::vector<std::string>& tracks) {
  std::string chunks;
  for (const std::string& c : header) chunks += c;
  std::string body;
  for (const std::string& t : tracks) body += Trac(t);
  return Head(static_cast<unsigned>(3 + chunks.size()), static_cast<unsigned>(tracks.size())) + chunks + body;
}

struct Patched {
  bool ok = false;
  std::string report;  // UTF-8
  std::string file;    // the MLD file afterwards
  std::vector<std::string> folder;  // names in the folder afterwards
};

// Writes song.mld (and song.lpd when given) into a fresh folder and patches song.mld.
Patched RunPatch(const std::string& mld, const std::optional<std::string>& lpd = std::nullopt) {
  const std::string dir = TempDir();
  const std::string path = dir + "/song.mld";
  WriteFile(path, mld);
  if (lpd) WriteFile(dir + "/song.lpd", *lpd);
  TMldLpPatch patcher;
  Patched result;
  result.ok = patcher.PatchFile(path);
  result.report = Cp932ToUtf8(patcher.FReport);
  result.file = ReadFile(path);
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    result.folder.push_back(entry.path().filename().string());
  std::sort(result.folder.begin(), result.folder.end());
  return result;
}

constexpr char kNoLoopFile[] = "ループ情報ファイル無し(2回固定)";
constexpr char kNoLoopData[] = "ループ情報無し(2回固定)";
constexpr char kLoopData[] = "ループ情報有り";
constexpr char kBadStructure[] = "MLDファイルの構造が不正です。";

std::string Report(const std::string& status, int loops) { return status + "\r\nループ数:" + std::to_string(loops); }

TEST(MldPatch, DescribedTwoLoopsWithCounts2And4) {
  const Patched p = RunPatch(Mld({}, {"00 FF E7 16 00 90 3C 00 FF E7 17 00 FF E7 16 00 80 3C 00 FF E7 17"}), "2\r\n4\r\n");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(ToHex(p.file), ToHex(Mld({}, {"00 FF DD 00 00 90 3C 00 FF DD 05 00 FF DD 40 00 80 3C 00 FF DD 4D"})));
  EXPECT_EQ(p.report, Report(kLoopData, 2));
}

// Five loops in one track: the loop data decides the count field of each loop end; loop ends
// after the fourth keep number 3 and the fourth count.
TEST(MldPatch, LoopDataGivesCountFields) {
  const std::string fiveLoops = "00 FF E7 16 00 FF E7 17  00 FF E7 16 00 FF E7 17  00 FF E7 16 00 FF E7 17"
                                "  00 FF E7 16 00 FF E7 17  00 FF E7 16 00 FF E7 17";
  struct Case {
    std::optional<std::string> lpd;
    std::vector<unsigned> fields;  // count field of loops 0..3
    std::string status;
  };
  const std::vector<Case> cases = {
      {std::nullopt, {1, 1, 1, 1}, kNoLoopFile},
      {"", {1, 1, 1, 1}, kNoLoopData},
      {"3\r\n16\r\n", {2, 15, 1, 1}, kLoopData},
      {"1\r\n0\r\n17\r\n2\r\n", {0, 15, 0, 1}, kLoopData},
      // Not a decimal integer: counts as 2. An empty line is a line of its own.
      {"x\r\n\r\n5a\r\n0x5\r\n", {1, 1, 1, 1}, kLoopData},
      {"\r\n", {1, 1, 1, 1}, kLoopData},
      // Negative numbers take the mathematical modulo: -1 gives 14, -15 gives 0.
      {"-1\r\n-15\r\n-16\r\n+7\r\n", {14, 0, 15, 6}, kLoopData},
      // Numbers beyond any integer type are reduced exactly: 2^31 gives 15, 10^30 - 1 gives 14.
      {"2147483648\r\n999999999999999999999999999999\r\n-999999999999999999999999999999\r\n18446744073709551617\r\n",
       {15, 14, 0, 0},
       kLoopData},
      // Blanks around the number; LF or CR line ends; no line end after the last line.
      {" 3\t\n4 \r9", {2, 3, 8, 1}, kLoopData},
      // Lines after the fourth belong to no loop.
      {"2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n", {1, 2, 3, 4}, kLoopData},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lpd ? "lpd \"" + *c.lpd + "\"" : "no lpd");
    const Patched p = RunPatch(Mld({}, {fiveLoops}), c.lpd);
    EXPECT_TRUE(p.ok);
    std::string expected;
    for (unsigned loop = 0; loop < 5; ++loop) {
      const unsigned number = std::min(loop, 3u);
      expected += "00 FF DD " + ToHex(std::string(1, static_cast<char>(number * 64))) + " ";
      expected += "00 FF DD " + ToHex(std::string(1, static_cast<char>(number * 64 + c.fields[number] * 4 + 1))) + " ";
    }
    EXPECT_EQ(ToHex(p.file), ToHex(Mld({}, {expected})));
    EXPECT_EQ(p.report, Report(c.status, 5));
  }
}

// How events are delimited and which of them are rewritten. No loop data: every count field is 1.
TEST(MldPatch, EventWalk) {
  struct Case {
    const char* name;
    std::vector<std::string> header;
    std::vector<std::string> tracks;    // hex events
    std::vector<std::string> expected;  // hex events afterwards
    int loops;
  };
  const std::vector<Case> cases = {
      {"without note chunk note events are three bytes",
       {},
       {"00 90 3C 00 FF E7 16 00 80 3C 00 FF E7 17"},
       {"00 90 3C 00 FF DD 00 00 80 3C 00 FF DD 05"},
       1},
      {"note chunk 1 makes note events four bytes",
       {NoteChunk(1)},
       {"00 90 3C 40 00 FF E7 16 00 FF E7 17"},
       {"00 90 3C 40 00 FF DD 00 00 FF DD 05"},
       1},
      {"the same bytes read as three-byte notes hold no proxy event",
       {},
       {"00 90 3C 40 00 FF E7 16 00 FF E7 17"},
       {"00 90 3C 40 00 FF E7 16 00 FF E7 17"},
       0},
      {"note chunk 0 and other header chunks, whose data is never patched",
       {Chunk("vers", Hex("00 FF E7 16")), NoteChunk(0), Chunk("titl", "")},
       {"00 FF E7 16 00 FF E7 17"},
       {"00 FF DD 00 00 FF DD 05"},
       1},
      {"the last note chunk counts",
       {NoteChunk(3), NoteChunk(2)},
       {"00 90 3C 01 02 00 FF E7 16 00 FF E7 17"},
       {"00 90 3C 01 02 00 FF DD 00 00 FF DD 05"},
       1},
      {"long extended events are stepped over by their length",
       {},
       {"00 FF F0 00 04 00 FF E7 16 00 FF FF 00 00 00 FF E7 16 00 FF F5 00 01 17 00 FF E7 17"},
       {"00 FF F0 00 04 00 FF E7 16 00 FF FF 00 00 00 FF DD 00 00 FF F5 00 01 17 00 FF DD 05"},
       1},
      {"other values, other codes, existing loop events and E7 in a note stay",
       {},
       {"00 FF E7 15 00 FF E7 18 00 FF E6 16 00 FF EF 17 00 FF DD 05 00 E7 16 00 FF E7 16 00 FF E7 17"},
       {"00 FF E7 15 00 FF E7 18 00 FF E6 16 00 FF EF 17 00 FF DD 05 00 E7 16 00 FF DD 00 00 FF DD 05"},
       1},
      {"loop numbers run on across tracks; a loop may span two tracks",
       {},
       {"00 FF E7 16 00 FF E7 17 00 FF E7 16", "", "00 FF E7 17 00 FF E7 16 00 FF E7 17"},
       {"00 FF DD 00 00 FF DD 05 00 FF DD 40", "", "00 FF DD 45 00 FF DD 80 00 FF DD 85"},
       3},
      {"a start without an end and an end without a start",
       {},
       {"00 FF E7 17 00 FF E7 16 00 FF E7 16"},
       {"00 FF DD 05 00 FF DD 40 00 FF DD 40"},
       1},
      {"no proxy events: written back unchanged", {}, {"00 90 3C 00 80 3C"}, {"00 90 3C 00 80 3C"}, 0},
      {"no tracks", {}, {}, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Patched p = RunPatch(Mld(c.header, c.tracks));
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(ToHex(p.file), ToHex(Mld(c.header, c.expected)));
    EXPECT_EQ(p.report, Report(kNoLoopFile, c.loops));
    EXPECT_EQ(p.folder, (std::vector<std::string>{"song.mld"}));
  }
}

// Files that are not built the usual way but still walk to the end.
TEST(MldPatch, OddButWalkableFiles) {
  struct Case {
    const char* name;
    std::string file;
    std::string expected;
    int loops;
  };
  const std::vector<Case> cases = {
      {"track count 0: the track that follows is not walked",
       Head(3, 0) + Trac("00 FF E7 16"), Head(3, 0) + Trac("00 FF E7 16"), 0},
      {"header chunk longer than the header: the tracks start at 10 + H all the same",
       Head(3 + 6, 1) + "abcd" + Be16(8) + Trac("00 FF E7 17"),
       Head(3 + 6, 1) + "abcd" + Be16(8) + Trac("00 FF DD 05"), 1},
      {"header length ending exactly at the end of the file, no tracks", Head(3, 0), Head(3, 0), 0},
      {"bytes after the last track stay",
       Mld({}, {"00 FF E7 17"}) + Hex("00 FF E7 16"), Mld({}, {"00 FF DD 05"}) + Hex("00 FF E7 16"), 1},
      // An event may run over its chunk's end as long as it stays inside the file.
      {"proxy event running over the chunk end",
       Head(3, 1) + "trac" + Be32(3) + Hex("00 FF E7 17"), Head(3, 1) + "trac" + Be32(3) + Hex("00 FF DD 05"), 1},
      {"long event whose length runs past the end of the file is only stepped over",
       Mld({}, {"00 FF E7 17 00 FF F1 FF FF"}), Mld({}, {"00 FF DD 05 00 FF F1 FF FF"}), 1},
      {"note event whose extra bytes run past the end of the file",
       Mld({NoteChunk(9)}, {"00 90 3C"}), Mld({NoteChunk(9)}, {"00 90 3C"}), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Patched p = RunPatch(c.file);
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(ToHex(p.file), ToHex(c.expected));
    EXPECT_EQ(p.report, Report(kNoLoopFile, c.loops));
  }
}

// Every structure fault: the report is the structure error (in place of the loop data status),
// the result false, and the file is left exactly as it was, even when proxy events were
// already met before the fault.
TEST(MldPatch, StructureFaults) {
  struct Case {
    const char* name;
    std::string file;
  };
  const std::string oneTrack = Trac("00 FF E7 16 00 FF E7 17");
  const std::vector<Case> cases = {
      {"empty file", ""},
      {"head shorter than 13 bytes", Head(3, 0).substr(0, 12)},
      {"head not melo", "Melo" + Head(3, 1).substr(4) + oneTrack},
      {"header length beyond the end of the file", Head(4, 0)},
      {"header length far beyond the end", Head(0xFFFF, 0) + std::string(100, '\0')},
      {"header chunk head cut off", Head(3 + 5, 0) + "note" + Hex("00")},
      {"note chunk length 3", Head(3 + 9, 1) + Chunk("note", Hex("00 01 00")) + oneTrack},
      {"note chunk length 1", Head(3 + 7, 1) + Chunk("note", Hex("01")) + oneTrack},
      {"note chunk value cut off", Head(3 + 6, 0) + "note" + Be16(2)},
      {"note chunk value cut off by one byte", Head(3 + 7, 0) + "note" + Be16(2) + Hex("00")},
      {"track chunk head cut off", Head(3, 1) + "trac" + Hex("00 00 00")},
      {"track chunk not trac", Head(3, 1) + "TRAC" + oneTrack.substr(4)},
      {"more tracks than the file holds, the last ending at the end of the file", Head(3, 2) + oneTrack},
      {"fault in the second track after proxy events in the first", Head(3, 2) + oneTrack + "trak" + Be32(0)},
      {"track length past the end of the file", Head(3, 1) + "trac" + Be32(9) + Hex("00 FF E7 16 00 FF E7 17")},
      {"track length past the end of the file, its last event stepping beyond it",
       Head(3, 1) + "trac" + Be32(12) + Hex("00 FF E7 17 00 FF F1 00 05")},
      {"track length FFFFFFFF", Head(3, 1) + "trac" + Be32(0xFFFFFFFF) + Hex("00 FF E7 16")},
      {"event cut off by the end of the file", Head(3, 1) + "trac" + Be32(2) + Hex("00 FF")},
      {"extended event without its value byte", Head(3, 1) + "trac" + Be32(3) + Hex("00 FF E7")},
      {"long extended event without its length", Head(3, 1) + "trac" + Be32(4) + Hex("00 FF F0 00")},
      {"event cut off by the end of the file after a proxy event",
       Head(3, 1) + "trac" + Be32(5) + Hex("00 FF E7 17 00")},
      {"event running over the chunk end and the end of the file", Head(3, 1) + "trac" + Be32(1) + Hex("00 FF")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Patched p = RunPatch(c.file, "3\r\n");
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.report, kBadStructure);
    EXPECT_EQ(ToHex(p.file), ToHex(c.file));
    EXPECT_EQ(p.folder, (std::vector<std::string>{"song.lpd", "song.mld"}));
  }
}

// A failing write leaves the original whole and no temporary file behind; the report keeps the
// loop data status and the loop count line.
TEST(MldPatch, WriteFailureKeepsTheFile) {
  const std::string file = Mld({}, {"00 FF E7 16 00 FF E7 17"});
  SetWriteFaultHook([](const std::string&) { return false; });
  const Patched p = RunPatch(file, "4\r\n");
  SetWriteFaultHook({});
  EXPECT_FALSE(p.ok);
  EXPECT_EQ(p.report, Report(kLoopData, 1));
  EXPECT_EQ(ToHex(p.file), ToHex(file));
  EXPECT_EQ(p.folder, (std::vector<std::string>{"song.lpd", "song.mld"}));
}

TEST(MldPatch, LoopDataBesideTheFileByName) {
  const std::string dir = TempDir();
  WriteFile(dir + "/tune.v1.mld", Mld({}, {"00 FF E7 16 00 FF E7 17"}));
  WriteFile(dir + "/tune.v1.lpd", "5\r\n");
  WriteFile(dir + "/tune.lpd", "9\r\n");
  TMldLpPatch patcher;
  EXPECT_TRUE(patcher.PatchFile(dir + "/tune.v1.mld"));
  EXPECT_EQ(ToHex(ReadFile(dir + "/tune.v1.mld")), ToHex(Mld({}, {"00 FF DD 00 00 FF DD 11"})));
  // A second patch finds no proxy events left.
  EXPECT_TRUE(patcher.PatchFile(dir + "/tune.v1.mld"));
  EXPECT_EQ(Cp932ToUtf8(patcher.FReport), Report(kLoopData, 0));
  EXPECT_EQ(ToHex(ReadFile(dir + "/tune.v1.mld")), ToHex(Mld({}, {"00 FF DD 00 00 FF DD 11"})));
}

// Compile hardware loops with proxy output, convert the SMF into an MLD file the way the
// authoring tool does (each pitch-bend-sensitivity change, registered parameter 0, becomes one
// extended event 0xE7 with the semitones; note-ons become note events), and patch it with the
// loop data file that the compile wrote. The loop data lines follow the compile order and the
// MLD loop numbers the time order, so the second track's loop comes after the first's in time.
TEST(MldPatch, RoundTripFromCompiledHardwareLoops) {
  const std::string dir = TempDir();
  WriteFile(dir + "/song.mml", Utf8ToCp932("(T1) 『c』3 『d』 (T2) r2 『e』17 f"));
  TMmlc mmlc;
  mmlc.FOptHLoopOut = true;
  ASSERT_TRUE(mmlc.Compile(dir + "/song.mml")) << Cp932ToUtf8(mmlc.FErrorText);
  EXPECT_EQ(ReadFile(dir + "/song.lpd"), "3\r\n2\r\n1\r\n");

  std::string events;
  int rpnHigh[16], rpnLow[16];
  std::fill(std::begin(rpnHigh), std::end(rpnHigh), 127);
  std::fill(std::begin(rpnLow), std::end(rpnLow), 127);
  int marks = 0;
  for (const std::string& line : TrackEvents(ReadFile(dir + "/song.mid"))) {
    const std::string bytes = Hex(line.substr(line.find(':') + 1));
    const auto status = static_cast<uint8_t>(bytes[0]);
    const int channel = status & 15;
    if ((status & 0xF0) == 0x90) events += Hex("00 90") + bytes[1];
    if ((status & 0xF0) != 0xB0) continue;
    const int controller = bytes[1], value = bytes[2];
    if (controller == 101) rpnHigh[channel] = value;
    if (controller == 100) rpnLow[channel] = value;
    if (controller == 6 && rpnHigh[channel] == 0 && rpnLow[channel] == 0) {
      events += Hex("00 FF E7") + static_cast<char>(value);
      ++marks;
    }
  }
  ASSERT_EQ(marks, 6);
  const std::string before = "melo" + Hex("00 00 00 00") + Be16(3) + Hex("00 00 01") + "trac" +
                             Be32(static_cast<uint32_t>(events.size())) + events;
  WriteFile(dir + "/song.mld", before);

  TMldLpPatch patcher;
  ASSERT_TRUE(patcher.PatchFile(dir + "/song.mld"));
  EXPECT_EQ(Cp932ToUtf8(patcher.FReport), Report(kLoopData, 3));
  // Counts 3, none (2) and 17 (1) give the count fields 2, 1 and 0.
  EXPECT_EQ(ToHex(ReadFile(dir + "/song.mld").substr(21)),
            ToHex(Hex("00 FF DD 00 00 90 3C 00 FF DD 09 00 FF DD 40 00 90 3E 00 FF DD 45"
                      "  00 FF DD 80 00 90 40 00 FF DD 81 00 90 41")));
}

}  // namespace
}  // namespace tw::test
