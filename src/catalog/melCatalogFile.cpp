#include "melCatalogFile.h"

#include "melApplications.h"
#include "melErrors.h"
#include "melPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

void SaveCatalogFile(const QString &aLocalFileName, const QByteArray &aContent) {
  QSaveFile file(aLocalFileName);
  // The flush is checked on its own: commit renames a short file over the
  // old one when the buffered write failed (a full disk, a size limit).
  if (!file.open(QIODevice::WriteOnly) || file.write(aContent) != aContent.size() ||
      !file.flush() || !file.commit())
    throw EMelError(QStringLiteral("Cannot write the catalog file %1: %2")
                        .arg(QDir::toNativeSeparators(aLocalFileName), file.errorString()));
}

void EnsureCatalogFile() {
  const QString fileName = LocalPath(CatalogFilePath());
  if (QFileInfo::exists(fileName))
    return;
  SaveCatalogFile(fileName, cEmptyCatalog);
}
