#include "melQProgBar.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kHlsMax = 240;
constexpr int kRgbMax = 255;
constexpr int kUndefinedHue = kHlsMax * 2 / 3;
constexpr int kPoleInterval = 300;
constexpr int kHidePause = 100;

int HueToValue(int aM1, int aM2, int aHue) {
  if (aHue < 0)
    aHue += kHlsMax;
  if (aHue > kHlsMax)
    aHue -= kHlsMax;
  if (aHue < kHlsMax / 6)
    return aM1 + ((aM2 - aM1) * aHue + kHlsMax / 12) / (kHlsMax / 6);
  if (aHue < kHlsMax / 2)
    return aM2;
  if (aHue < kHlsMax * 2 / 3)
    return aM1 + ((aM2 - aM1) * (kHlsMax * 2 / 3 - aHue) + kHlsMax / 12) / (kHlsMax / 6);
  return aM1;
}

// Halves go to the even neighbour under the default rounding mode.
int RoundHalfEven(double aValue) {
  return static_cast<int>(std::nearbyint(aValue));
}

int Channel(int aStart, int aFinal, double aT) {
  if (aStart < aFinal)
    return aStart + static_cast<int>(std::trunc((aFinal - aStart) * aT));
  if (aStart > aFinal)
    return aStart - static_cast<int>(std::trunc((aStart - aFinal) * aT));
  return aStart;
}

// Floating-point text in the general form: up to 15 significant digits and an
// exponent written as E-7 or E20.
QString GeneralFloat(double aValue) {
  QString text = QString::number(aValue, 'g', 15);
  const qsizetype e = text.indexOf(u'e');
  if (e < 0)
    return text;
  return text.left(e) + u'E' + QString::number(text.mid(e + 1).toInt());
}

QRgb Opaque(const QColor &aColor) {
  return aColor.rgb() | 0xff000000u;
}

// Entry aIndex of a table, or nothing when the table is too short (bars whose
// cross dimension is smaller than their borders).
const QRgb *At(const std::vector<QRgb> &aTable, int aIndex) {
  if (aIndex < 0 || static_cast<size_t>(aIndex) >= aTable.size())
    return nullptr;
  return &aTable[static_cast<size_t>(aIndex)];
}

void Put(QImage &aImage, int aX, int aY, const QRgb *aColour) {
  if (aColour == nullptr || aX < 0 || aY < 0 || aX >= aImage.width() || aY >= aImage.height())
    return;
  reinterpret_cast<QRgb *>(aImage.scanLine(aY))[aX] = *aColour;
}

} // namespace

tHlsC RgbToHls(QRgb aRgb) {
  const int r = qRed(aRgb);
  const int g = qGreen(aRgb);
  const int b = qBlue(aRgb);
  const int cMax = std::max({r, g, b});
  const int cMin = std::min({r, g, b});
  tHlsC hls;
  hls.mL = ((cMax + cMin) * kHlsMax + kRgbMax) / (2 * kRgbMax);
  if (cMax == cMin) {
    hls.mS = 0;
    hls.mH = kUndefinedHue;
    return hls;
  }
  const int delta = cMax - cMin;
  if (hls.mL <= kHlsMax / 2)
    hls.mS = (delta * kHlsMax + (cMax + cMin) / 2) / (cMax + cMin);
  else
    hls.mS = (delta * kHlsMax + (2 * kRgbMax - cMax - cMin) / 2) / (2 * kRgbMax - cMax - cMin);
  const int rd = ((cMax - r) * (kHlsMax / 6) + delta / 2) / delta;
  const int gd = ((cMax - g) * (kHlsMax / 6) + delta / 2) / delta;
  const int bd = ((cMax - b) * (kHlsMax / 6) + delta / 2) / delta;
  if (r == cMax)
    hls.mH = bd - gd;
  else if (g == cMax)
    hls.mH = kHlsMax / 3 + rd - bd;
  else
    hls.mH = kHlsMax * 2 / 3 + gd - rd;
  if (hls.mH < 0)
    hls.mH += kHlsMax;
  if (hls.mH > kHlsMax)
    hls.mH -= kHlsMax;
  return hls;
}

