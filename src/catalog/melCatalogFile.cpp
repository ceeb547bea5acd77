#include "melCatalogFile.h"

#include "melApplications.h"
#include "melErrors.h"
#include "melPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

void SaveCatalogFile(const QString &aLocalFileName, const QByteArray &aContent) {
  QSaveFile file(aLocalFileName);
  if (!file.open(QIODevice::WriteOnly) || file.write(aContent) != aContent.size() || !file.commit())
    throw EMelError(QStringLiteral("Cannot write the catalog file %1: %2")
                        .arg(QDir::toNativeSeparators(aLocalFileName), file.errorString()));
}

void EnsureCatalogFile() {
  const QString fileName = LocalPath(CatalogFilePath());
  if (QFileInfo::exists(fileName))
    return;
  SaveCatalogFile(fileName, cEmptyCatalog);
}
