#include "melFuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

QString FuzzHome() {
  static QTemporaryDir home;
  static const bool set = [] {
    qputenv("MELODRA_HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/xdg-data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/xdg-config")));
    return true;
  }();
  (void)set;
  return home.path() + u'/';
}

void WriteFuzzFile(const QString &aPath, const QByteArray &aData) {
  QFile file(aPath);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(aData) != aData.size())
    FuzzFailure("cannot write a fuzz file", aPath);
}

QByteArray ReadFuzzFile(const QString &aPath) {
  QFile file(aPath);
  if (!file.open(QIODevice::ReadOnly))
    FuzzFailure("cannot read a fuzz file", aPath);
  return file.readAll();
}
