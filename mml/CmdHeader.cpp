// Header settings of the setting section.
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterHeaderCommands() {}

}  // namespace tw
