#include "melStoreAddresses.h"

#include "melRegistry.h"
#include "melStoreSession.h"
#include "melUtil.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString Base(const char *aScheme, const QString &aHost, int aPort, int aSchemePort) {
  QString base = QLatin1String(aScheme) + QStringLiteral("://") + aHost;
  if (aPort != aSchemePort)
    base += u':' + QString::number(aPort);
  return base;
}

void ReadPort(const TRegistry &aRegistry, const QString &aName, int &aPort) {
  if (!aRegistry.ValueExists(aName))
    return;
  const int port = aRegistry.ReadInteger(aName);
  if (port >= 1 && port <= 65535)
    aPort = port;
}

} // namespace

QString tStoreAddressesC::SecureBase() const {
  return Base("https", mHost, mHttpsPort, 443);
}

QString tStoreAddressesC::PlainBase() const {
  return Base("http", mHost, mHttpPort, 80);
}

QString DemoStoreCertificate() {
  const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                       QStringLiteral("/Melodra/demo-store/cert.pem");
  return QFileInfo::exists(file) ? file : QString();
}

tStoreAddressesC ReadStoreAddresses() {
  tStoreAddressesC addresses;
  addresses.mCertificate = DemoStoreCertificate();
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(cOptionsKey))
    return addresses;
  if (registry.ValueExists(QStringLiteral("StoreHost"))) {
    const QString host = registry.ReadString(QStringLiteral("StoreHost")).trimmed();
    if (!host.isEmpty())
      addresses.mHost = host;
  }
  ReadPort(registry, QStringLiteral("StoreHttpPort"), addresses.mHttpPort);
  ReadPort(registry, QStringLiteral("StoreHttpsPort"), addresses.mHttpsPort);
  if (registry.ValueExists(QStringLiteral("StoreCertificate")))
    addresses.mCertificate = registry.ReadString(QStringLiteral("StoreCertificate"));
  return addresses;
}

tStoreRequestOptionsC StoreRequestOptions(const tStoreAddressesC &aAddresses,
                                          const tStoreSessionC &aSession,
                                          const tStoreProxyC &aProxy) {
  tStoreRequestOptionsC options;
  options.mCookie = aSession.GetStoreCookie();
  options.mStoreHost = aAddresses.mHost;
  options.mProxy = aProxy;
  options.mCertificateFile = aAddresses.mCertificate;
  return options;
}
