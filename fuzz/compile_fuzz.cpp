// libFuzzer target: compiles arbitrary bytes as an MML source under every combination of the six
// compile options, then builds the file image and checks it.
//
// Input: byte 0 holds the options (bit 0 bank insert, 1 tone bank, 2 drum bank, 3 volume to
// velocity, 4 velocity fix commands, 5 hardware loops out), byte 1 seeds the random commands,
// the rest is the source text. Nothing touches the disk: FLoopDataPath stays empty, so the loop
// data lines stay in memory.
//
// The bounds of each compile (events, data bytes, work) are the real ones divided by
// kLimitDivisor. The sanitizers and the coverage make the code 10 to 20 times slower than the
// optimised build, so a compile that runs into a bound here takes about as long (about a second)
// as one at the real bounds in the optimised build. A compile (with the image) that takes more
// than kMaxCpuSeconds of CPU time is a finding: its work is not held by the bounds. CPU time,
// unlike the wall-clock -timeout, is not stretched by a busy machine, and libFuzzer checks its
// -timeout only once per period of timeout/2 + 1 seconds. Memory shrinks alike, so
// -malloc_limit_mb flags any allocation that does not follow the bounds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "SmfU.h"
#include "Texts.h"
#include "mmlcU.h"

namespace {

constexpr size_t kLimitDivisor = 20;
constexpr double kMaxCpuSeconds = 2.0;  // the slowest inputs known take 0.6 to 1.2 s

[[noreturn]] void Violated() { __builtin_trap(); }
void Check(bool condition) {
  if (!condition) Violated();
}

uint32_t ReadVarLen(std::string_view s, size_t& at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    Check(at < s.size());
    const auto b = static_cast<uint8_t>(s[at++]);
    value = (value << 7) | (b & 0x7Fu);
    if ((b & 0x80) == 0) return value;
  }
  Violated();  // a fifth byte: longer than the file format allows
}

// Walks a format 0 image as a MIDI player would: a header of 48 ticks per quarter note, one
// track whose length is exact, only complete events with data bytes below 80h, no running
// status, and the end of track last, at max(song length, last event).
void CheckImage(std::string_view image, tw::Tick songLength) {
  Check(image.size() >= 22);
  Check(image.substr(0, 14) == std::string_view("MThd\0\0\0\x06\0\0\0\x01\0\x30", 14));
  Check(image.substr(14, 4) == "MTrk");
  uint32_t length = 0;
  for (size_t i = 18; i < 22; ++i) length = length << 8 | static_cast<uint8_t>(image[i]);
  Check(length == image.size() - 22);

  size_t at = 22;
  tw::Tick time = 0, lastEvent = 0;
  const auto byte = [&] {
    Check(at < image.size());
    return static_cast<uint8_t>(image[at++]);
  };
  for (;;) {
    time += ReadVarLen(image, at);
    Check(time <= tw::TSmf::kMaxTick);
    const uint8_t status = byte();
    if (status == 0xFF) {
      const uint8_t type = byte();
      const uint32_t size = ReadVarLen(image, at);
      Check(type < 0x80 && size <= image.size() - at);
      if (type == 0x2F) {
        Check(size == 0 && at == image.size());
        Check(time == std::max(songLength, lastEvent));
        return;
      }
      Check(size > 0);  // empty meta events are not written
      at += size;
    } else if (status == 0xF0) {
      const uint32_t size = ReadVarLen(image, at);
      Check(size > 0 && size <= image.size() - at && image[at + size - 1] == '\xF7');
      at += size;
    } else {
      const int kind = status & 0xF0;
      Check(kind == 0x80 || kind == 0x90 || kind == 0xB0 || kind == 0xC0 || kind == 0xE0);
      const int dataBytes = kind == 0xC0 ? 1 : 2;
      for (int i = 0; i < dataBytes; ++i) Check(byte() < 0x80);
    }
    lastEvent = time;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t options = data[0];
  tw::TMmlc mmlc;
  mmlc.SetLimits(tw::TMmlc::kMaxEvents / kLimitDivisor, tw::TMmlc::kMaxWork / kLimitDivisor);
  mmlc.FSmf.SetLimits(tw::TMmlc::kMaxEvents / kLimitDivisor, tw::TMmlc::kMaxEventBytes / kLimitDivisor);
  mmlc.FOptBankInsert = options & 0x01;
  mmlc.FOptToneBank = options & 0x02;
  mmlc.FOptDrumBank = options & 0x04;
  mmlc.FOptVolToVelo = options & 0x08;
  mmlc.FOptVeloFixCmd = options & 0x10;
  mmlc.FOptHLoopOut = options & 0x20;
  mmlc.Seed(data[1]);

  const std::clock_t start = std::clock();
  const bool ok = mmlc.CompileText(std::string(reinterpret_cast<const char*>(data) + 2, size - 2));
  const bool empty = mmlc.FSmf.Count() == 0;
  const std::string image = ok ? mmlc.FSmf.Build() : std::string();
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  if (seconds > kMaxCpuSeconds) {
    std::fprintf(stderr, "compile_fuzz: the compile took %.2f s of CPU time, more than %.1f s\n", seconds,
                 kMaxCpuSeconds);
    Violated();
  }

  // At most four hardware loops, each with its count 1..16 as a line.
  Check(mmlc.FLoopDataLines.size() <= 4);
  for (const std::string& line : mmlc.FLoopDataLines) {
    bool count = false;
    for (int n = 1; n <= 16; ++n) count = count || line == std::to_string(n);
    Check(count);
  }
  Check(mmlc.FSmf.Count() <= tw::TMmlc::kMaxEvents / kLimitDivisor);

  if (!ok) {
    // A failure names a place in the text and a command: "｢ token ｣message".
    Check(mmlc.FErrorLine >= 1 && mmlc.FErrorColumn >= 0);
    const std::string& text = mmlc.FErrorText;
    const size_t open = std::strlen(tw::text::kOpenBracket);
    Check(text.compare(0, open, tw::text::kOpenBracket) == 0);
    Check(text.find(tw::text::kCloseBracket, open) != std::string::npos);
    return 0;
  }
  Check(mmlc.FSmf.LimitHit() == tw::TSmf::TLimit::None);
  Check(mmlc.FSmf.FSongLength >= 0 && mmlc.FSmf.FSongLength <= tw::TSmf::kMaxTick);
  Check(image.empty() == empty);
  if (!empty) CheckImage(image, mmlc.FSmf.FSongLength);
  return 0;
}
