#include "melInstanceChannel.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

namespace {

const QByteArray cRaiseRequest = "raise\n";
const QByteArray cRaiseAnswer = "ok\n";
// Anything longer than a request is not one.
constexpr qint64 cLongestRequest = 64;
// A caller that says nothing does not keep its connection.
constexpr int cRequestTimeout = 5000;

} // namespace

tInstanceChannelC::tInstanceChannelC(QString aName, QObject *aParent)
    : QObject(aParent), mName(std::move(aName)), mServer(new QLocalServer(this)) {
  // An abstract socket goes with its process, so a killed program leaves no
  // socket file that would block the next one.
  mServer->setSocketOptions(QLocalServer::AbstractNamespaceOption);
  connect(mServer, &QLocalServer::newConnection, this, &tInstanceChannelC::AcceptConnections);
}

tInstanceChannelC::~tInstanceChannelC() = default;

bool tInstanceChannelC::Listen(QString &aError) {
  if (mServer->listen(mName))
    return true;
  aError = mServer->errorString();
  return false;
}

void tInstanceChannelC::AcceptConnections() {
  while (QLocalSocket *socket = mServer->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(cRequestTimeout, socket, &QLocalSocket::abort);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > cLongestRequest)
          socket->abort();
        return;
      }
      const QByteArray request = socket->readLine(cLongestRequest);
      // Answered once the window is forward, so the second start's last word
      // comes after it.
      if (request == cRaiseRequest) {
        emit RaiseRequested();
        socket->write(cRaiseAnswer);
        socket->flush();
      }
      socket->disconnectFromServer();
    });
  }
}

bool tInstanceChannelC::RequestRaise(const QString &aName, int aTimeoutMs) {
  QDeadlineTimer deadline(aTimeoutMs);
  while (true) {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(aName);
    if (socket.waitForConnected(int(qMax<qint64>(deadline.remainingTime(), 1)))) {
      socket.write(cRaiseRequest);
      if (!socket.waitForBytesWritten(int(qMax<qint64>(deadline.remainingTime(), 1))))
        return false;
      QByteArray answer;
      while (!answer.endsWith('\n') && answer.size() <= cLongestRequest &&
             socket.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1))))
        answer += socket.readAll();
      return answer == cRaiseAnswer;
    }
    if (deadline.hasExpired())
      return false;
    QThread::msleep(100);
  }
}
