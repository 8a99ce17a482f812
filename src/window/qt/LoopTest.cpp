#include "window/qt/LoopTest.h"

#include <QStandardPaths>

std::string LoopTestMarkerPath() {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return (config + "/Zyphex/LoopTest.ini").toStdString();
}
