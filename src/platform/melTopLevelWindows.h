#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// The desktop's top-level windows over X11. Each call opens its own
// connection to the display named by aDisplay (empty: $DISPLAY); without a
// display they find nothing and do nothing.

struct tTopLevelWindowC {
  uint32_t mId = 0;
  // _NET_WM_NAME (UTF-8), else WM_NAME.
  QString mTitle;
};

// The windows the window manager lists (_NET_CLIENT_LIST), in its order; when
// no window manager publishes that list, the root window's mapped children,
// bottom to top.
QList<tTopLevelWindowC> TopLevelWindows(const QByteArray &aDisplay = {});

// Brings forward the first top-level window whose title equals aTitle exactly
// (case-sensitive): asked of the window manager (_NET_ACTIVE_WINDOW) when one
// runs, else raised above its siblings and given the focus. False when no
// window has that title, aTitle is empty or there is no display.
bool RaiseWindowTitled(const QString &aTitle, const QByteArray &aDisplay = {});
