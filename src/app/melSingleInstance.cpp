#include "melSingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

tInstanceLockC::tInstanceLockC(const QString &aFolder)
    : mFileName(aFolder + QLatin1String(cInstanceLockName)), mLock(mFileName) {
  // The lock lives as long as the program; only a dead holder makes it stale.
  mLock.setStaleLockTime(0);
}

tInstanceLockC::tResult tInstanceLockC::TryLock() {
  mFoundPid = 0;
  mErrorText.clear();
  qint64 pid = 0;
  QString hostName, appName;
  const bool found = mLock.getLockInfo(&pid, &hostName, &appName);
  if (mLock.tryLock(0)) {
    if (found)
      mFoundPid = pid;
    return lrLocked;
  }
  switch (mLock.error()) {
  case QLockFile::LockFailedError:
    // Read again: the holder may have changed since the first look.
    if (mLock.getLockInfo(&pid, &hostName, &appName))
      mFoundPid = pid;
    return lrHeld;
  case QLockFile::PermissionError:
    mErrorText = QStringLiteral("Cannot create the lock file %1: permission denied").arg(mFileName);
    break;
  default: mErrorText = QStringLiteral("Cannot create the lock file %1").arg(mFileName); break;
  }
  return lrFailed;
}

QString InstanceChannelName(const QString &aFolder) {
  QString folder = QFileInfo(aFolder).canonicalFilePath();
  if (folder.isEmpty())
    folder = QDir::cleanPath(QDir(aFolder).absolutePath());
  const QByteArray hash =
      QCryptographicHash::hash(QFile::encodeName(folder), QCryptographicHash::Sha256).toHex();
  return QStringLiteral("melodra-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash.left(32)));
}
