#include "Actions.h"

#include <cstdio>

#include "FileIO.h"
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
  if (options.BankInsert) outcome.Log.emplace_back(text::kLogBankIgnored);
  if (!options.VeloFixCmd) outcome.Log.emplace_back(text::kLogVeloFixIgnored);
  if (options.VolToVelo) outcome.Log.emplace_back(text::kLogVolToVelo);
  if (options.HLoopOut) outcome.Log.emplace_back(text::kLogHwLoopOut);
  std::string done(text::kLogCompiled);
  done += outcome.SmfPath;
  outcome.Log.push_back(std::move(done));
  return outcome;
}

std::string ErrorLogLine(const TCompileOutcome& outcome) {
  char position[64];
  std::snprintf(position, sizeof position, text::kLogErrorPos, outcome.ErrorLine, outcome.ErrorColumn);
  std::string line(position);
  line += outcome.ErrorText;
  return line;
}

}  // namespace tw
