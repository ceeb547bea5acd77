#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A running melodra-demo-store (from the folder MELODRA_TEST_BIN names) on
// ephemeral loopback ports. Making the store's lesson files takes ffmpeg
// time, so every store of a build shares one data folder by default: the
// first start makes it, the others reuse it (the store serialises that).
// Stopped with SIGTERM when destroyed.
class tDemoStoreProcessC {
public:
  explicit tDemoStoreProcessC(QStringList aSwitches = {}, QString aDataFolder = {});
  ~tDemoStoreProcessC();
  tDemoStoreProcessC(const tDemoStoreProcessC &) = delete;
  tDemoStoreProcessC &operator=(const tDemoStoreProcessC &) = delete;

  // Starts it and waits until both servers listen. Returns the empty text,
  // or what went wrong (with the store's own output).
  [[nodiscard]] QString Start(int aTimeoutMs = 300000);
  // SIGTERM and wait; the exit code, -1 when it had to be killed or never ran.
  int Stop();

  int HttpPort() const { return mHttpPort; }
  int HttpsPort() const { return mHttpsPort; }
  QString PlainBase() const;
  QString SecureBase() const;
  QString DataFolder() const { return mDataFolder; }
  // The store's self-signed certificate, to trust for SecureBase().
  QString CertificateFile() const;
  // The cookie the demo account's login sets ("customerLogin=...").
  QString LoginCookie() const;
  // What the store wrote to stdout so far: its start lines and one line per
  // request ("http GET /downloadStore/index.php 200").
  QStringList Output() const;

  // bin/melodra-demo-store, or empty when MELODRA_TEST_BIN is not set.
  static QString Program();
  // The data folder stores share: MELODRA_DEMO_STORE_DATA, else
  // test-data/demo-store in the build folder.
  static QString SharedDataFolder();

private:
  QStringList mSwitches;
  QString mDataFolder;
  QTemporaryDir mRunFolder;
  QProcess mProcess;
  int mHttpPort = 0;
  int mHttpsPort = 0;
};
