// Helpers for the tests: compile MML text written in UTF-8 and read the events back from the
// SMF image, one readable line per event ("tick: bytes in hex").
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mmlcU.h"

namespace tw::test {

// The events of a format 0 SMF image in file order, as "tick: XX XX XX" (status and data bytes,
// the variable-length size of system exclusive and meta events included), and last the end of
// track as "tick: FF 2F 00". Fails the current test on a malformed image.
std::vector<std::string> TrackEvents(const std::string& smf);

struct Compiled {
  bool ok = false;
  std::string error;  // "LINE:COLUMN: message" in UTF-8 when the compile failed
  std::vector<std::string> events;  // TrackEvents of the written file; empty when none
  std::string smf;                  // the file image
};

// Compiles UTF-8 MML text (converted to code page 932) with a fixed seed. `setup` may set
// options on the compiler before the compile; `inspect` may look at it afterwards.
Compiled CompileMml(std::string_view utf8Source, const std::function<void(TMmlc&)>& setup = {},
                    const std::function<void(TMmlc&)>& inspect = {});

// Only the events, dropping the end of track; for tables of expected events.
using Events = std::vector<std::string>;
Events EventsOf(std::string_view utf8Source, const std::function<void(TMmlc&)>& setup = {});

// A source and the events it compiles to.
struct EventCase {
  std::string source;
  Events events;
};
// Checks a table of cases (each failure names its source).
void ExpectEvents(const std::vector<EventCase>& cases, const std::function<void(TMmlc&)>& setup = {});
// The same with each source compiled after "'{(T1)": commands of the first track, extended syntax.
void ExpectTrackEvents(const std::vector<EventCase>& cases, const std::function<void(TMmlc&)>& setup = {});

// The error line of a failing compile ("LINE:COLUMN: message", UTF-8); "" when it succeeded.
std::string ErrorOf(std::string_view utf8Source, const std::function<void(TMmlc&)>& setup = {});

// A fresh empty folder under the system's temporary folder, removed at the end of the test run.
std::string TempDir();

// Runs the built toneweld command line with the arguments (each quoted for the shell).
struct CliRun {
  int status = -1;
  std::string out, err;
};
CliRun RunCli(const std::vector<std::string>& args);

// Reads or writes a whole file.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);

}  // namespace tw::test
