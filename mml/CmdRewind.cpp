// Rewind and marker commands.
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterRewindCommands() {}

}  // namespace tw
