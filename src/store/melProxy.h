#pragma once

#include <QString>

// The proxy the store's own requests go through (the transfers follow the
// environment by themselves).
struct tStoreProxyC {
  bool mEnabled = false; // a proxy host for "http" was found
  QString mServer;
  int mPort = 0;
};

// The system's proxy list from the environment (http_proxy, https_proxy,
// ftp_proxy, the lower-case name first, then the upper-case one), in the form
// "http=host:port;https=host:port;ftp=host:port" with each URL's scheme,
// account and path left out; empty when none is set. A URL without a port
// gets the one libcurl would use (1080, or 443 for an https:// proxy).
QString GetSystemProxyString();
// Host and port of the proxy for one protocol, read from aList (the system's
// proxy list): the entry "protocol=" when there is one, else the whole list
// taken as host:port. Without a ":" the host is empty and the port 0; a port
// that is not a number is 0 with the host kept.
void GetSystemProxyFor(const QString &aList, const QString &aProtocol, QString &aHost, int &aPort);
void GetSystemProxyFor(const QString &aProtocol, QString &aHost, int &aPort);
// The proxy for "http", logged as found.
tStoreProxyC DetectProxy();
