// TMmlc: the MML compiler. Owns the scanner, the event list and every piece of compile state;
// runs the compile loop token by token through its keyword table.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "FuncListU.h"
#include "IntListLibU.h"
#include "IntegerListU.h"
#include "LoopU.h"
#include "SmfU.h"
#include "SrcCtrl.h"
#include "Texts.h"

namespace tw {

class TMmlc : public TFuncList<TMmlc> {
 public:
  // Bounds that keep any input within time and memory; a real ringtone stays far below them.
  static constexpr size_t kMaxEvents = 8'000'000;
  static constexpr size_t kMaxEventBytes = 64u << 20;  // system exclusive and meta data
  static constexpr uint64_t kMaxWork = 20'000'000;  // commands run (loop passes included) and steps

  TMmlc();
  TMmlc(const TMmlc&) = delete;
  TMmlc& operator=(const TMmlc&) = delete;

  // Compiles the file at path into path.mid. False with FErrorText, FErrorLine and
  // FErrorColumn on a compile error; file errors are thrown (FileError).
  bool Compile(const std::string& path);
  // Compiles text without touching any file; the events stay in FSmf.
  bool CompileText(std::string text);

  int OutChannel() const { return FRhythm ? 9 : FChannel; }
  // The output time of the next event: the track time less the rewind offset (which counts in
  // the extended syntax only), never before 0; the song length follows the latest one.
  Tick OutTime() {
    if (!FSrc.FExtended) FRewindOffset = 0;
    const Tick t = std::max<Tick>(FTrackTime - FRewindOffset, 0);
    if (FSmf.FSongLength < t) FSmf.FSongLength = t;
    return t;
  }
  void FlushHeldNote();
  void AppendLoopData(const std::string& line);
  static int Scale64(int level) { return level == 0 ? 0 : level * 2 + 1; }
  // Registered parameter 0 (pitch-bend sensitivity) set to `semitones`: controllers 101 = 0,
  // 100 = 0, 6 = semitones, 38 = 0, in this order. Also the proxy of a hardware-loop mark.
  void AddBendRange(Tick time, int channel, int semitones);
  void RegisterCommands();

  // Reseeds the random generator (the clock seeds it at creation).
  void Seed(uint32_t seed) { FRandom.seed(seed); }
  // The work budget: every command run counts one, and so does every step of a command that
  // iterates by itself (a random stream over a long length, an entry of a list), and every 16
  // bytes of text that one command steps over. Past kMaxWork the compile fails.
  void AddWork(uint64_t steps) { FWorkDone += steps; }
  bool WorkExhausted() const { return FWorkDone > FWorkLimit; }

  // Lowers the bounds of this compile below kMaxEvents and kMaxWork (the tests use it to reach
  // them quickly).
  void SetLimits(size_t events, uint64_t work) {
    FEventLimit = events;
    FWorkLimit = work;
    FSmf.SetLimits(events, kMaxEventBytes);
  }

  // A uniformly drawn integer from lo to hi inclusive.
  int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(FRandom); }

  // Owned objects and paths
  TSmf FSmf{kMaxEvents, kMaxEventBytes};
  TLoop FLoop;
  TSrcCtrl FSrc;
  TIntegerList FVeloQueue;
  std::string FLoopDataPath;
  std::vector<std::string> FLoopDataLines;  // the lines of the loop data file, in order

  // Sound-off region and velocity correction
  bool FSoundOffArm = false;
  bool FSoundOffPending = false;
  std::array<uint8_t, 128> FVeloFixByProgram{};
  std::array<uint8_t, 128> FVeloFixByNote{};
  bool FMelodic = true;

  // Pitch-bend ranges and pattern libraries
  std::array<int, 16> FBendRange;
  TIntListLib FSweepVol, FSweepPan, FSweepBend, FSweepExp, FSweepMod, FSweepMVol, FSweepBright, FSweepReso;
  TIntListLib FRandomPatterns;
  int FSweepVolWait = 3, FSweepPanWait = 3, FSweepBendWait = 3, FSweepExpWait = 3, FSweepModWait = 3,
      FSweepMVolWait = 3, FSweepBrightWait = 3, FSweepResoWait = 3;

  // Controller levels (the values that the sweeps start from and restore)
  int FVolume = 127;
  int FPan = 64;
  int FExpression = 100;
  int FModulation = 0;
  int FMasterVolume = 100;
  int FBrightness = 64;
  int FResonance = 64;
  TIntListLib FRandomSets;

  // Track position and channel
  Tick FRewindOffset = 0;
  std::array<bool, 16> FPartMuted{};
  int FChannel = 0;
  Tick FTrackTime = 0;
  Tick FTrackStartTime = 0;
  bool FRhythm = false;
  bool FDrumVolPending = true;
  bool FOctaveUpOnLess = true;