QRgb HlsToRgb(const tHlsC &aHls) {
  const int l = aHls.mL;
  const int s = aHls.mS;
  if (s == 0) {
    const int v = l * kRgbMax / kHlsMax;
    return qRgb(v, v, v);
  }
  const int m2 = l <= kHlsMax / 2 ? (l * (kHlsMax + s) + kHlsMax / 2) / kHlsMax
                                  : l + s - (l * s + kHlsMax / 2) / kHlsMax;
  const int m1 = 2 * l - m2;
  const auto channel = [&](int aHue) {
    return (HueToValue(m1, m2, aHue) * kRgbMax + kHlsMax / 2) / kHlsMax;
  };
  return qRgb(channel(aHls.mH + kHlsMax / 3), channel(aHls.mH), channel(aHls.mH - kHlsMax / 3));
}

TQProgressBar::TQProgressBar(QWidget *aParent) : QWidget(aParent) {
  setFocusPolicy(Qt::NoFocus);
  // The pause before hiding at the end runs on the event loop, not in a wait.
  mHideTimer = new QTimer(this);
  mHideTimer->setSingleShot(true);
  mHideTimer->setInterval(kHidePause);
  connect(mHideTimer, &QTimer::timeout, this, &QWidget::hide);
  resize(64, 16);
  BuildLayout();
  BuildColourTables();
  PlaceCaption();
}

TQProgressBar::~TQProgressBar() = default;

int TQProgressBar::MainSize() const {
  return mOrientation == boHorizontal ? width() : height();
}

int TQProgressBar::CrossSize() const {
  return mOrientation == boHorizontal ? height() : width();
}

int TQProgressBar::Length() const {
  return MainSize() - B2();
}

int TQProgressBar::Thickness() const {
  return CrossSize() - B2() + 1;
}

QSize TQProgressBar::sizeHint() const {
  return mOrientation == boHorizontal ? QSize(64, 16) : QSize(16, 64);
}

QRgb TQProgressBar::GradientColour(QRgb aStart, QRgb aFinal, int aI, int aLength) {
  if (aStart == aFinal || aI <= 0)
    return aStart;
  if (aI >= aLength)
    return aFinal;
  const double t = static_cast<double>(aI) / aLength;
  return qRgb(Channel(qRed(aStart), qRed(aFinal), t), Channel(qGreen(aStart), qGreen(aFinal), t),
              Channel(qBlue(aStart), qBlue(aFinal), t));
}

std::vector<QRgb> TQProgressBar::Shade(QRgb aColour, int aCount, TQBarLook aLook) {
  std::vector<QRgb> out;
  if (aCount <= 0)
    return out;
  out.reserve(static_cast<size_t>(aCount));
  const tHlsC base = RgbToHls(aColour);
  for (int k = 0; k < aCount; ++k) {
    const double x = static_cast<double>(k) / aCount;
    const double q = -4342.9 * std::pow(x, 5) + 10543 * std::pow(x, 4) - 8216 * std::pow(x, 3) +
                     2018.1 * x * x + 11.096 * x + 164.6;
    int l = aLook == blGlass ? RoundHalfEven(q) : static_cast<int>(std::trunc(q)) + base.mL - 212;
    l = std::clamp(l, 0, kHlsMax);
    out.push_back(HlsToRgb({base.mH, l, base.mS}));
  }
  return out;
}

void TQProgressBar::BuildLayout() {
  const int length = Length();
  mLayout.assign(static_cast<size_t>(std::max(length + 1, 1)), tLayoutEntryC{});
  if (!BlocksOn())
    return;
  if (mOrientation == boHorizontal) {
    int start = 3;
    int end = std::min(mBlockSize + 2, length);
    for (int x = 1; x <= length; ++x) {
      if (x > end) {
        start = end + mSpaceSize + 1;
        end = std::min(start + mBlockSize - 1, length);
      }
      mLayout[static_cast<size_t>(x)] = {start <= x && x <= end, end};
    }
  } else {
    const int b2 = B2();
    int lower = length - 3;
    int upper = std::max(lower - mBlockSize + 1, b2);
    for (int y = length; y >= b2; --y) {
      if (y < upper) {
        lower = upper - mSpaceSize - 1;
        upper = std::max(lower - mBlockSize + 1, b2);
      }
      mLayout[static_cast<size_t>(y)] = {upper <= y && y <= lower, upper};
    }
  }
}

