#include "melProxy.h"

#include "melLogging.h"

#include <QByteArray>
#include <QStringList>

namespace {

// host:port of a proxy URL, as libcurl reads it: scheme, account and path
// left out, the port libcurl defaults to added when there is none.
QString HostAndPort(QString aUrl) {
  aUrl = aUrl.trimmed();
  QString defaultPort = QStringLiteral("1080");
  if (const qsizetype scheme = aUrl.indexOf(QLatin1String("://")); scheme >= 0) {
    if (aUrl.left(scheme).compare(QLatin1String("https"), Qt::CaseInsensitive) == 0)
      defaultPort = QStringLiteral("443");
    aUrl.remove(0, scheme + 3);
  }
  if (const qsizetype path = aUrl.indexOf(u'/'); path >= 0)
    aUrl.truncate(path);
  if (const qsizetype account = aUrl.lastIndexOf(u'@'); account >= 0)
    aUrl.remove(0, account + 1);
  if (aUrl.isEmpty())
    return {};
  // A bracketed IPv6 address holds colons of its own.
  const qsizetype hostEnd = aUrl.startsWith(u'[') ? aUrl.indexOf(u']') + 1 : 0;
  if (aUrl.indexOf(u':', hostEnd) < 0)
    aUrl += u':' + defaultPort;
  return aUrl;
}

QString ProxyVariable(const char *aLowerName) {
  QByteArray value = qgetenv(aLowerName);
  if (value.isEmpty())
    value = qgetenv(QByteArray(aLowerName).toUpper().constData());
  return QString::fromLocal8Bit(value);
}

} // namespace

QString GetSystemProxyString() {
  QStringList entries;
  for (const char *protocol : {"http", "https", "ftp"}) {
    const QString proxy = HostAndPort(ProxyVariable((QByteArray(protocol) + "_proxy").constData()));
    if (!proxy.isEmpty())
      entries << QLatin1String(protocol) + u'=' + proxy;
  }
  return entries.join(u';');
}

void GetSystemProxyFor(const QString &aList, const QString &aProtocol, QString &aHost, int &aPort) {
  aHost.clear();
  aPort = 0;
  QString list = aList;
  if (list.isEmpty())
    return;
  const QString key = aProtocol + u'=';
  if (const qsizetype at = list.indexOf(key); at >= 0) {
    list.remove(0, at + key.size());
    if (const qsizetype end = list.indexOf(u';'); end >= 0)
      list.truncate(end);
  }
  const qsizetype colon = list.indexOf(u':');
  if (colon < 0)
    return;
  aHost = list.left(colon);
  bool ok = false;
  const int port = list.mid(colon + 1).toInt(&ok);
  aPort = ok ? port : 0;
}

void GetSystemProxyFor(const QString &aProtocol, QString &aHost, int &aPort) {
  GetSystemProxyFor(GetSystemProxyString(), aProtocol, aHost, aPort);
}

tStoreProxyC DetectProxy() {
  tStoreProxyC proxy;
  GetSystemProxyFor(QStringLiteral("http"), proxy.mServer, proxy.mPort);
  proxy.mEnabled = !proxy.mServer.isEmpty();
  WriteLog(QStringLiteral("Detect System Proxy settings - ") + proxy.mServer + u':' +
           QString::number(proxy.mPort));
  return proxy;
}
