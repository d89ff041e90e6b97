// The shared file helpers and the rule that no output is ever left half-written.
#include <gtest/gtest.h>

#include <filesystem>

#include "Actions.h"
#include "Cp932.h"
#include "FileIO.h"
#include "TestUtil.h"
#include "Texts.h"

namespace tw::test {
namespace {

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Makes every atomic write fail after its temporary file was written, as a full disk would.
struct FailingWrites {
  FailingWrites() {
    SetWriteFaultHook([](const std::string&) { return false; });
  }
  ~FailingWrites() { SetWriteFaultHook({}); }
};

TEST(Cp932, ConversionForDisplay) {
  EXPECT_EQ(Cp932ToUtf8("(T1) c\\~"), "(T1) c\\~");
  EXPECT_EQ(Cp932ToUtf8("\x83R\x83\x93"), "コン");
  EXPECT_EQ(Cp932ToUtf8("a\xA0" "b\x83"), "a\uFFFD" "b\uFFFD");  // no such byte; a lead byte at the end
  EXPECT_EQ(Utf8ToCp932("コン€"), "\x83R\x83\x93?");
  // The built-in UTF-8 forms of the system texts are what the converter makes of them (a text
  // with one more character goes through the converter).
  for (const text::TSystemText& t : text::kSystemTexts)
    EXPECT_EQ(Cp932ToUtf8(std::string(t.Cp932) + "\x82\xA0"), std::string(t.Utf8) + "あ") << t.Utf8;
  // Without a converter on the system: ASCII stays, each other character is one replacement.
  SetNoConverterForTest(true);
  EXPECT_EQ(Cp932ToUtf8("\xA2 \x83\x41 \xA3 x\x83"), "\uFFFD \uFFFD \uFFFD x\uFFFD");
  EXPECT_EQ(Cp932ToUtf8(text::kLogCompiled), "コンパイル終了(SMF) ... \r\n");  // built in
  EXPECT_EQ(Utf8ToCp932("aアb"), "a?b");
  SetNoConverterForTest(false);
}

TEST(FileIO, LinesPathsAndExtensions) {
  EXPECT_EQ(SplitTextLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTextLines("a\n\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitTextLines(std::string("a\nb\0c\n", 6)), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(JoinLinesCrLf({"1", "2"}), "1\r\n2\r\n");
  for (const std::string& text : {std::string(), std::string("a"), std::string("a\r\n\n\rb\r"), std::string("\n\n"),
                                 std::string("x\ny\0z\n", 6), std::string("a\rb\r\rc\nd\r\n\n")})
    EXPECT_EQ(ToCrLfText(text), JoinLinesCrLf(SplitTextLines(text))) << text;
  EXPECT_EQ(ChangeFileExt("dir/song.mml", ".mid"), "dir/song.mid");
  EXPECT_EQ(ChangeFileExt("dir/song", ".lpd"), "dir/song.lpd");
  EXPECT_EQ(ChangeFileExt("d.x/song", ".mid"), "d.x/song.mid");
  EXPECT_EQ(ChangeFileExt("a.b.mml", ".mld"), "a.b.mld");
}

TEST(FileIO, AtomicWriteReplacesWholeOrNotAtAll) {
  const std::string dir = TempDir();
  const std::string path = dir + "/out.bin";
  WriteFileAtomic(path, "first");
  WriteFileAtomic(path, "second");
  EXPECT_EQ(ReadFile(path), "second");
  {
    FailingWrites failing;
    EXPECT_THROW(WriteFileAtomic(path, "third"), FileError);
  }
  EXPECT_EQ(ReadFile(path), "second");
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"out.bin"}));  // no temporary file left
}

TEST(FileIO, FailedSmfWriteKeepsTheOldFileAndIsReported) {
  const std::string dir = TempDir();
  WriteFile(dir + "/song.mml", "(T1) c");
  WriteFile(dir + "/song.mid", "old smf");
  FailingWrites failing;
  try {
    CompileSource(dir + "/song.mml", {});
    ADD_FAILURE() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(Cp932ToUtf8(e.what()).rfind("ファイルの書き込みに失敗しました", 0), 0u) << Cp932ToUtf8(e.what());
  }
  EXPECT_EQ(ReadFile(dir + "/song.mid"), "old smf");
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"song.mid", "song.mml"}));
}

TEST(FileIO, FailedLoopDataWriteLeavesNoPartialFile) {
  const std::string dir = TempDir();
  WriteFile(dir + "/song.mml", Utf8ToCp932("(T1) 『c』3"));
  TCompileOptions options;
  options.HLoopOut = true;
  FailingWrites failing;
  EXPECT_THROW(CompileSource(dir + "/song.mml", options), FileError);
  EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"song.mml"}));
}

}  // namespace
}  // namespace tw::test
