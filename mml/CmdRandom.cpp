// Random and humanize commands.
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterRandomCommands() {}

}  // namespace tw
