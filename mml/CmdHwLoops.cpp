// Hardware loops and the loop data file.
#include "Texts.h"
#include "mmlcU.h"

namespace tw {

void TMmlc::RegisterHwLoopCommands() {}

}  // namespace tw