void TQProgressBar::BuildColourTables() {
  if (mSuspended)
    return;
  const int length = Length();
  const int thickness = Thickness();
  const bool cylinder = mBarKind == bkCylinder;
  const size_t across = static_cast<size_t>(std::max(thickness, 0));

  mActiveColours.assign(static_cast<size_t>(std::max(length + 1, 1)), {});
  for (int i = 0; i <= length; ++i) {
    const QRgb c = GradientColour(mStartColor, mFinalColor, i, length);
    mActiveColours[static_cast<size_t>(i)] =
        cylinder ? Shade(c, thickness, mBarLook) : std::vector<QRgb>(across, c);
  }
  if (mBarberPole) {
    mStripeA = Shade(mBPColor1, thickness, mBarLook);
    mStripeB = Shade(mBPColor2, thickness, mBarLook);
  }
  if (height() - B2() <= 0)
    mInactiveColours.assign(1, mInactivePosColor);
  else if (cylinder)
    mInactiveColours = Shade(mInactivePosColor, thickness, mBarLook);
  else
    mInactiveColours.assign(across, mInactivePosColor);
  if (cylinder && mInvertInactPos) {
    for (QRgb &c : mInactiveColours) {
      tHlsC hls = RgbToHls(c);
      hls.mL = kHlsMax - hls.mL;
      c = HlsToRgb(hls);
    }
  }
}

void TQProgressBar::PlaceCaption() {
  const QFontMetrics metrics(font());
  mCaptionY = (height() - metrics.height()) / 2;
  const int textWidth = metrics.horizontalAdvance(mCaption);
  switch (mCaptionAlign) {
  case taLeftJustify: mCaptionX = 0; break;
  case taCenter: mCaptionX = (width() - textWidth) / 2; break;
  case taRightJustify: mCaptionX = width() - textWidth - 1; break;
  }
}

QString TQProgressBar::PositionText(const char *aPercentSuffix) const {
  if (mShowPosAsPct)
    return GeneralFloat(mPercent) + QLatin1String(aPercentSuffix);
  return QString::number(mPosition);
}

void TQProgressBar::setOrientation(TQBarOrientation aValue) {
  mSuspended = true;
  if (aValue != mOrientation) {
    const int w = width();
    const int h = height();
    if ((aValue == boVertical && h < w) || (aValue == boHorizontal && w < h))
      resize(h, w);
    mOrientation = aValue;
  }
  mBorder = CrossSize() > 9 ? 2 : 1;
  mSuspended = false;
  BuildLayout();
  BuildColourTables();
  update();
}

void TQProgressBar::resizeEvent(QResizeEvent *aEvent) {
  QWidget::resizeEvent(aEvent);
  if (mSuspended)
    return;
  if (BlocksOn())
    BuildLayout();
  BuildColourTables();
  setPosition(mPosition);
}

void TQProgressBar::setBarKind(TQBarKind aValue) {
  mBarKind = aValue;
  BuildColourTables();
  update();
}

void TQProgressBar::setBarLook(TQBarLook aValue) {
  mBarLook = aValue;
  BuildColourTables();
  update();
}

void TQProgressBar::setRoundCorner(bool aValue) {
  mRoundCorner = aValue;
  update();
}

void TQProgressBar::setBackgroundColor(const QColor &aValue) {
  mBackgroundColor = Opaque(aValue);
  update();
}

void TQProgressBar::setBarColor(const QColor &aValue) {
  mStartColor = Opaque(aValue);
  mFinalColor = mStartColor;
  BuildColourTables();
  update();
}

void TQProgressBar::setBarberPole(bool aValue) {
  if (aValue == mBarberPole)
    return;
  mBarberPole = aValue;
  BuildColourTables();
  if (mBarberPole) {
    mPoleTimer = new QTimer(this);
    mPoleTimer->setInterval(kPoleInterval);
    connect(mPoleTimer, &QTimer::timeout, this, &TQProgressBar::PoleTick);
    mPoleTimer->start();
  } else {
    mPoleTimer->stop();
    delete mPoleTimer;
    mPoleTimer = nullptr;
  }
  update();
}

void TQProgressBar::PoleTick() {
  mPhase = !mPhase;
  update();
}

void TQProgressBar::setBPColor1(const QColor &aValue) {
  mBPColor1 = Opaque(aValue);
  BuildColourTables();
  update();
}

void TQProgressBar::setBPColor2(const QColor &aValue) {
  mBPColor2 = Opaque(aValue);
  BuildColourTables();
  update();
}

