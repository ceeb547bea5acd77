#include "melStoreSession.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>

namespace {

const QString cSecure = QStringLiteral("https://127.0.0.1:8443");

TEST(StoreSessionTest, SecureStorePagesSetTheCookieAndOtherPagesLeaveIt) {
  tStoreSessionC session;
  EXPECT_FALSE(session.LoggedIn()) << "an empty text is no login";
  const struct {
    const char *mName;
    QString mUrl;
    std::optional<QString> mCookie;
    const char *mAfter;
    bool mLoggedIn;
  } steps[] = {
      {"logging in", cSecure + "/downloadStore/login.php", QStringLiteral("customerLogin=ann; a=1"),
       "customerLogin=ann; a=1", true},
      {"the plain base (Home)", "http://127.0.0.1:8080/downloadStore/index.php",
       QStringLiteral("x=1"), "customerLogin=ann; a=1", true},
      {"another site", "https://example.org/downloadStore/", QString(), "customerLogin=ann; a=1",
       true},
      {"a secure page without a document", cSecure + "/downloadStore/frame.php", std::nullopt,
       "customerLogin=ann; a=1", true},
      {"the letter case counts", cSecure + "/downloadStore/a.php", QStringLiteral("login=ann"),
       "login=ann", false},
      {"a secure page that sets no cookie logs out", cSecure + "/downloadStore/logout.php",
       QString(), "", false},
      {"Login in a value counts", cSecure + "/downloadStore/b.php", QStringLiteral("who=Login"),
       "who=Login", true},
      {"outside /downloadStore/", cSecure + "/other/", QStringLiteral("z=1"), "who=Login", true},
  };
  for (const auto &step : steps) {
    SCOPED_TRACE(step.mName);
    session.CaptureStoreCookie(step.mUrl, step.mCookie, cSecure);
    EXPECT_EQ(session.GetStoreCookie().toStdString(), step.mAfter);
    EXPECT_EQ(session.LoggedIn(), step.mLoggedIn);
  }
  session.Clear();
  EXPECT_TRUE(session.GetStoreCookie().isEmpty());
}

TEST(StoreSessionTest, ReadersOnOtherThreadsGetOneTextWhole) {
  tStoreSessionC session;
  const QString first = QStringLiteral("customerLogin=") + QString(2000, u'a');
  const QString second = QStringLiteral("b=") + QString(3000, u'b');
  std::atomic<bool> done{false};
  std::atomic<int> torn{0}, reads{0};
  QThread *reader = QThread::create([&] {
    while (!done) {
      const QString text = session.GetStoreCookie();
      if (!text.isEmpty() && text != first && text != second)
        ++torn;
      ++reads;
    }
  });
  reader->start();
  for (int i = 0; i < 20000 || reads < 2000; ++i)
    session.CaptureStoreCookie(cSecure + "/downloadStore/", i % 2 ? first : second, cSecure);
  done = true;
  reader->wait();
  delete reader;
  EXPECT_GT(reads, 0);
  EXPECT_EQ(torn, 0);
}

} // namespace
