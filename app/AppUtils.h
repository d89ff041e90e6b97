// Application routines of the window: the executable's folder and opening a file with the
// program the desktop associates with it.
#pragma once

#include <QString>

namespace tw {

// The folder of the running executable, ending with a path delimiter.
QString ExeFolder();

// Asks the desktop to open the file with its associated program; the result is not examined,
// so a missing file or a missing association gives no message.
void ShellOpen(const QString& path);

}  // namespace tw
