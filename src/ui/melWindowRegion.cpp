#include "melWindowRegion.h"

#include <QPainter>
#include <QRect>

#include <algorithm>
#include <vector>

namespace {

// A region request is built from at most this many rectangles.
constexpr size_t cBatchSize = 2000;
constexpr size_t cBufferStep = 100;

class tRegionBuilderC {
public:
  tRegionBuilderC() { mBatch.reserve(cBufferStep); }

  void Add(const QRect &aRect) {
    if (mBatch.size() == mBatch.capacity())
      mBatch.reserve(mBatch.capacity() + cBufferStep);
    mBatch.push_back(aRect);
    if (mBatch.size() == cBatchSize)
      Flush();
  }

  // Makes a region of the rectangles gathered so far, empty or not, and
  // unites it with the result.
  void Flush() {
    QRegion batch;
    // The rectangles arrive row by row, left to right, never touching within
    // a row: the banded order the region constructor takes as it is.
    if (!mBatch.empty())
      batch.setRects(mBatch.data(), int(mBatch.size()));
    if (mHaveResult) {
      mResult = mResult.united(batch);
    } else {
      mResult = batch;
      mHaveResult = true;
    }
    mBatch.clear();
  }

  QRegion Result() const { return mResult; }

private:
  std::vector<QRect> mBatch;
  QRegion mResult;
  bool mHaveResult = false;
};

} // namespace

std::optional<QRegion> BitmapToRegion(const QImage &aPicture, QRgb aKey, int aX, int aY,
                                      int aTolerance, int aTargetWidth, int aTargetHeight) {
  if (aPicture.isNull())
    return std::nullopt;

  const bool ownSize = aTargetWidth == -1;
  const int w = ownSize ? aPicture.width() : std::max(aTargetWidth, 0);
  const int h = ownSize ? aPicture.height() : std::max(aTargetHeight, 0);
  QImage work(std::max(aPicture.width(), w), std::max(aPicture.height(), h), QImage::Format_RGB32);
  work.fill(Qt::black);
  if (w > 0 && h > 0) {
    QPainter painter(&work);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Nearest pixels only: a smoothed edge would blend the key colour into
    // its neighbours and leave a fringe that is neither cut nor kept.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (ownSize)
      painter.drawImage(QPoint(0, 0), aPicture);
    else
      painter.drawImage(QRect(0, 0, w, h), aPicture);
  }

  const int tolerance = std::max(aTolerance, 0);
  const int lowR = qRed(aKey), lowG = qGreen(aKey), lowB = qBlue(aKey);
  const int highR = std::min(lowR + tolerance, 255);
  const int highG = std::min(lowG + tolerance, 255);
  const int highB = std::min(lowB + tolerance, 255);
  const auto transparent = [&](QRgb aPixel) {
    const int r = qRed(aPixel), g = qGreen(aPixel), b = qBlue(aPixel);
    return r >= lowR && r <= highR && g >= lowG && g <= highG && b >= lowB && b <= highB;
  };

  tRegionBuilderC builder;
  for (int y = 0; y < h; ++y) {
    const auto *row = reinterpret_cast<const QRgb *>(work.constScanLine(y));
    int x = 0;
    while (x < w) {
      while (x < w && transparent(row[x]))
        ++x;
      const int x1 = x;
      while (x < w && !transparent(row[x]))
        ++x;
      if (x > x1)
        builder.Add(QRect(QPoint(aX + x1, aY + y), QPoint(aX + x - 1, aY + y)));
    }
  }
  builder.Flush();
  return builder.Result();
}

QImage WithTransparentColor(const QImage &aPicture, QRgb aColor) {
  QImage result = aPicture.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = aColor & RGB_MASK;
  for (int y = 0; y < result.height(); ++y) {
    auto *row = reinterpret_cast<QRgb *>(result.scanLine(y));
    for (int x = 0; x < result.width(); ++x)
      if ((row[x] & RGB_MASK) == key)
        row[x] = 0;
  }
  return result;
}
