#include "melTestClip.h"

#include <QProcess>

QString MakeTestClip(const QString &aPath, const tClipSpecC &aSpec) {
  QStringList args = {QStringLiteral("-y"),
                      QStringLiteral("-loglevel"),
                      QStringLiteral("error"),
                      QStringLiteral("-f"),
                      QStringLiteral("lavfi"),
                      QStringLiteral("-i"),
                      QStringLiteral("testsrc2=size=%1x%2:rate=%3")
                          .arg(aSpec.mSize.width())
                          .arg(aSpec.mSize.height())
                          .arg(aSpec.mFrameRate)};
  if (aSpec.mTone)
    args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
         << QStringLiteral("sine=frequency=440:sample_rate=44100");
  args << QStringLiteral("-t") << QString::number(aSpec.mSeconds) << QStringLiteral("-c:v")
       << QStringLiteral("libx264") << QStringLiteral("-preset") << aSpec.mPreset
       << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
  if (aSpec.mTone)
    args << QStringLiteral("-c:a") << QStringLiteral("aac") << QStringLiteral("-shortest");
  args << aPath;
  QProcess ffmpeg;
  ffmpeg.start(QStringLiteral("ffmpeg"), args);
  if (!ffmpeg.waitForStarted())
    return QStringLiteral("ffmpeg cannot start: ") + ffmpeg.errorString();
  if (!ffmpeg.waitForFinished(120000)) {
    ffmpeg.kill();
    ffmpeg.waitForFinished();
    return QStringLiteral("ffmpeg took too long to make ") + aPath;
  }
  if (ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0)
    return QStringLiteral("ffmpeg failed (exit %1) making %2: %3")
        .arg(ffmpeg.exitStatus() == QProcess::NormalExit ? ffmpeg.exitCode() : -1)
        .arg(aPath, QString::fromLocal8Bit(ffmpeg.readAllStandardError()).trimmed());
  return {};
}
