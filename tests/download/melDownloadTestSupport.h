#pragma once

#include "melDownloadHost.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// The main window as the downloads see it: records every call, writes
// statuses into the catalog file when it names one.
class tFakeHostC : public tDownloadHostC {
public:
  struct tEventC {
    QString mURL;
    char mKind; // 's' status, 'p' progress, 'r' reload
    int mValue;
  };
  void UpdateEpisodeStatus(const QString &aURL, uint8_t aStatus) override;
  void ReportProgress(const QString &aURL, const QString &aLocalFile, int aPercent) override;
  void ReloadCatalog() override { mEvents.append({QString(), 'r', 0}); }
  bool CheckStoreLogin() override {
    ++mLoginChecks;
    return mLoggedIn;
  }
  tStoreRequestOptionsC StoreRequestOptions() override { return mOptions; }
  QString CatalogFilePath() override { return mCatalog; }

  QList<int> Statuses(const QString &aURL) const;
  QList<int> Progress(const QString &aURL) const;
  // The last status written for the URL, -1 without one.
  int LastStatus(const QString &aURL) const;

  QString mCatalog; // empty: statuses are only recorded
  tStoreRequestOptionsC mOptions;
  bool mLoggedIn = true;
  int mLoginChecks = 0;
  QList<tEventC> mEvents;
  // Called after each progress report is recorded.
  std::function<void(const QString &aURL, const QString &aLocalFile, int aPercent)> mOnProgress;
};

QByteArray Sha256(const QByteArray &aData);
QByteArray FileBytes(const QString &aPath);
