#pragma once

#include "melApplications.h"
#include "melMain.h"
#include "melTestEnv.h"

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <vector>

struct tSeenBoxC {
  QString mCaption;
  QString mText;
  QMessageBox::Icon mIcon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons mButtons;
  Qt::TextFormat mTextFormat = Qt::AutoText;
};

// Runs the action and answers every message box it shows with aAnswer when
// the box has it, else with its first button, recording what each box
// showed.
std::vector<tSeenBoxC>
RunAnsweringBoxes(const std::function<void()> &aAction,
                  QMessageBox::StandardButton aAnswer = QMessageBox::NoButton);

// A movie episode's "File" element: video\NAME.mov, URL u-NAME, the status
// word given.
QByteArray EpisodeXml(const char *aName, const char *aStatus);
// A catalog whose \Guitar\Blues\Basics holds aEpisodes, and aMore after it
// at the top level.
QByteArray BluesCatalogXml(const QByteArray &aEpisodes, const QByteArray &aMore = {});

// Runs the event loop until the condition holds; false after the timeout.
bool WaitFor(const std::function<bool()> &aCondition, int aTimeoutMs = 5000);

// Writes a short, silent test clip to aPath with ffmpeg; fails the test when
// ffmpeg does.
void MakeClip(const QString &aPath);

// Takes the desktop's "open" requests in place of the desktop.
class TUrlRecorder : public QObject {
  Q_OBJECT
public:
  QList<QUrl> mUrls;
public slots:
  void Open(const QUrl &aUrl) { mUrls << aUrl; }
};

// A temporary program folder with its log open and the store application
// current; mWindow, when a test makes one, goes before the application.
class TStoreApplicationTest : public TTempHomeTest {
protected:
  void SetUp() override;
  void TearDown() override;
  // Makes and shows mWindow and waits for its deferred start, answering
  // with Cancel the login offer that episodes waiting to be fetched bring;
  // the boxes it showed.
  std::vector<tSeenBoxC> OpenWindowDecliningLogin();

  std::unique_ptr<tApplicationC> mApplication;
  std::unique_ptr<TMain> mWindow;
};
