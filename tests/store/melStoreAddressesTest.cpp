#include "melStoreAddresses.h"
#include "melRegistry.h"
#include "melStoreSession.h"
#include "melTestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class StoreAddressesTest : public TTempHomeTest {};

TEST_F(StoreAddressesTest, TheSettingsGiveTheBasesAndTheDemoStoreIsTheDefault) {
  const struct {
    const char *mName;
    QStringList mValues;
    const char *mSecure;
    const char *mPlain;
  } cases[] = {
      {"no settings", {}, "https://127.0.0.1:8443", "http://127.0.0.1:8080"},
      {"a host and the schemes' own ports",
       {"\"StoreHost\"=\"store.example\"", "\"StoreHttpPort\"=dword:00000050",
        "\"StoreHttpsPort\"=dword:000001bb"},
       "https://store.example",
       "http://store.example"},
      {"other ports",
       {"\"StoreHttpPort\"=dword:00001f91", "\"StoreHttpsPort\"=dword:000020fc"},
       "https://127.0.0.1:8444",
       "http://127.0.0.1:8081"},
      {"ports out of range and an empty host keep the defaults",
       {"\"StoreHost\"=\"  \"", "\"StoreHttpPort\"=dword:00000000",
        "\"StoreHttpsPort\"=dword:00010000"},
       "https://127.0.0.1:8443",
       "http://127.0.0.1:8080"},
  };
  for (const auto &test : cases) {
    SCOPED_TRACE(test.mName);
    WriteRegistry(QStringList{QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\"
                                             "Options]")} +
                  test.mValues);
    const tStoreAddressesC addresses = ReadStoreAddresses();
    EXPECT_EQ(addresses.SecureBase().toStdString(), test.mSecure);
    EXPECT_EQ(addresses.PlainBase().toStdString(), test.mPlain);
  }
  const tStoreAddressesC store = ReadStoreAddresses();
  EXPECT_EQ(store.StartPage(), QStringLiteral("https://127.0.0.1:8443/downloadStore/index.php"));
  EXPECT_EQ(store.HomePage(), QStringLiteral("http://127.0.0.1:8080/downloadStore/"));
  EXPECT_EQ(store.DownloadLinkMark(),
            QStringLiteral("http://127.0.0.1:8080/downloadStore/downloadRedirect.php"));
  EXPECT_EQ(store.LoginPage(), QStringLiteral("https://127.0.0.1:8443/downloadStore/login.php"));
}

TEST_F(StoreAddressesTest, AWrongTypeIsAnErrorAndRequestsTakeTheSessionAndTheCertificate) {
  WriteRegistry({QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\Options]"),
                 QStringLiteral("\"StoreHttpPort\"=\"8080\"")});
  EXPECT_THROW(ReadStoreAddresses(), ERegistryException);

  WriteRegistry({QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\Options]"),
                 QStringLiteral("\"StoreCertificate\"=\"/tmp/store.pem\"")});
  tStoreSessionC session;
  session.CaptureStoreCookie(QStringLiteral("https://127.0.0.1:8443/downloadStore/"),
                             QStringLiteral("customerLogin=ann"),
                             ReadStoreAddresses().SecureBase());
  const tStoreRequestOptionsC options =
      StoreRequestOptions(ReadStoreAddresses(), session, {true, QStringLiteral("p2"), 3128});
  EXPECT_EQ(options.mCookie, QStringLiteral("customerLogin=ann"));
  EXPECT_EQ(options.mStoreHost, QStringLiteral("127.0.0.1"));
  EXPECT_EQ(options.mCertificateFile, QStringLiteral("/tmp/store.pem"));
  EXPECT_EQ(options.mProxy.mServer, QStringLiteral("p2"));
}

} // namespace

namespace {

TEST_F(StoreAddressesTest, TheDemoStoresCertificateIsTrustedUntilTheSettingsNameOne) {
  const QByteArray saved = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", QFile::encodeName(HomeFile(QStringLiteral("data"))));
  EXPECT_EQ(ReadStoreAddresses().mCertificate, QString()) << "no demo store has run";

  const QString demo = HomeFile(QStringLiteral("data/Melodra/demo-store/cert.pem"));
  ASSERT_TRUE(QDir().mkpath(QFileInfo(demo).path()));
  WriteFile(demo, "-----BEGIN CERTIFICATE-----\n");
  EXPECT_EQ(ReadStoreAddresses().mCertificate, demo);

  WriteRegistry({QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\Options]"),
                 QStringLiteral("\"StoreCertificate\"=\"/tmp/store.pem\"")});
  EXPECT_EQ(ReadStoreAddresses().mCertificate, QStringLiteral("/tmp/store.pem"));
  if (saved.isNull())
    qunsetenv("XDG_DATA_HOME");
  else
    qputenv("XDG_DATA_HOME", saved);
}

} // namespace
