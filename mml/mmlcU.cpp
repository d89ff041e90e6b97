#include "mmlcU.h"

#include <algorithm>
#include <chrono>

#include "FileIO.h"
#include "Texts.h"

namespace tw {
namespace {

// Bytes of text that one command may step over for its single unit of work; every further run
// of this many bytes counts one unit more. Stepping over a byte costs about a sixteenth of a
// command, so the work budget holds a loop that re-reads a long comment, number or list in
// every pass as well as one that runs many short commands.
constexpr uint64_t kBytesPerWork = 16;

}  // namespace

TMmlc::TMmlc() {
  RegisterCommands();
  FBendRange.fill(2);
  for (int n = 1; n <= 128; ++n) FProgramMap[n] = static_cast<uint8_t>(n - 1);
  FProgramMap[0] = 0;
  Seed(static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
}

void TMmlc::RegisterCommands() {
  RegisterSectionCommands();
  RegisterNoteCommands();
  RegisterVoiceCommands();
  RegisterLoopCommands();
  RegisterHeaderCommands();
  RegisterHexCommands();
  RegisterHwLoopCommands();
  RegisterControlCommands();
  RegisterRewindCommands();
  RegisterSweepCommands();
  RegisterRandomCommands();
}

bool TMmlc::Fail(const std::string& token, const char* message) {
  FErrorText = text::kOpenBracket + token + text::kCloseBracket + message;
  return false;
}

void TMmlc::AddBendRange(Tick time, int channel, int semitones) {
  FSmf.AddControlChange(time, channel, 0, 101, 0);
  FSmf.AddControlChange(time, channel, 0, 100, 0);
  FSmf.AddControlChange(time, channel, 0, 6, semitones);
  FSmf.AddControlChange(time, channel, 0, 38, 0);
}

void TMmlc::FlushHeldNote() {
  if (NoteInRange(FHeldNote) && !Muted()) FSmf.AddNoteOff(OutTime(), OutChannel(), 0, FHeldNote);
  OutTime();
}

void TMmlc::AppendLoopData(const std::string& line) {
  FLoopDataLines.push_back(line);
  if (!FLoopDataPath.empty()) WriteFileAtomic(FLoopDataPath, JoinLinesCrLf(FLoopDataLines));
}

bool TMmlc::Compile(const std::string& path) {
  FSrc.LoadFile(path);
  FLoopDataPath = ChangeFileExt(path, ".lpd");
  // If an old loop data file cannot be deleted, this compile's lines follow its lines.
  if (FileExists(FLoopDataPath) && !RemoveFile(FLoopDataPath))
    FLoopDataLines = SplitTextLines(ReadWholeFile(FLoopDataPath, text::kMsgWriteFailed));
  if (!RunCommands()) return false;
  FSmf.SaveToFile(ChangeFileExt(path, ".mid"));
  return true;
}

bool TMmlc::CompileText(std::string text) {
  FSrc.SetText(std::move(text));
  return RunCommands();
}

// The compile loop: one token at a time through the keyword table, up to the end of the text
// or the first failure. On success the held note is released.
bool TMmlc::RunCommands() {
  // About one event per byte of text (a note and its blank make two); a guess, since loops
  // repeat text, but it spares most of the copying while the list grows.
  FSmf.Reserve(FSrc.FText.size());
  bool ok = true;
  uint64_t stepped = FSrc.FStepped;
  std::string token;
  for (FSrc.NextToken(token); !token.empty(); FSrc.NextToken(token)) {
    AddWork(1);
    if (!Execute(token)) {
      ok = Fail(token, text::kMsgUnknown);
      break;
    }
    AddWork((FSrc.FStepped - stepped) / kBytesPerWork);
    stepped = FSrc.FStepped;
    if (!FLastOk || !CheckBounds(token)) {
      ok = false;
      break;
    }
  }
  if (ok) {
    FlushHeldNote();
  } else {
    FSrc.GetLineColumn(FErrorLine, FErrorColumn);
  }
  return ok;
}

// Ends the compile at the command that made the song exceed what the file can hold.
bool TMmlc::CheckBounds(const std::string& token) {
  if (WorkExhausted()) return Fail(token, text::kMsgWorkLimit);
  switch (FSmf.LimitHit()) {
    case TSmf::TLimit::Events:
      return Fail(token, text::kMsgEventLimit);
    case TSmf::TLimit::Time:
      return Fail(token, text::kMsgTimeLimit);
    case TSmf::TLimit::None:
      break;
  }
  const Tick pending = FTrackTime - (FSrc.FExtended ? FRewindOffset : 0);
  if (FTrackTime > TSmf::kMaxTick || pending > TSmf::kMaxTick || FSmf.FSongLength > TSmf::kMaxTick)
    return Fail(token, text::kMsgTimeLimit);
  return true;
}

}  // namespace tw