void TQProgressBar::setStartColor(const QColor &aValue) {
  mStartColor = Opaque(aValue);
  BuildColourTables();
  update();
}

void TQProgressBar::setFinalColor(const QColor &aValue) {
  mFinalColor = Opaque(aValue);
  BuildColourTables();
  update();
}

void TQProgressBar::setShowInactivePos(bool aValue) {
  mShowInactivePos = aValue;
  BuildColourTables();
  update();
}

void TQProgressBar::setInvertInactPos(bool aValue) {
  mInvertInactPos = aValue;
  BuildColourTables();
  update();
}

void TQProgressBar::setInactivePosColor(const QColor &aValue) {
  mInactivePosColor = Opaque(aValue);
  BuildColourTables();
  update();
}

void TQProgressBar::setShaped(bool aValue) {
  mShaped = aValue;
  update();
}

void TQProgressBar::setShapeColor(const QColor &aValue) {
  mShapeColor = Opaque(aValue);
  update();
}

void TQProgressBar::setBlockSize(int aValue) {
  aValue = std::abs(aValue);
  if (aValue > Length())
    return;
  mBlockSize = aValue;
  if (BlocksOn())
    BuildLayout();
  BuildColourTables();
  update();
}

void TQProgressBar::setSpaceSize(int aValue) {
  aValue = std::abs(aValue);
  if (aValue > Length())
    return;
  mSpaceSize = aValue;
  if (BlocksOn())
    BuildLayout();
  BuildColourTables();
  update();
}

void TQProgressBar::setShowFullBlock(bool aValue) {
  mShowFullBlock = aValue;
  if (mShowFullBlock)
    BuildLayout();
  BuildColourTables();
  update();
}

void TQProgressBar::setMaximum(int aValue) {
  mMaximum = std::max(aValue, 0);
  update();
}

void TQProgressBar::setPosition(int aValue) {
  mPosition = aValue;
  if (mMaximum == 0)
    return;
  int reached = aValue;
  if (aValue <= 0) {
    mPixel = 0;
  } else {
    reached = std::min(aValue, mMaximum);
    mPercent = reached * 100.0 / mMaximum;
    const int length = Length();
    const double p = length * mPercent / 100;
    if (p > 0 && p < MinPixel())
      mPixel = MinPixel();
    else if (p > length)
      mPixel = length;
    else
      mPixel = std::max(RoundHalfEven(p), 0);
    if (mAutoHint)
      setToolTip(PositionText(" %"));
  }
  update();
  if (mHideOnTerminate && reached == mMaximum)
    mHideTimer->start();
}

void TQProgressBar::setHideOnTerminate(bool aValue) {
  mHideOnTerminate = aValue;
  update();
}

void TQProgressBar::setCaption(const QString &aValue) {
  mCaption = aValue;
  PlaceCaption();
  update();
}

void TQProgressBar::setCaptionAlign(TAlignment aValue) {
  mCaptionAlign = aValue;
  PlaceCaption();
  update();
}

void TQProgressBar::setAutoCaption(bool aValue) {
  mAutoCaption = aValue;
  update();
}

void TQProgressBar::setAutoHint(bool aValue) {
  mAutoHint = aValue;
  update();
}

void TQProgressBar::setShowPosAsPct(bool aValue) {
  mShowPosAsPct = aValue;
  update();
}

