#include "melDemoStoreProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <csignal>

#include <sys/prctl.h>

#include <unistd.h>

#include <utility>

namespace {

QByteArray ReadAll(const QString &aFileName) {
  QFile file(aFileName);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

tDemoStoreProcessC::tDemoStoreProcessC(QStringList aSwitches, QString aDataFolder)
    : mSwitches(std::move(aSwitches)),
      mDataFolder(aDataFolder.isEmpty() ? SharedDataFolder() : std::move(aDataFolder)) {}

tDemoStoreProcessC::~tDemoStoreProcessC() {
  Stop();
}

QString tDemoStoreProcessC::Program() {
  const QString bin = qEnvironmentVariable("MELODRA_TEST_BIN");
  return bin.isEmpty() ? QString() : QDir(bin).filePath(QStringLiteral("melodra-demo-store"));
}

QString tDemoStoreProcessC::SharedDataFolder() {
  const QString chosen = qEnvironmentVariable("MELODRA_DEMO_STORE_DATA");
  if (!chosen.isEmpty())
    return chosen;
  const QString bin = qEnvironmentVariable("MELODRA_TEST_BIN");
  if (bin.isEmpty())
    return QDir::temp().filePath(QStringLiteral("melodra-demo-store-%1").arg(qulonglong(getuid())));
  return QDir::cleanPath(QDir(bin).filePath(QStringLiteral("../test-data/demo-store")));
}

QString tDemoStoreProcessC::Start(int aTimeoutMs) {
  const QString program = Program();
  if (program.isEmpty())
    return QStringLiteral("MELODRA_TEST_BIN is not set; it names the folder of "
                          "melodra-demo-store");
  if (!QFileInfo(program).isExecutable())
    return QStringLiteral("%1 is missing; build the melodra-demo-store target").arg(program);
  if (!mRunFolder.isValid())
    return QStringLiteral("cannot make a temporary folder: %1").arg(mRunFolder.errorString());
  const QString ready = mRunFolder.filePath(QStringLiteral("ready"));
  const QString errors = mRunFolder.filePath(QStringLiteral("stderr.txt"));

  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char *name :
       {"http_proxy", "https_proxy", "ftp_proxy", "HTTP_PROXY", "HTTPS_PROXY", "FTP_PROXY"})
    environment.remove(QLatin1String(name));
  // Its sheets need fonts, never a display.
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  mProcess.setProcessEnvironment(environment);
  mProcess.setStandardInputFile(QProcess::nullDevice());
  // A test program that dies takes its store along: an orphan store would
  // hold the test's output open and keep ctest waiting.
  mProcess.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
  mProcess.setStandardOutputFile(mRunFolder.filePath(QStringLiteral("stdout.txt")));
  mProcess.setStandardErrorFile(errors);
  mProcess.start(program, QStringList{QStringLiteral("--http-port"), QStringLiteral("0"),
                                      QStringLiteral("--https-port"), QStringLiteral("0"),
                                      QStringLiteral("--data"), mDataFolder,
                                      QStringLiteral("--ready-file"), ready} +
                              mSwitches);
  if (!mProcess.waitForStarted())
    return QStringLiteral("cannot start %1: %2").arg(program, mProcess.errorString());

  const QDeadlineTimer deadline(aTimeoutMs);
  for (;;) {
    const QByteArray text = ReadAll(ready);
    if (text.endsWith('\n')) {
      for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith("http="))
          mHttpPort = line.mid(5).toInt();
        else if (line.startsWith("https="))
          mHttpsPort = line.mid(6).toInt();
      }
      if (mHttpPort > 0 && mHttpsPort > 0)
        return {};
      return QStringLiteral("the store's ready file makes no sense: %1")
          .arg(QString::fromUtf8(text));
    }
    // Also the pause between looks.
    if (mProcess.waitForFinished(20) || mProcess.state() == QProcess::NotRunning)
      return QStringLiteral("the store ended before it was ready (exit code %1):\n%2%3")
          .arg(mProcess.exitCode())
          .arg(Output().join(u'\n') + u'\n', QString::fromLocal8Bit(ReadAll(errors)));
    if (deadline.hasExpired()) {
      Stop();
      return QStringLiteral("the store was not ready within %1 ms:\n%2")
          .arg(aTimeoutMs)
          .arg(Output().join(u'\n'));
    }
  }
}

int tDemoStoreProcessC::Stop() {
  if (mProcess.state() == QProcess::NotRunning)
    return mProcess.exitStatus() == QProcess::NormalExit && mHttpPort > 0 ? mProcess.exitCode()
                                                                          : -1;
  mProcess.terminate();
  if (!mProcess.waitForFinished(20000)) {
    mProcess.kill();
    mProcess.waitForFinished();
    return -1;
  }
  return mProcess.exitStatus() == QProcess::NormalExit ? mProcess.exitCode() : -1;
}

QString tDemoStoreProcessC::PlainBase() const {
  return QStringLiteral("http://127.0.0.1:%1").arg(mHttpPort);
}

QString tDemoStoreProcessC::SecureBase() const {
  return QStringLiteral("https://127.0.0.1:%1").arg(mHttpsPort);
}

QString tDemoStoreProcessC::CertificateFile() const {
  return QDir(mDataFolder).absoluteFilePath(QStringLiteral("cert.pem"));
}

QString tDemoStoreProcessC::LoginCookie() const {
  return QStringLiteral("customerLogin=") +
         QString::fromLatin1(
             ReadAll(QDir(mDataFolder).filePath(QStringLiteral("login-token"))).trimmed());
}

QStringList tDemoStoreProcessC::Output() const {
  QStringList lines = QString::fromUtf8(ReadAll(mRunFolder.filePath(QStringLiteral("stdout.txt"))))
                          .split(u'\n', Qt::SkipEmptyParts);
  return lines;
}
