#include "melUiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

std::vector<tSeenBoxC> RunAnsweringBoxes(const std::function<void()> &aAction) {
  std::vector<tSeenBoxC> seen;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&seen] {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
      return;
    seen.push_back(
        {box->windowTitle(), box->text(), box->icon(), box->standardButtons(), box->textFormat()});
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
  QProcess ffmpeg;
  ffmpeg.start(QStringLiteral("ffmpeg"),
               {QStringLiteral("-y"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                QStringLiteral("testsrc2=size=64x48:rate=10"), QStringLiteral("-t"),
                QStringLiteral("0.5"), QStringLiteral("-c:v"), QStringLiteral("libx264"),
                QStringLiteral("-preset"), QStringLiteral("ultrafast"), QStringLiteral("-pix_fmt"),
                QStringLiteral("yuv420p"), aPath});
  const bool finished = ffmpeg.waitForFinished(30000);
  ASSERT_TRUE(finished && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0)
      << ffmpeg.readAllStandardError().toStdString();
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
