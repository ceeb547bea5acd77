#include "melMoviePositionBar.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr int cMargin = 8; // room for the knob at both ends
constexpr double cTrackHeight = 4.0;
constexpr double cKnobRadius = 5.0;
} // namespace

TMoviePositionBar::TMoviePositionBar(QWidget *aParent) : QWidget(aParent) {
  setFixedHeight(cHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TMoviePositionBar::SetDuration(int64_t aDuration) {
  mDuration = std::max<int64_t>(aDuration, 0);
  mPosition = std::clamp<int64_t>(mPosition, 0, mDuration);
  if (mDuration == 0)
    mDragging = false;
  update();
}

void TMoviePositionBar::SetPosition(int64_t aPosition) {
  if (mDragging)
    return;
  aPosition = std::clamp<int64_t>(aPosition, 0, mDuration);
  if (aPosition == mPosition)
    return;
  // The engine reports every frame; the bar is drawn again only when the
  // knob moves by a pixel.
  const long before = std::lround(KnobX());
  mPosition = aPosition;
  if (std::lround(KnobX()) != before)
    update();
}

int TMoviePositionBar::TrackLeft() const {
  return cMargin;
}

int TMoviePositionBar::TrackWidth() const {
  return std::max(width() - 2 * cMargin, 1);
}

int64_t TMoviePositionBar::TimeAt(int aX) const {
  double part = std::clamp(double(aX - TrackLeft()) / TrackWidth(), 0.0, 1.0);
  return std::llround(part * double(mDuration));
}

double TMoviePositionBar::KnobX() const {
  if (mDuration <= 0)
    return TrackLeft();
  return TrackLeft() + double(mPosition) / double(mDuration) * TrackWidth();
}

QSize TMoviePositionBar::sizeHint() const {
  return {200, cHeight};
}

QSize TMoviePositionBar::minimumSizeHint() const {
  return {2 * cMargin + 10, cHeight};
}

void TMoviePositionBar::SeekTo(int aX) {
  int64_t time = TimeAt(aX);
  if (time != mPosition) {
    mPosition = time;
    update();
  }
  // Repeated moves over the same millisecond would only queue needless seeks.
  if (time != mLastRequest) {
    mLastRequest = time;
    emit SeekRequested(time);
  }
}

void TMoviePositionBar::mousePressEvent(QMouseEvent *aEvent) {
  if (aEvent->button() != Qt::LeftButton || mDuration <= 0) {
    QWidget::mousePressEvent(aEvent);
    return;
  }
  mDragging = true;
  mLastRequest = -1;
  SeekTo(aEvent->position().toPoint().x());
  aEvent->accept();
}

void TMoviePositionBar::mouseMoveEvent(QMouseEvent *aEvent) {
  if (!mDragging) {
    QWidget::mouseMoveEvent(aEvent);
    return;
  }
  SeekTo(aEvent->position().toPoint().x());
  aEvent->accept();
}

void TMoviePositionBar::mouseReleaseEvent(QMouseEvent *aEvent) {
  if (!mDragging || aEvent->button() != Qt::LeftButton) {
    QWidget::mouseReleaseEvent(aEvent);
    return;
  }
  SeekTo(aEvent->position().toPoint().x());
  mDragging = false;
  update();
  aEvent->accept();
}

void TMoviePositionBar::enterEvent(QEnterEvent *aEvent) {
  mHover = true;
  update();
  QWidget::enterEvent(aEvent);
}

void TMoviePositionBar::leaveEvent(QEvent *aEvent) {
  mHover = false;
  update();
  QWidget::leaveEvent(aEvent);
}

void TMoviePositionBar::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);

  QLinearGradient background(0, 0, 0, height());
  background.setColorAt(0, QColor(0x2c, 0x2e, 0x33));
  background.setColorAt(1, QColor(0x1b, 0x1c, 0x1f));
  painter.fillRect(rect(), background);
  painter.setPen(QColor(0x3c, 0x3f, 0x45));
  painter.drawLine(0, 0, width(), 0);
  painter.setPen(Qt::NoPen);

  const double middle = height() / 2.0 + 0.5;
  const QRectF track(TrackLeft(), middle - cTrackHeight / 2, TrackWidth(), cTrackHeight);
  painter.setBrush(QColor(0x46, 0x49, 0x50));
  painter.drawRoundedRect(track, cTrackHeight / 2, cTrackHeight / 2);
  if (mDuration <= 0)
    return;

  const double knobX = KnobX();
  if (knobX > track.left()) {
    QRectF played = track;
    played.setRight(knobX);
    QLinearGradient accent(played.topLeft(), played.bottomLeft());
    accent.setColorAt(0, QColor(0x6c, 0xb2, 0xff));
    accent.setColorAt(1, QColor(0x2f, 0x7f, 0xe8));
    painter.setBrush(accent);
    painter.drawRoundedRect(played, cTrackHeight / 2, cTrackHeight / 2);
  }

  const double radius = (mHover || mDragging) ? cKnobRadius + 1 : cKnobRadius;
  const QPointF centre(knobX, middle);
  painter.setBrush(QColor(0, 0, 0, 90));
  painter.drawEllipse(centre + QPointF(0, 1), radius + 0.5, radius + 0.5);
  QRadialGradient knob(centre - QPointF(radius / 3, radius / 3), radius * 1.6);
  knob.setColorAt(0, QColor(0xfa, 0xfa, 0xfa));
  knob.setColorAt(1, QColor(0xc4, 0xc8, 0xce));
  painter.setBrush(knob);
  painter.setPen(QPen(QColor(0x8a, 0x90, 0x98), 0.8));
  painter.drawEllipse(centre, radius, radius);
}
