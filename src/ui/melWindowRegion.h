#pragma once

#include <QImage>
#include <QRegion>
#include <QRgb>

#include <optional>

// The key colour cut out of the frame pictures to give the window its outline.
inline constexpr QRgb cFrameKeyColor = qRgb(255, 0, 255);
// The colour through which the frame pictures show the background.
inline constexpr QRgb cFrameTransparentColor = qRgb(0, 255, 255);

// The region of aPicture's pixels that are not aKey (within aTolerance above
// each of its red, green and blue), moved by (aX, aY). With a target size the
// picture is first scaled to it; -1 x -1 keeps its own size. A null picture
// gives no region at all, which is not the same as an empty one.
std::optional<QRegion> BitmapToRegion(const QImage &aPicture, QRgb aKey, int aX, int aY,
                                      int aTolerance, int aTargetWidth = -1,
                                      int aTargetHeight = -1);

// aPicture as 32-bit ARGB with every pixel of aColor made fully transparent.
QImage WithTransparentColor(const QImage &aPicture, QRgb aColor);
