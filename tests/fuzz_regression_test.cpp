// Inputs that once made a compile run away, kept as fixtures in tests/fuzz-fixtures/ and compiled
// through the normal build. Each stops at the work budget after work in proportion to the text
// it re-read, not after hours.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "Cp932.h"
#include "TestUtil.h"
#include "mmlcU.h"

// Bytes requested from operator new while gCountAllocations is set: the memory a step takes.
static bool gCountAllocations = false;
static size_t gAllocatedBytes = 0;

void* operator new(size_t size) {
  if (gCountAllocations) gAllocatedBytes += size;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace tw::test {
namespace {

std::string Fixture(const std::string& name) { return ReadFile(TONEWELD_SOURCE_DIR "/tests/fuzz-fixtures/" + name); }

// A loop that re-reads a long stretch of text (1000 bytes or list entries) in every pass while
// running only a few commands. Each pass writes one cue mark, so the marks count the passes.
// Before, a pass counted as a few units of work whatever it read, so the budget allowed millions
// of passes over the stretch (hours of scanning); now the text read counts a unit per 16 bytes
// and every list entry one unit, and the budget ends the loop after a bounded amount of reading.
TEST(FuzzRegression, LoopsRereadingLongTextStopAtTheWorkBudget) {
  struct Case {
    const char* fixture;
    const char* token;    // the command at which the budget runs out
    uint64_t perPass;     // work a pass does at least: bytes read / 16, or list entries
  };
  const std::vector<Case> cases = {
      {"loop-comment.mml", "]", 1000 / 16},
      {"loop-blanks.mml", "]", 1000 / 16},
      {"loop-count-digits.mml", "]", 2 * 1000 / 16},  // an inner loop reads its count twice
      {"loop-note-length-digits.mml", "R", 1000 / 16},
      {"loop-rewind-dots.mml", "@REW", 1000 / 16},
      {"loop-decimal-digits.mml", "@BS", 1000 / 16},
      {"loop-hex-digits.mml", "@EX", 1000 / 16},
      {"loop-setting-line.mml", "SORC", 1000 / 16},
      {"loop-adpcm-line.mml", "[VALUE]", 1000 / 16},
      {"loop-tone-body.mml", "@", 1000 / 16},
      {"macro-comment.mml", "]", 1000 / 16},
      {"loop-rndl-list.mml", "@RNDL", 1000},
      {"loop-sweep-jumps.mml", "@VS", 1000 / 4},
      {"loop-bendrange-list.mml", "BENDRANGE", 1000},
      {"loop-monopoly-list.mml", "MONOPOLY", 1000},
      {"loop-part-list.mml", "(P", 1000 / 2},
  };
  constexpr uint64_t kWork = 100'000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    TMmlc mmlc;
    mmlc.SetLimits(TMmlc::kMaxEvents, kWork);
    ASSERT_FALSE(mmlc.CompileText(Fixture(c.fixture)));
    EXPECT_EQ(Cp932ToUtf8(mmlc.FErrorText), std::string("｢ ") + c.token + " ｣ 処理量が上限を超えました.");
    uint64_t passes = 0;
    for (const TSmfEvent& e : mmlc.FSmf.Events()) passes += e.FStatus == 0xFF && mmlc.FSmf.MetaType(e) == 7;
    EXPECT_GE(passes, 2u);
    EXPECT_LE(passes * c.perPass, kWork);
  }
}

// A source of a million empty lines was split into a list of line strings before it was
// joined again: some 50 bytes of memory per byte of source (a 10 MB file took 545 MB). The
// lines are now rewritten in one pass, so loading takes a few bytes per byte.
TEST(FuzzRegression, LoadingShortLinesTakesMemoryInProportionToTheFile) {
  const std::string path = TempDir() + "/lines.mml";
  const std::string source = "(T1) c\n" + std::string(1'000'000, '\n');
  WriteFile(path, source);
  TSrcCtrl src;
  gAllocatedBytes = 0;
  gCountAllocations = true;
  src.LoadFile(path);
  gCountAllocations = false;
  EXPECT_EQ(src.FText.size(), source.size() + 1'000'001);  // every LF became CR LF
  EXPECT_LT(gAllocatedBytes, 8 * source.size());
}

}  // namespace
}  // namespace tw::test
