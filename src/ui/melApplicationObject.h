#pragma once

#include <QApplication>

// The application object. Its notify is the last guard: a failure that a
// handler let through is shown in the error box instead of ending the
// program.
class TmelApplication : public QApplication {
  Q_OBJECT
public:
  TmelApplication(int &aArgc, char **aArgv);
  bool notify(QObject *aReceiver, QEvent *aEvent) override;
};
