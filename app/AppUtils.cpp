#include "AppUtils.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

namespace tw {

QString ExeFolder() { return QCoreApplication::applicationDirPath() + QLatin1Char('/'); }

void ShellOpen(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

}  // namespace tw
