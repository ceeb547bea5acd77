#include "melImageSlider32.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

TImageSlider32::TImageSlider32(QWidget *aParent) : QWidget(aParent) {
  // Nothing is filled behind the pictures, so their alpha shows the parent.
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
}

void TImageSlider32::SetTickPen(const QPen &aPen) {
  mTickPen = aPen;
  update();
}

void TImageSlider32::SetPosition(int aPosition) {
  mPosition = aPosition;
  update();
}

void TImageSlider32::SetStart(int aStart) {
  mStart = aStart;
  update();
}

void TImageSlider32::SetStop(int aStop) {
  mStop = aStop;
  update();
}

void TImageSlider32::SetTickSize(int aTickSize) {
  mTickSize = aTickSize;
  update();
}

void TImageSlider32::SetLeftImg(const QImage &aImg) {
  mLeftImg = aImg;
  update();
}

void TImageSlider32::SetRightImg(const QImage &aImg) {
  mRightImg = aImg;
  update();
}

void TImageSlider32::SetCenterImg(const QImage &aImg) {
  mCenterImg = aImg;
  update();
}

void TImageSlider32::SetNibImg(const QImage &aImg) {
  mNibImg = aImg;
  update();
}

void TImageSlider32::SetNibSelectedImg(const QImage &aImg) {
  mNibSelectedImg = aImg;
  update();
}

int TImageSlider32::NibWidth() const {
  return mNibImg.width() == 0 ? 20 : mNibImg.width();
}

int TImageSlider32::NibHeight() const {
  return mNibImg.height() == 0 ? 20 : mNibImg.height();
}

double TImageSlider32::Step() const {
  if (mStop == mStart)
    return 0;
  return double(width() - 2 * Half()) / (double(mStop) - mStart);
}

// Half-to-even, the default rounding mode: 34.5 lands on 34 but 91.5 on 92.
int TImageSlider32::TickX(int aPosition) const {
  return int(std::nearbyint(Step() * (double(aPosition) - mStart) + Half()));
}

int TImageSlider32::PositionAt(int aX) const {
  if (mStop < mStart)
    return 0;
  const int reach = int(std::nearbyint(Step() / 2));
  // 64-bit so a Stop of INT_MAX still ends the loop.
  for (long long p = mStart; p <= mStop; ++p) {
    const int x = TickX(int(p));
    if (p == mStart && aX < x)
      return mStart;
    if (x - reach <= aX && aX <= x + reach)
      return int(p);
  }
  return mStop;
}

void TImageSlider32::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  const int w = width(), h = height();
  const int half = Half();

  painter.setPen(mTickPen);
  // A tick size of zero or less would never reach Stop: only Start is drawn.
  const long long step = mTickSize > 0 ? mTickSize : (long long)mStop - mStart + 1;
  for (long long t = mStart; t <= mStop; t += step) {
    // The last tick hugs the right edge rather than following the rounding.
    const int x = t == mStop ? w - half - 1 : TickX(int(t));
    painter.drawLine(QPoint(x, 0), QPoint(x, h - NibHeight()));
  }

  painter.drawImage(QPoint(0, h - mLeftImg.height()), mLeftImg);
  painter.drawImage(QPoint(w - mRightImg.width(), h - mRightImg.height()), mRightImg);
  if (!mCenterImg.isNull()) {
    const int left = mLeftImg.width();
    const QRect track(left, h - mCenterImg.height(), w - mRightImg.width() - left,
                      mCenterImg.height());
    // Nearest neighbour keeps the track's rows crisp when stretched.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(track, mCenterImg);
  }

  const QImage &nib = mHeld ? mNibSelectedImg : mNibImg;
  const int nibX = mPosition == mStop ? w - NibWidth() : TickX(mPosition) - half;
  painter.drawImage(QPoint(nibX, h - NibHeight()), nib);
}

void TImageSlider32::mousePressEvent(QMouseEvent *aEvent) {
  const QPoint at = aEvent->position().toPoint();
  const int left = TickX(mPosition) - Half();
  if (left <= at.x() && at.x() <= left + NibWidth() && height() - NibHeight() <= at.y() &&
      at.y() <= height()) {
    mHeld = true;
    update();
  }
}

void TImageSlider32::mouseMoveEvent(QMouseEvent *aEvent) {
  if (!mHeld)
    return;
  const int position = PositionAt(aEvent->position().toPoint().x());
  // Listeners still see the old Position while they are told the new one.
  if (position != mPosition)
    emit OnChange(this, position);
  mPosition = position;
  update();
}

void TImageSlider32::mouseReleaseEvent(QMouseEvent *) {
  mHeld = false;
  update();
}
