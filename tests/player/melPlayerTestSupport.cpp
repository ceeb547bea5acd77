#include "melPlayerTestSupport.h"

#include "melMovieEngine.h"
#include "melTestClip.h"

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
    mError = MakeTestClip(path, {QSize(320, 240), 25, cClipMs / 1000.0});
    if (mError.isEmpty())
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
