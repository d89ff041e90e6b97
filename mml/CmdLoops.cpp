// Software loops and cue marks.
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterLoopCommands() {}

}  // namespace tw
