#include "melPlayerTestSupport.h"

#include "melMovieEngine.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {
class tClipC {
public:
  static tClipC &Get() {
    static tClipC clip;
    return clip;
  }
  QString mPath;
  QString mError;

private:
  tClipC() {
    const QString path = mDir.filePath(QStringLiteral("clip.mp4"));
    QStringList args =
        QStringLiteral("-y -loglevel error -f lavfi -i testsrc2=size=320x240:rate=25 "
                       "-f lavfi -i sine=frequency=440:sample_rate=44100 -t 4 "
                       "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac "
                       "-shortest")
            .split(u' ');
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args << path);
    if (!ffmpeg.waitForFinished(30000) || ffmpeg.exitStatus() != QProcess::NormalExit ||
        ffmpeg.exitCode() != 0)
      mError =
          QStringLiteral("ffmpeg failed: ") + QString::fromLocal8Bit(ffmpeg.readAllStandardError());
    else
      mPath = path;
  }
  QTemporaryDir mDir;
};
} // namespace

QString TestClip(QString *aError) {
  if (aError)
    *aError = tClipC::Get().mError;
  return tClipC::Get().mPath;
}

bool LoadAndWait(tMovieEngineC &aEngine, const QString &aPath, QString *aError) {
  QString failure;
  bool ended = false;
  QMetaObject::Connection loaded =
      QObject::connect(&aEngine, &tMovieEngineC::MovieLoaded, [&] { ended = true; });
  QMetaObject::Connection failed =
      QObject::connect(&aEngine, &tMovieEngineC::MovieLoadFailed, [&](const QString &aMessage) {
        failure = aMessage;
        ended = true;
      });
  try {
    aEngine.Load(aPath);
  } catch (const EMovieError &aFailure) {
    failure = aFailure.Message();
    ended = true;
  }
  if (!QTest::qWaitFor([&] { return ended; }, 15000))
    ADD_FAILURE() << "the load never ended";
  QObject::disconnect(loaded);
  QObject::disconnect(failed);
  if (aError)
    *aError = failure;
  return aEngine.Loaded();
}
