#include "melApplicationObject.h"

#include "melMessages.h"

TmelApplication::TmelApplication(int &aArgc, char **aArgv) : QApplication(aArgc, aArgv) {
  setApplicationName(QStringLiteral("Melodra"));
  setDesktopFileName(QStringLiteral("melodra"));
  setWindowIcon(QIcon(QStringLiteral(":/assets/melodra-256.png")));
  // The main window's close ends the run, not the last window (the picker
  // closes before the main window exists).
  setQuitOnLastWindowClosed(false);
}

bool TmelApplication::notify(QObject *aReceiver, QEvent *aEvent) {
  try {
    return QApplication::notify(aReceiver, aEvent);
  } catch (...) {
    ShowCurrentException();
    return false;
  }
}
