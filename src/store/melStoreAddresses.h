#pragma once

#include "melProxy.h"
#include "melStoreClient.h"

#include <QString>

class tStoreSessionC;

// Where the store is: its host and ports come from the settings (Options:
// StoreHost, StoreHttpPort, StoreHttpsPort, StoreCertificate), by default the
// local demo store.
struct tStoreAddressesC {
  QString mHost = QStringLiteral("127.0.0.1");
  int mHttpPort = 8080;
  int mHttpsPort = 8443;
  // A PEM certificate trusted for the store besides the system's.
  QString mCertificate;

  // The scheme and host, with the port unless it is the scheme's own.
  QString SecureBase() const;
  QString PlainBase() const;
  QString StartPage() const { return SecureBase() + QStringLiteral("/downloadStore/index.php"); }
  QString HomePage() const { return PlainBase() + QStringLiteral("/downloadStore/"); }
  // A download link contains this.
  QString DownloadLinkMark() const {
    return PlainBase() + QStringLiteral("/downloadStore/downloadRedirect.php");
  }
  QString LoginPage() const { return SecureBase() + QStringLiteral("/downloadStore/login.php"); }
};

// The certificate the local demo store makes in its default data folder
// ($XDG_DATA_HOME/Melodra/demo-store/cert.pem); empty while there is none.
QString DemoStoreCertificate();

// The addresses the settings give; a port outside 1 to 65535 keeps its
// default, and without a StoreCertificate the demo store's is trusted.
// Raises ERegistryException for a value of the wrong type.
tStoreAddressesC ReadStoreAddresses();

// What a store request is made with now: the session's cookie for the
// store's host only, the detected proxy, the store's certificate.
tStoreRequestOptionsC StoreRequestOptions(const tStoreAddressesC &aAddresses,
                                          const tStoreSessionC &aSession,
                                          const tStoreProxyC &aProxy);
