#pragma once

// The window's store against a demo store on ephemeral loopback ports, with
// the real web engine.
#include "melDemoStoreProcess.h"
#include "melImageButton.h"
#include "melStoreController.h"
#include "melUiTestSupport.h"
#include "melWebEngineBrowser.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QThread>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

inline constexpr int cPageMs = 20000;

// A store and the settings that point the window at it.
class tStoreUnderTestC {
public:
  explicit tStoreUnderTestC(QStringList aSwitches = {}) : mProcess(std::move(aSwitches)) {}
  QString Start() { return mProcess.Start(); }
  QStringList Settings() const {
    return {
        QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Melodra\\Lessondeck\\Options]"),
        QStringLiteral("\"StoreHost\"=\"127.0.0.1\""),
        QStringLiteral("\"StoreHttpPort\"=dword:%1").arg(mProcess.HttpPort(), 8, 16, QChar(u'0')),
        QStringLiteral("\"StoreHttpsPort\"=dword:%1").arg(mProcess.HttpsPort(), 8, 16, QChar(u'0')),
        QStringLiteral("\"StoreCertificate\"=\"%1\"")
            .arg(QString(mProcess.CertificateFile()).replace(u'\\', QLatin1String("\\\\")))};
  }
  // The requests it saw so far ("http GET /downloadStore/index.php 200").
  QStringList Requests() const { return mProcess.Output(); }
  bool Saw(const QString &aStart) const {
    for (const QString &line : Requests())
      if (line.startsWith(aStart))
        return true;
    return false;
  }
  // The store logs a request once it has answered it, so a client may be
  // through with the answer a moment before the line is there.
  bool SawSoon(const QString &aStart) const {
    QDeadlineTimer deadline(3000);
    while (!Saw(aStart)) {
      if (deadline.hasExpired())
        return false;
      QThread::msleep(10);
    }
    return true;
  }
  tDemoStoreProcessC mProcess;
};

class StoreWindowTest : public TStoreApplicationTest {
protected:
  static void SetUpTestSuite() {
    SetWebBrowserFactory(&CreateWebEngineBrowser);
    gStore = new tStoreUnderTestC();
    gStartError = gStore->Start();
  }
  static void TearDownTestSuite() {
    delete gStore;
    gStore = nullptr;
  }
  void SetUp() override {
    TStoreApplicationTest::SetUp();
    ASSERT_TRUE(gStartError.isEmpty()) << gStartError.toStdString();
  }

  void OpenWindow(const tStoreUnderTestC &aStore = *gStore) {
    WriteRegistry(aStore.Settings());
    mWindow = std::make_unique<TMain>();
    mWindow->show();
    ASSERT_TRUE(WaitFor([&] { return mWindow->DeferredStartDone(); }));
  }
  TStoreController &Store() const { return mWindow->Store(); }
  TWebEngineBrowser *Browser() const {
    return dynamic_cast<TWebEngineBrowser *>(Store().WebBrowser());
  }
  template <typename T> T *Control(const char *aName) const {
    return mWindow->findChild<T *>(QLatin1String(aName));
  }
  void Click(const char *aButton) { Control<TImageButton>(aButton)->click(); }
  // The page at aUrl has been shown and the progress is off again.
  bool WaitPage(const QString &aUrl) {
    return WaitFor(
        [&] {
          return Browser() && Browser()->LocationURL() == aUrl && !Store().StoreProgressShown();
        },
        cPageMs);
  }
  QVariant RunScript(const QString &aScript) {
    std::optional<QVariant> result;
    Browser()->View()->page()->runJavaScript(aScript,
                                             [&](const QVariant &aValue) { result = aValue; });
    EXPECT_TRUE(WaitFor([&] { return result.has_value(); }, cPageMs)) << aScript.toStdString();
    return result.value_or(QVariant());
  }
  // The page's download links, as it shows them.
  QStringList DownloadLinks() {
    return RunScript(QStringLiteral("Array.from(document.querySelectorAll("
                                    "'a[href*=\"downloadRedirect.php\"]')).map(a => a.href)"))
        .toStringList();
  }
  QByteArray CatalogText() const { return ReadFile(HomeFile(QStringLiteral("Catalog.xml"))); }
  // A catalog of one downloaded lesson, "Clip", with its short movie.
  void WriteOneClipCatalog() {
    ASSERT_TRUE(QDir().mkpath(HomeFile(QStringLiteral("video"))));
    MakeClip(HomeFile(QStringLiteral("video/clip.mp4")));
    WriteFile(HomeFile(QStringLiteral("Catalog.xml")),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Catalog version=\"1.0\">"
              "<Category name=\"A\"><Category name=\"B\"><Category name=\"C\">"
              "<File name=\"Clip\"><Filename>video\\clip.mp4</Filename><FileType>Movie</FileType>"
              "<Status>Downloaded</Status></File></Category></Category></Category></Catalog>\n");
  }
  int NotDownloaded() const { return int(CatalogText().count("<Status>Not downloaded</Status>")); }

  // The general error boxes among aBoxes, and how many offered the login.
  static std::vector<tSeenBoxC> Errors(const std::vector<tSeenBoxC> &aBoxes) {
    std::vector<tSeenBoxC> errors;
    for (const tSeenBoxC &box : aBoxes)
      if (box.mCaption == QLatin1String("Melodra"))
        errors.push_back(box);
    return errors;
  }
  static int LoginOffers(const std::vector<tSeenBoxC> &aBoxes) {
    int offers = 0;
    for (const tSeenBoxC &box : aBoxes)
      offers += box.mText.startsWith(QLatin1String("You must be logged in"));
    return offers;
  }

  static inline tStoreUnderTestC *gStore = nullptr;
  static inline QString gStartError;
};
