#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// The running program's ear for a second start on its program folder: the
// second start connects, asks for the window and ends.
class tInstanceChannelC : public QObject {
  Q_OBJECT
public:
  explicit tInstanceChannelC(QString aName, QObject *aParent = nullptr);
  ~tInstanceChannelC() override;

  // Starts listening; false with the reason in aError when it cannot.
  bool Listen(QString &aError);

  // Asks the program listening on aName to bring its window forward and
  // waits for its answer. Retries the connection until aTimeoutMs, since
  // the holder of the lock may not listen yet. True once it answered.
  static bool RequestRaise(const QString &aName, int aTimeoutMs);

signals:
  void RaiseRequested();

private:
  void AcceptConnections();

  QString mName;
  QLocalServer *mServer = nullptr;
};