void TQProgressBar::PaintHorizontal(QImage &aImage) const {
  const int h = height();
  const int b2 = B2();
  const int length = Length();
  const int top = b2 - 1;
  const int bottom = h - b2;
  const auto active = [&](int aX) {
    if (aX < 0 || static_cast<size_t>(aX) >= mActiveColours.size())
      return;
    const std::vector<QRgb> &column = mActiveColours[static_cast<size_t>(aX)];
    for (int y = top; y <= bottom; ++y)
      Put(aImage, aX, y, At(column, y));
  };
  const auto inactive = [&](int aX) {
    for (int y = top; y <= bottom; ++y)
      Put(aImage, aX, y, At(mInactiveColours, y));
  };
  const auto entry = [&](int aX) {
    return aX >= 0 && static_cast<size_t>(aX) < mLayout.size() ? mLayout[static_cast<size_t>(aX)]
                                                               : tLayoutEntryC{};
  };
  const bool blocks = BlocksOn();

  // A tiny bar can have MinPixel beyond its length; the tables end there.
  const int last = std::min(mPixel, length);
  for (int x = top; x <= last; ++x) {
    if (blocks) {
      const tLayoutEntryC e = entry(x);
      if (!e.mInBlock)
        continue;
      if (mShowFullBlock && e.mBlockEnd > mPixel) {
        if (mShowInactivePos)
          inactive(x);
        continue;
      }
    }
    active(x);
  }

  if (!mShowInactivePos)
    return;
  const int first = mPixel >= 3 ? mPixel + 1 : 3;
  if (blocks) {
    for (int x = first; x <= length; ++x)
      if (entry(x).mInBlock)
        inactive(x);
  } else if (!mBarberPole) {
    for (int x = first; x <= length; ++x)
      inactive(x);
  } else {
    const int period = 2 * h - b2;
    const int half = period / 2;
    const std::vector<QRgb> &a = mPhase ? mStripeA : mStripeB;
    const std::vector<QRgb> &b = mPhase ? mStripeB : mStripeA;
    int count = 0;
    for (int x = first; x <= length; ++x) {
      for (int y = top; y <= bottom; ++y) {
        const int d = bottom - y;
        const bool useA = count < half ? d < count : !(d < count - half);
        Put(aImage, x, y, At(useA ? a : b, y));
      }
      count = count < period ? count + 1 : 0;
    }
  }
}

void TQProgressBar::PaintVertical(QImage &aImage) const {
  const int w = width();
  const int h = height();
  const int b2 = B2();
  const int length = Length();
  const int left = b2 - 1;
  const int right = w - b2;
  const auto active = [&](int aY) {
    if (aY < 0 || static_cast<size_t>(aY) >= mActiveColours.size())
      return;
    const std::vector<QRgb> &row = mActiveColours[static_cast<size_t>(aY)];
    for (int x = left; x <= right; ++x)
      Put(aImage, x, aY, At(row, x));
  };
  const auto inactive = [&](int aY) {
    for (int x = left; x <= right; ++x)
      Put(aImage, x, aY, At(mInactiveColours, x));
  };
  const auto entry = [&](int aY) {
    return aY >= 0 && static_cast<size_t>(aY) < mLayout.size() ? mLayout[static_cast<size_t>(aY)]
                                                               : tLayoutEntryC{};
  };
  const bool blocks = BlocksOn();

  const int reached = std::max(h - mPixel, 0);
  for (int y = length - 1; y >= reached; --y) {
    if (blocks) {
      const tLayoutEntryC e = entry(y);
      if (!e.mInBlock)
        continue;
      if (e.mBlockEnd < reached) {
        if (mShowInactivePos)
          inactive(y);
        continue;
      }
    }
    active(y);
  }

  if (!mShowInactivePos)
    return;
  for (int y = mPixel < 3 ? length : h - mPixel - 1; y >= b2; --y)
    if (!blocks || entry(y).mInBlock)
      inactive(y);
}

void TQProgressBar::paintEvent(QPaintEvent *) {
  if (mAutoCaption) {
    const QString text = PositionText("%");
    if (text != mCaption) {
      // Set here without a further update: this paint draws it.
      mCaption = text;
      PlaceCaption();
    }
  }

  if (mBuffer.size() != size())
    mBuffer = QImage(size(), QImage::Format_ARGB32_Premultiplied);
  mBuffer.fill(Qt::transparent);
  if (mShaped) {
    QPainter shape(&mBuffer);
    shape.setPen(QPen(QColor(mShapeColor), 1));
    shape.setBrush(QColor(mBackgroundColor));
    const qreal radius = mRoundCorner ? 5 : 0;
    shape.drawRoundedRect(QRectF(0, 0, width() - 1, height() - 1), radius, radius);
  }
  if (mOrientation == boHorizontal)
    PaintHorizontal(mBuffer);
  else
    PaintVertical(mBuffer);
  if (!mCaption.isEmpty()) {
    QPainter text(&mBuffer);
    text.setFont(font());
    text.setPen(palette().color(QPalette::WindowText));
    text.drawText(mCaptionX, mCaptionY + QFontMetrics(font()).ascent(), mCaption);
  }

  QPainter painter(this);
  painter.drawImage(0, 0, mBuffer);
}
