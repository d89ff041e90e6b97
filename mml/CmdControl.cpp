// Controller and system commands.
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterControlCommands() {}

}  // namespace tw
