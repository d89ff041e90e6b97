// Section keywords, the track reset and macros.
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterSectionCommands() {
  Bind("[VALUE]", &TMmlc::CmdValue);
  Bind("(SETTING", &TMmlc::CmdSettingSection);
  Bind("(T", &TMmlc::CmdTrackSection);
  Bind("(ADPCM", &TMmlc::CmdAdpcmSection);
  Bind("(TONE", &TMmlc::CmdToneSection);
  Bind("(MACRO", &TMmlc::CmdMacroSection);
  Bind("(P", &TMmlc::CmdPartSection);
  for (char letter = 'A'; letter <= 'Z'; ++letter) Bind((std::string("$") + letter).c_str(), &TMmlc::CmdMacro);
}

// A section keyword without ")" still switches the mode; the compile stops at the failure.
bool TMmlc::SimpleSection(const std::string& token, TSectionMode mode) {
  const bool closed = FSrc.TestCloseParen();
  FSrc.FMode = mode;
  return closed || Fail(token, text::kMsgNeedCloseParen);
}

bool TMmlc::CmdSettingSection(const std::string& token) { return SimpleSection(token, smSetting); }
bool TMmlc::CmdAdpcmSection(const std::string& token) { return SimpleSection(token, smAdpcm); }
bool TMmlc::CmdToneSection(const std::string& token) { return SimpleSection(token, smTone); }
bool TMmlc::CmdMacroSection(const std::string& token) { return SimpleSection(token, smMacro); }

bool TMmlc::CmdTrackSection(const std::string& token) {
  FlushHeldNote();
  const int n = FSrc.ReadNumber();
  if (n == -1) return Fail(token, text::kMsgNoTrackNumber);
  if (n < 1 || n > 16) return Fail(token, text::kMsgBadValue);

  FChannel = n - 1;
  FRhythm = false;
  FTrackTime = FTrackStartTime;
  FOctave = 4;
  FVolumeVelo = 63;
  FProgram = 0;
  FVelocity = 63;
  FTranspose = 0;
  FBend = 64;
  FDefaultLength = 24;
  FHeldNote = -1;
  FGateCut = 0;
  FExpression = 100;
  FModulation = 0;
  FPan = 64;
  FVolume = 127;
  FBrightness = 64;
  FResonance = 64;
  FVeloRandOn = false;
  FVeloRandBase = 0;
  FVeloRandRange = 0;

  if (FSrc.TestComma() && !FSrc.ReadTrackMode(FRhythm)) return Fail(token, text::kMsgBadTrackMode);
  FRhythmKeyOffset = FRhythm ? 14 : 0;
  if (FDrumVolPending && FRhythm) {
    FSmf.AddControlChange(OutTime(), OutChannel(), 0, 7, 127);
    FDrumVolPending = false;
  }
  FMelodic = !FRhythm;
  const bool closed = FSrc.TestCloseParen();
  FSrc.FMode = smTrack;
  FSoundOffArm = false;
  FSoundOffPending = false;
  return closed || Fail(token, text::kMsgNeedCloseParen);
}

bool TMmlc::CmdPartSection(const std::string& token) {
  FPartMuted.fill(true);
  do {
    AddWork(1);  // the list has no length limit
    const int n = FSrc.ReadNumber();
    if (n < 1 || n > 16) return Fail(token, text::kMsgBadValue);
    FPartMuted[n - 1] = false;
  } while (FSrc.TestComma());
  return SimpleSection(token, smPartList);
}

// A line of the ADPCM section: number, optional "=", text. Accepted and dropped.
bool TMmlc::CmdValue(const std::string&) {
  FSrc.TestEquals();
  FSrc.ReadRestOfLine();
  return true;
}

bool TMmlc::CmdMacro(const std::string& token) {
  TextPos& body = FSrc.FMacros[static_cast<unsigned char>(token[1]) - 'A'];
  if (FSrc.FMode == smMacro) {
    FSrc.TestEquals();
    if (body != kNoPos) return Fail(token, text::kMsgMacroDefined);
    body = FSrc.CaptureMacroBody();
    return true;
  }
  if (FSrc.FMode != smTrack) return Fail(token, text::kMsgNotHere);
  if (body == kNoPos) return Fail(token, text::kMsgMacroUndefined);
  if (FSrc.FMacroReturn != kNoPos) return Fail(token, text::kMsgMacroNest);
  FSrc.FMacroReturn = FSrc.FCur;
  FSrc.FCur = body;
  return true;
}

}  // namespace tw