  // Note and voice settings
  int FProgram = 0;
  int FOctave = 4;
  int FVolumeVelo = 63;
  int FVelocity = 63;
  int FRhythmKeyOffset = 0;
  int FTranspose = 0;
  int FTempo = 120;
  int FBend = 64;
  int FDefaultLength = 24;
  int FHeldNote = -1;
  int FGateCut = 0;

  // Settings of the setting section and options
  bool FNoteMode = false;
  std::array<uint8_t, 129> FProgramMap;  // index 1..128
  bool FOptBankInsert = false;
  bool FOptToneBank = true;
  bool FOptDrumBank = true;
  bool FOptVolToVelo = false;
  bool FOptVeloFixCmd = true;
  bool FOptHLoopOut = false;
  bool FHwLoopOpen = false;
  int FHwLoopIndex = -1;

  // Randomisation
  bool FVeloRandOn = false;
  int FVeloRandBase = 0;
  int FVeloRandRange = 0;
  bool FGateRandOn = false;
  int FGateRandLow = 0;
  int FGateRandHigh = 0;

  // Place of a failure
  int FErrorLine = 0;
  int FErrorColumn = 0;

 private:
  bool RunCommands();
  bool CheckBounds(const std::string& token);
  // Sets FErrorText to "｢ " token " ｣" message and returns false.
  bool Fail(const std::string& token, const char* message);
  // Reads a decimal number into value; fails with " 値が不正です." when there is none or it lies
  // outside lo..hi.
  bool ReadValue(const std::string& token, int lo, int hi, int& value) {
    value = FSrc.ReadNumber();
    return (value >= lo && value <= hi) || Fail(token, text::kMsgBadValue);
  }
  bool InTrack() const { return FSrc.FMode == smTrack; }
  bool InExtendedTrack() const { return FSrc.FMode == smTrack && FSrc.FExtended; }
  bool Muted() const { return FPartMuted[FChannel]; }
  bool NoteInRange(int key) const { return key >= 0 && key <= 127; }
  void Bind(const char* keyword, TFuncEvent handler) { Register(keyword, this, handler); }

  // Each group of commands registers its keywords; one source file per group.
  void RegisterSectionCommands();
  void RegisterNoteCommands();
  void RegisterVoiceCommands();
  void RegisterLoopCommands();
  void RegisterHeaderCommands();
  void RegisterHexCommands();
  void RegisterHwLoopCommands();
  void RegisterControlCommands();
  void RegisterRewindCommands();
  void RegisterSweepCommands();
  void RegisterRandomCommands();

  // Sections and macros (CmdSections.cpp)
  bool CmdSettingSection(const std::string& token);
  bool CmdTrackSection(const std::string& token);
  bool CmdAdpcmSection(const std::string& token);
  bool CmdToneSection(const std::string& token);
  bool CmdMacroSection(const std::string& token);
  bool CmdPartSection(const std::string& token);
  bool CmdValue(const std::string& token);
  bool CmdMacro(const std::string& token);
  bool SimpleSection(const std::string& token, TSectionMode mode);

  // Notes, rests, ties and lengths (CmdNotes.cpp)
  bool CmdNote(const std::string& token);
  bool CmdTie(const std::string& token);
  bool CmdLength(const std::string& token);
  bool CmdGateCut(const std::string& token);
  bool CmdOctave(const std::string& token);
  bool CmdOctaveLess(const std::string& token);
  bool CmdOctaveGreater(const std::string& token);
  int NoteVelocity(int key, int velocity);

  // Voice commands (CmdVoice.cpp)
  bool CmdProgram(const std::string& token);
  bool CmdModulation(const std::string& token);
  bool CmdBend(const std::string& token);
  bool CmdTempo(const std::string& token);
  bool CmdVolume(const std::string& token);
  bool CmdVelocity(const std::string& token);
  bool CmdPan(const std::string& token);
  bool CmdVolumeUp(const std::string& token);
  bool CmdVolumeDown(const std::string& token);
  bool CmdTranspose(const std::string& token);
  bool StepVolume(const std::string& token, int direction);

  // Software loops and cue marks (CmdLoops.cpp)
  bool CmdLoopBegin(const std::string& token);
  bool CmdLoopBreak(const std::string& token);
  bool CmdLoopEnd(const std::string& token);
  bool CmdCueStart(const std::string& token);
  bool CmdCueStop(const std::string& token);

  // Header settings (CmdHeader.cpp)
  bool CmdTitle(const std::string& token);
  bool CmdSorc(const std::string& token);
  bool CmdCopy(const std::string& token);
  bool CmdDate(const std::string& token);
  bool CmdProt(const std::string& token);
  bool CmdTarget(const std::string& token);
  bool CmdVibration(const std::string& token);
  bool CmdFlash(const std::string& token);
  bool CmdMasterVol(const std::string& token);
  bool CmdNoteMode(const std::string& token);
  bool CmdLimit(const std::string& token);
  bool CmdOptimize(const std::string& token);
  bool CmdSync(const std::string& token);
  bool CmdBendRange(const std::string& token);
  bool CmdOct(const std::string& token);
  bool CmdToneFile(const std::string& token);
  bool CmdMonoPoly(const std::string& token);
  bool BeginSetting(const std::string& token);
  bool IgnoreLine(const std::string& token);
  bool IgnoreNumber(const std::string& token);

