// toneweld: the command-line front end. Compiles MML sources and patches MLD files exactly as
// the window does, for scripts, editors and tests.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "Actions.h"
#include "Cp932.h"
#include "FileIO.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitCompileError = 1;
constexpr int kExitPatchFailed = 1;
constexpr int kExitFileError = 2;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "Usage: toneweld compile [options] SOURCE...\n"
    "       toneweld patch MLDFILE...\n"
    "       toneweld --help | --version\n"
    "\n"
    "compile  Compiles each MML source (code page 932) to SOURCE.mid beside it\n"
    "         (and SOURCE.lpd when hardware loops are written).\n"
    "  --bank-insert    insert bank selects before program changes\n"
    "  --no-tone-bank   no bank select 124,1 on melodic tracks (with --bank-insert)\n"
    "  --no-drum-bank   no bank select 125,0 on rhythm tracks (with --bank-insert)\n"
    "  --vol-to-velo    volume commands scale velocities instead of sending CC 7\n"
    "  --no-velo-fix    ignore the velocity correction commands @UFIX and @UMODE\n"
    "  --hloop-out      write hardware loops as proxy events and the .lpd file\n"
    "  --seed N         seed the random commands, for reproducible output\n"
    "\n"
    "patch    Rewrites the hardware-loop proxy events of each MLD file in place into\n"
    "         loop events, with the repeat counts from the .lpd file of the same\n"
    "         name beside it.\n"
    "\n"
    "Exit status: 0 success, 1 compile error or failed patch, 2 file or usage error.\n"
    "With several files the status is the worst of them.\n";

// Output goes through stdio: the iostreams would set up their locale at every start, a tenth
// of the time of compiling a ringtone.
void Print(std::FILE* out, std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); }

int UsageError(const std::string& message) {
  Print(stderr, "toneweld: " + message + "\n" + kUsage);
  return kExitUsage;
}

// A log line in UTF-8, the path as it is; CR LF inside the text starts a new line.
void PrintLog(std::FILE* out, const tw::TLogLine& log) {
  const std::string line = tw::Cp932ToUtf8(log.Text) + log.Path;
  for (size_t start = 0;;) {
    const size_t end = line.find("\r\n", start);
    Print(out, std::string_view(line).substr(start, end - start));
    Print(out, "\n");
    if (end == std::string::npos) break;
    start = end + 2;
  }
}

int Compile(const std::vector<std::string>& args) {
  tw::TCompileOptions options;
  std::vector<std::string> sources;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--bank-insert") {
      options.BankInsert = true;
    } else if (a == "--no-tone-bank") {
      options.ToneBank = false;
    } else if (a == "--no-drum-bank") {
      options.DrumBank = false;
    } else if (a == "--vol-to-velo") {
      options.VolToVelo = true;
    } else if (a == "--no-velo-fix") {
      options.VeloFixCmd = false;
    } else if (a == "--hloop-out") {
      options.HLoopOut = true;
    } else if (a == "--seed") {
      if (i + 1 == args.size()) return UsageError("--seed needs a number");
      const std::string& n = args[++i];
      char* end = nullptr;
      errno = 0;
      const unsigned long long seed = std::strtoull(n.c_str(), &end, 10);
      if (n.empty() || n[0] == '-' || *end != '\0' || errno != 0 || seed > 0xFFFFFFFFull)
        return UsageError("--seed needs a number from 0 to 4294967295");
      options.Seed = static_cast<uint32_t>(seed);
    } else if (a == "--") {
      sources.insert(sources.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    } else if (a.size() > 1 && a[0] == '-') {
      return UsageError("unknown option " + a);
    } else {
      sources.push_back(a);
    }
  }
  if (sources.empty()) return UsageError("no source file given");

  int status = kExitOk;
  for (const std::string& source : sources) {
    try {
      const tw::TCompileOutcome outcome = tw::CompileSource(source, options);
      if (outcome.Ok) {
        for (const tw::TLogLine& line : outcome.Log) PrintLog(stdout, line);
      } else {
        Print(stderr, source + ':' + std::to_string(outcome.ErrorLine) + ':' + std::to_string(outcome.ErrorColumn) +
                          ": " + tw::Cp932ToUtf8(outcome.ErrorText) + '\n');
        status = std::max(status, kExitCompileError);
      }
    } catch (const tw::FileError& e) {
      Print(stderr, source + ": " + e.Utf8Text() + '\n');
      status = std::max(status, kExitFileError);
    }
  }
  return status;
}

int Patch(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      files.insert(files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (a.size() > 1 && a[0] == '-') return UsageError("unknown option " + a);
    files.push_back(a);
  }
  if (files.empty()) return UsageError("no MLD file given");

  int status = kExitOk;
  for (const std::string& file : files) {
    try {
      const tw::TPatchOutcome outcome = tw::PatchMld(file);
      const bool ok = outcome.Result == tw::TPatchOutcome::TResult::Patched;
      for (const tw::TLogLine& line : outcome.Log) PrintLog(ok ? stdout : stderr, line);
      if (!ok) status = std::max(status, kExitPatchFailed);
    } catch (const tw::FileError& e) {
      Print(stderr, file + ": " + e.Utf8Text() + '\n');
      status = std::max(status, kExitFileError);
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return UsageError("no command given");
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h") {
    Print(stdout, kUsage);
    return kExitOk;
  }
  if (command == "--version") {
    Print(stdout, "toneweld 2.7a\n");
    return kExitOk;
  }
  if (command == "compile") return Compile(args);
  if (command == "patch") return Patch(args);
  return UsageError("unknown command " + command);
}
