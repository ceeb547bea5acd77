#include "melDownloadTestSupport.h"

#include "melCatalogMaintenance.h"
#include "melPaths.h"

#include <QCryptographicHash>
#include <QFile>

void tFakeHostC::UpdateEpisodeStatus(const QString &aURL, uint8_t aStatus) {
  mEvents.append({aURL, 's', aStatus});
  if (!mCatalog.isEmpty())
    UpdateEpisodeStatusInFile(LocalPath(mCatalog), aURL, aStatus);
}

void tFakeHostC::ReportProgress(const QString &aURL, const QString &aLocalFile, int aPercent) {
  mEvents.append({aURL, 'p', aPercent});
  if (mOnProgress)
    mOnProgress(aURL, aLocalFile, aPercent);
}

QList<int> tFakeHostC::Statuses(const QString &aURL) const {
  QList<int> result;
  for (const tEventC &event : mEvents)
    if (event.mKind == 's' && event.mURL == aURL)
      result.append(event.mValue);
  return result;
}

QList<int> tFakeHostC::Progress(const QString &aURL) const {
  QList<int> result;
  for (const tEventC &event : mEvents)
    if (event.mKind == 'p' && event.mURL == aURL)
      result.append(event.mValue);
  return result;
}

int tFakeHostC::LastStatus(const QString &aURL) const {
  const QList<int> statuses = Statuses(aURL);
  return statuses.isEmpty() ? -1 : statuses.last();
}

QByteArray Sha256(const QByteArray &aData) {
  return QCryptographicHash::hash(aData, QCryptographicHash::Sha256).toHex();
}

QByteArray FileBytes(const QString &aPath) {
  QFile file(aPath);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
