// The compile and patch actions as the window runs them, without any user interface, so that
// the window and the command line report exactly the same lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// One line of the log: a text of the system (code page 932, may hold CR LF) and, after the
// completion texts, the path of the file written. The path is kept apart: it is a name of the
// file system (UTF-8 here), not code page 932 text, and is shown as it is.
struct TLogLine {
  std::string Text;
  std::string Path;
};

// The six compile options, in the states the window shows at design time.
struct TCompileOptions {
  bool BankInsert = false;
  bool ToneBank = true;
  bool DrumBank = true;
  bool VolToVelo = false;
  bool VeloFixCmd = true;
  bool HLoopOut = false;
  std::optional<uint32_t> Seed;  // fixed seed for reproducible random commands; else the clock
};

struct TCompileOutcome {
  bool Ok = false;
  std::vector<TLogLine> Log;     // on success: the log lines
  int ErrorLine = 0;             // on failure: position and text of the error
  int ErrorColumn = 0;
  std::string ErrorText;
  std::string SmfPath;
};

// Compiles the source; file errors are thrown (FileError).
TCompileOutcome CompileSource(const std::string& sourcePath, const TCompileOptions& options);

// The window's one log line for a failed compile: "%d行%d文字目 " and the error text.
std::string ErrorLogLine(const TCompileOutcome& outcome);

struct TPatchOutcome {
  enum class TResult { Patched, Failed, NoMld };
  TResult Result = TResult::Failed;
  // The window's log lines in order: the report (when not empty) and the completion text with
  // the path after a patch; "パッチ失敗..." and the report after a failure; the abort text when
  // there is no MLD file.
  std::vector<TLogLine> Log;
  std::string Report;  // the patcher's report
};

// Patches the MLD file at mldPath (the chosen source's path with ".mld"). Errors reading the
// loop data file or the MLD file are thrown (FileError).
TPatchOutcome PatchMld(const std::string& mldPath);

}  // namespace tw
