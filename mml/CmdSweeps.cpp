// Sweep commands.
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterSweepCommands() {}

}  // namespace tw
