#pragma once

#include "melDemoStoreOffer.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>

// How the store answers; the test switches each change only what they name.
struct tDemoStoreOptionsC {
  std::string mHost = "127.0.0.1";
  int mHttpPort = 8080;
  int mHttpsPort = 8443;
  // Cut a file download after this many body bytes; negative: never.
  int64_t mDropAfter = -1;
  // Answer a range request with the whole file.
  bool mIgnoreRange = false;
  // Every request of a file sees new content and new validators.
  bool mChangeEtag = false;
  // 503 for files and catalog documents.
  bool mFail5xx = false;
  // Waited before every answer.
  int mSlowMs = 0;
  // File bodies sent at this many KiB per second; 0: as fast as they go.
  int mRateKiB = 0;
  // The download link's header spelled "download".
  bool mDownloadHeaderLower = false;
  // A second "Download" line after the real one.
  bool mDownloadHeaderTwice = false;
  // The download link answers 302 (with a wrong "Download" header) to an
  // address that gives the real one.
  bool mRedirectDownload = false;
  tBadCatalogE mBadCatalog = tBadCatalogE::None;
};

// Where the store keeps what it made: cert.pem, key.pem, login-token and
// files/.
struct tDemoStoreDataC {
  QString mCertificateFile;
  QString mKeyFile;
  QString mFilesFolder;
  std::string mLoginToken;
};

// The HTTP and the HTTPS server, serving the same store.
class tDemoStoreServerC {
public:
  tDemoStoreServerC(tDemoStoreOptionsC aOptions, tDemoStoreDataC aData);
  ~tDemoStoreServerC();
  tDemoStoreServerC(const tDemoStoreServerC &) = delete;
  tDemoStoreServerC &operator=(const tDemoStoreServerC &) = delete;

  // Binds both ports (0: an ephemeral one) and starts serving; returns once
  // both listen. Raises std::runtime_error when a port cannot be bound.
  void Start();
  int HttpPort() const;
  int HttpsPort() const;
  // Whether both still serve.
  bool Running() const;
  void Stop();

private:
  struct tImplC;
  std::unique_ptr<tImplC> mImpl;
};

// Reads DATA/login-token, making it (random, mode 0600) when missing.
std::string EnsureLoginToken(const QString &aDataFolder);

// One line on stdout, whole, from any thread.
void WriteStoreLog(const std::string &aLine);
