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
