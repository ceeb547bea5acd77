#include "melAtomicSave.h"

#include <QDir>
#include <QSaveFile>

QString SaveFileAtomically(const QString &aLocalPath, const QByteArray &aContent,
                           const QString &aWhat, const tBeforeCommitFn &aBeforeCommit) {
  QSaveFile file(aLocalPath);
  const auto failure = [&] {
    return QStringLiteral("Cannot write the %1 %2: %3")
        .arg(aWhat, QDir::toNativeSeparators(aLocalPath), file.errorString());
  };
  // The flush is checked on its own: commit renames a short file over the
  // old one when the buffered write failed (a full disk, a size limit).
  if (!file.open(QIODevice::WriteOnly) || file.write(aContent) != aContent.size() || !file.flush())
    return failure();
  if (aBeforeCommit)
    aBeforeCommit(file.handle());
  if (!file.commit())
    return failure();
  return {};
}
