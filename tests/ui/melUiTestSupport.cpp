#include "melUiTestSupport.h"

#include "melTestClip.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>

std::vector<tSeenBoxC> RunAnsweringBoxes(const std::function<void()> &aAction,
                                         QMessageBox::StandardButton aAnswer) {
  std::vector<tSeenBoxC> seen;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&seen, aAnswer] {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
      return;
    seen.push_back(
        {box->windowTitle(), box->text(), box->icon(), box->standardButtons(), box->textFormat()});
    if (QAbstractButton *answer = box->button(aAnswer))
      answer->click();
    else
      box->buttons().first()->click();
  });
  timer.start();
  aAction();
  return seen;
}

QByteArray EpisodeXml(const char *aName, const char *aStatus) {
  return QByteArray("<File name=\"") + aName + "\"><Filename>video\\" + aName +
         ".mov</Filename><FileType>Movie</FileType><URL>u-" + aName + "</URL><Status>" + aStatus +
         "</Status></File>";
}

QByteArray BluesCatalogXml(const QByteArray &aEpisodes, const QByteArray &aMore) {
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Catalog version=\"1.0\">"
         "<Category name=\"Guitar\"><Category name=\"Blues\"><Category name=\"Basics\">" +
         aEpisodes + "</Category></Category></Category>" + aMore + "</Catalog>";
}

bool WaitFor(const std::function<bool()> &aCondition, int aTimeoutMs) {
  QDeadlineTimer deadline(aTimeoutMs);
  while (!aCondition()) {
    if (deadline.hasExpired())
      return false;
    QTest::qWait(5);
  }
  return true;
}

void MakeClip(const QString &aPath) {
  const QString error = MakeTestClip(aPath, {QSize(64, 48), 10, 0.5, false});
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
}

void TStoreApplicationTest::SetUp() {
  TTempHomeTest::SetUp();
  OpenTestLog();
  mApplication = DefaultApplication();
  SetCurrentApplication(mApplication.get());
}

void TStoreApplicationTest::TearDown() {
  mWindow.reset();
  SetCurrentApplication(nullptr);
  TTempHomeTest::TearDown();
}

std::vector<tSeenBoxC> TStoreApplicationTest::OpenWindowDecliningLogin() {
  return RunAnsweringBoxes(
      [this] {
        mWindow = std::make_unique<TMain>();
        mWindow->show();
        ASSERT_TRUE(WaitFor([this] { return mWindow->DeferredStartDone(); }));
      },
      QMessageBox::Cancel);
}
