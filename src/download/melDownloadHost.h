#pragma once

#include "melStoreClient.h"

#include <QString>

#include <cstdint>

// What the downloads need of the main window. Every call comes on the main
// thread: the workers' reports run there while the worker waits.
class tDownloadHostC {
public:
  virtual ~tDownloadHostC() = default;
  // Writes the status (0 "Downloaded" .. 4 "Paused") of every episode with
  // this URL into the catalog file.
  virtual void UpdateEpisodeStatus(const QString &aURL, uint8_t aStatus) = 0;
  // The list update: the first row whose episode has this local file and
  // URL gets aPercent as its progress (100 for a downloaded episode, 0 for a
  // not-downloaded one, otherwise clamped to 0..100); no row, no change.
  virtual void ReportProgress(const QString &aURL, const QString &aLocalFile, int aPercent) = 0;
  // Re-reads the catalog file into the view.
  virtual void ReloadCatalog() = 0;
  // Whether the user is logged in to the store; may offer the login page.
  virtual bool CheckStoreLogin() = 0;
  // What the transfer's requests are made with (the cookie for the store's
  // host, the proxy, the store's certificate), read when a worker starts;
  // the worker keeps this copy.
  virtual tStoreRequestOptionsC StoreRequestOptions() = 0;
  // The current application's catalog file, resolved (stored form, as
  // CatalogFilePath gives it).
  virtual QString CatalogFilePath() = 0;
};
