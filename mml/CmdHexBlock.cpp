// Hex event blocks.
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterHexCommands() {}

}  // namespace tw
