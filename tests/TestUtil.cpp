#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <iterator>

#include "Cp932.h"

namespace tw::test {
namespace {

uint32_t ReadVarLen(const std::string& s, size_t& at) {
  uint32_t value = 0;
  for (int i = 0; i < 4 && at < s.size(); ++i) {
    const auto b = static_cast<uint8_t>(s[at++]);
    value = (value << 7) | (b & 0x7F);
    if (!(b & 0x80)) break;
  }
  return value;
}

void AppendHex(std::string& out, uint8_t b) {
  char buf[4];
  std::snprintf(buf, sizeof buf, " %02X", b);
  out += buf;
}

}  // namespace

std::vector<std::string> TrackEvents(const std::string& smf) {
  std::vector<std::string> events;
  if (smf.size() < 22 || smf.compare(0, 4, "MThd") != 0 || smf.compare(14, 4, "MTrk") != 0) {
    ADD_FAILURE() << "not an SMF image";
    return events;
  }
  size_t length = 0;
  for (int i = 18; i < 22; ++i) length = (length << 8) | static_cast<uint8_t>(smf[i]);
  EXPECT_EQ(length, smf.size() - 22) << "track length";
  size_t at = 22;
  uint32_t tick = 0;
  while (at < smf.size()) {
    tick += ReadVarLen(smf, at);
    if (at >= smf.size()) break;
    const auto status = static_cast<uint8_t>(smf[at]);
    size_t size = 3;
    if (status == 0xF0) {
      size_t p = at + 1;
      const uint32_t n = ReadVarLen(smf, p);
      size = p - at + n;
    } else if (status == 0xFF) {
      size_t p = at + 2;
      const uint32_t n = ReadVarLen(smf, p);
      size = p - at + n;
    } else if ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) {
      size = 2;
    }
    std::string line = std::to_string(tick) + ":";
    for (size_t i = 0; i < size && at + i < smf.size(); ++i) AppendHex(line, static_cast<uint8_t>(smf[at + i]));
    events.push_back(line);
    at += size;
  }
  EXPECT_TRUE(!events.empty() && events.back().size() > 9 &&
              events.back().compare(events.back().size() - 9, 9, " FF 2F 00") == 0)
      << "no end of track";
  return events;
}

Compiled CompileMml(std::string_view utf8Source, const std::function<void(TMmlc&)>& setup,
                    const std::function<void(TMmlc&)>& inspect) {
  TMmlc mmlc;
  mmlc.Seed(12345);
  if (setup) setup(mmlc);
  Compiled result;
  result.ok = mmlc.CompileText(Utf8ToCp932(utf8Source));
  if (!result.ok) {
    result.error = std::to_string(mmlc.FErrorLine) + ":" + std::to_string(mmlc.FErrorColumn) + ": " +
                   Cp932ToUtf8(mmlc.FErrorText);
  } else {
    result.smf = mmlc.FSmf.Build();
    if (!result.smf.empty()) result.events = TrackEvents(result.smf);
  }
  if (inspect) inspect(mmlc);
  return result;
}

std::vector<std::string> EventsOf(std::string_view utf8Source, const std::function<void(TMmlc&)>& setup) {
  Compiled c = CompileMml(utf8Source, setup);
  EXPECT_TRUE(c.ok) << c.error;
  if (!c.events.empty()) c.events.pop_back();
  return c.events;
}

void ExpectEvents(const std::vector<EventCase>& cases, const std::function<void(TMmlc&)>& setup) {
  for (const EventCase& c : cases) EXPECT_EQ(EventsOf(c.source, setup), c.events) << c.source;
}

void ExpectTrackEvents(const std::vector<EventCase>& cases, const std::function<void(TMmlc&)>& setup) {
  for (const EventCase& c : cases) EXPECT_EQ(EventsOf("'{(T1)" + c.source, setup), c.events) << c.source;
}

std::string ErrorOf(std::string_view utf8Source, const std::function<void(TMmlc&)>& setup) {
  return CompileMml(utf8Source, setup).error;
}

std::string TempDir() {
  static int counter = 0;
  const auto base = std::filesystem::temp_directory_path() /
                    ("toneweld-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(base);
  std::filesystem::create_directories(base);
  static struct Cleanup {
    std::vector<std::filesystem::path> dirs;
    ~Cleanup() {
      std::error_code ec;
      for (const auto& d : dirs) std::filesystem::remove_all(d, ec);
    }
  } cleanup;
  cleanup.dirs.push_back(base);
  return base.string();
}

CliRun RunCli(const std::vector<std::string>& args) {
#ifndef TONEWELD_CLI
  ADD_FAILURE() << "the command line is not built";
  return {};
#else
  const std::string dir = TempDir();
  std::string command = "'" TONEWELD_CLI "'";
  for (const std::string& a : args) {
    std::string quoted;
    for (char c : a) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += " '" + quoted + "'";
  }
  command += " >'" + dir + "/out' 2>'" + dir + "/err' </dev/null";
  const int raw = std::system(command.c_str());
  CliRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = ReadFile(dir + "/out");
  run.err = ReadFile(dir + "/err");
  return run;
#endif
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace tw::test
