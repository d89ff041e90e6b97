// Voice commands.
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterVoiceCommands() {}

}  // namespace tw
