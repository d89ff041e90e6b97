#include "Actions.h"

#include <cstdio>

#include "FileIO.h"
#include "MldLpFixU.h"
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

TCompileOutcome CompileSource(const std::string& sourcePath, const TCompileOptions& options) {
  TMmlc mmlc;
  mmlc.FOptBankInsert = options.BankInsert;
  mmlc.FOptToneBank = options.ToneBank;
  mmlc.FOptDrumBank = options.DrumBank;
  mmlc.FOptVolToVelo = options.VolToVelo;
  mmlc.FOptVeloFixCmd = options.VeloFixCmd;
  mmlc.FOptHLoopOut = options.HLoopOut;
  if (options.Seed) mmlc.Seed(*options.Seed);

  TCompileOutcome outcome;
  outcome.SmfPath = ChangeFileExt(sourcePath, ".mid");
  outcome.Ok = mmlc.Compile(sourcePath);
  if (!outcome.Ok) {
    outcome.ErrorLine = mmlc.FErrorLine;
    outcome.ErrorColumn = mmlc.FErrorColumn;
    outcome.ErrorText = mmlc.FErrorText;
    return outcome;
  }
  if (options.BankInsert) outcome.Log.push_back({text::kLogBankIgnored, {}});
  if (!options.VeloFixCmd) outcome.Log.push_back({text::kLogVeloFixIgnored, {}});
  if (options.VolToVelo) outcome.Log.push_back({text::kLogVolToVelo, {}});
  if (options.HLoopOut) outcome.Log.push_back({text::kLogHwLoopOut, {}});
  outcome.Log.push_back({text::kLogCompiled, outcome.SmfPath});
  return outcome;
}

std::string ErrorLogLine(const TCompileOutcome& outcome) {
  char position[64];
  std::snprintf(position, sizeof position, text::kLogErrorPos, outcome.ErrorLine, outcome.ErrorColumn);
  std::string line(position);
  line += outcome.ErrorText;
  return line;
}

TPatchOutcome PatchMld(const std::string& mldPath) {
  TPatchOutcome outcome;
  if (!FileExists(mldPath)) {
    outcome.Result = TPatchOutcome::TResult::NoMld;
    outcome.Log.push_back({text::kLogPatchNoMld, {}});
    return outcome;
  }
  TMldLpPatch patcher;
  const bool ok = patcher.PatchFile(mldPath);
  outcome.Report = patcher.FReport;
  if (ok) {
    outcome.Result = TPatchOutcome::TResult::Patched;
    if (!patcher.FReport.empty()) outcome.Log.push_back({patcher.FReport, {}});
    outcome.Log.push_back({text::kLogPatched, mldPath});
  } else {
    outcome.Result = TPatchOutcome::TResult::Failed;
    outcome.Log.push_back({text::kLogPatchFailed, {}});
    outcome.Log.push_back({patcher.FReport, {}});
  }
  return outcome;
}

}  // namespace tw