  // Hex event blocks (CmdHexBlock.cpp)
  bool CmdHexBlock(const std::string& token);
  bool CmdBang(const std::string& token);

  // Hardware loops (CmdHwLoops.cpp)
  bool CmdHwLoopBegin(const std::string& token);
  bool CmdHwLoopEnd(const std::string& token);
  void AddHwLoopMark(int mark);

  // Controller and system commands (CmdControl.cpp)
  bool CmdPrg(const std::string& token);
  bool CmdBank(const std::string& token);
  bool CmdExp(const std::string& token);
  bool CmdHold(const std::string& token);
  bool CmdRange(const std::string& token);
  bool CmdMono(const std::string& token);
  bool CmdPoly(const std::string& token);
  bool CmdFb(const std::string& token);
  bool CmdFr(const std::string& token);
  bool CmdXfQue(const std::string& token);
  bool CmdAlch(const std::string& token);
  bool CmdHvch(const std::string& token);
  bool CmdMVol(const std::string& token);
  bool CmdSpan(const std::string& token);
  bool CmdSpcm(const std::string& token);
  bool CmdUFix(const std::string& token);
  bool CmdUMode(const std::string& token);
  bool CmdAllS(const std::string& token);
  bool CmdAllN(const std::string& token);
  bool CmdReset(const std::string& token);
  bool CmdSpp(const std::string& token);
  bool CmdCc(const std::string& token);
  bool CmdEx(const std::string& token);
  bool CmdGmReset(const std::string& token);
  bool CmdGsReset(const std::string& token);
  bool CmdXgReset(const std::string& token);
  bool ControlArgs(const std::string& token, int* values, int count, int lo = 0, int hi = 127);
  bool ControlChange(const std::string& token, int controller, int fixedValue, int* level = nullptr);
  bool SystemReset(const std::string& token, std::string_view message);

  // Rewind and marker commands (CmdRewind.cpp)
  bool CmdPStart(const std::string& token);
  bool CmdPStop(const std::string& token);
  bool CmdRew(const std::string& token);
  bool CmdRewE(const std::string& token);
  bool CmdW(const std::string& token);
  bool CmdRcStart(const std::string& token);
  bool CmdRcEnd(const std::string& token);

  // Sweep commands (CmdSweeps.cpp)
  bool CmdVs(const std::string& token);
  bool CmdVw(const std::string& token);
  bool CmdV(const std::string& token);
  bool CmdMs(const std::string& token);
  bool CmdMw(const std::string& token);
  bool CmdM(const std::string& token);
  bool CmdBs(const std::string& token);
  bool CmdBw(const std::string& token);
  bool CmdB(const std::string& token);
  bool CmdXs(const std::string& token);
  bool CmdXw(const std::string& token);
  bool CmdX(const std::string& token);
  bool CmdPs(const std::string& token);
  bool CmdPw(const std::string& token);
  bool CmdP(const std::string& token);
  bool CmdMvs(const std::string& token);
  bool CmdMvw(const std::string& token);
  bool CmdMv(const std::string& token);
  bool CmdFs(const std::string& token);
  bool CmdFw(const std::string& token);
  bool CmdF(const std::string& token);
  bool CmdRs(const std::string& token);
  bool CmdRw(const std::string& token);
  bool CmdR(const std::string& token);
  // The eight kinds share one routine per action; kind indexes the table of kinds.
  bool SweepDefine(const std::string& token, int kind);
  bool SweepInterval(const std::string& token, int kind);
  bool SweepApply(const std::string& token, int kind);
  // Every entry held by a pattern library or step list counts against the event limit.
  void ClearPattern(TIntListLibItem& pattern);
  bool RoomForEntries(uint64_t count) const { return FPatternEntries + count <= FEventLimit; }
  void AddEntry(TIntListLibItem& pattern, int32_t value) {
    pattern.Add(value);
    ++FPatternEntries;
  }
  uint64_t FPatternEntries = 0;

  // Random and humanize commands (CmdRandom.cpp)
  bool CmdUl(const std::string& token);
  bool CmdUr(const std::string& token);
  bool CmdUrs(const std::string& token);
  bool CmdQ(const std::string& token);
  bool CmdQr(const std::string& token);
  bool CmdQrs(const std::string& token);
  bool CmdRnds(const std::string& token);
  bool CmdRndl(const std::string& token);
  bool CmdRnd(const std::string& token);

  std::mt19937 FRandom;
  uint64_t FWorkDone = 0;
  uint64_t FWorkLimit = kMaxWork;
  size_t FEventLimit = kMaxEvents;  // events in the list, and entries of patterns and queues
};

}  // namespace tw
