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
const QColor cSectionColour(0xff, 0xb0, 0x20); // amber, apart from the blue played part
constexpr int cSectionSpanAlpha = 80;
} // namespace

TMoviePositionBar::TMoviePositionBar(QWidget *aParent) : QWidget(aParent) {
  setFixedHeight(cHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TMoviePositionBar::SetDuration(int64_t aDuration) {
  mDuration = std::max<int64_t>(aDuration, 0);
  mPosition = std::clamp<int64_t>(mPosition, 0, mDuration);
  if (mDuration == 0) {
    mDragging = false;
    mMarker = tMarkerE::None;
  }
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

double TMoviePositionBar::XAt(int64_t aTime) const {
  if (mDuration <= 0)
    return TrackLeft();
  const double part = std::clamp(double(aTime) / double(mDuration), 0.0, 1.0);
  return TrackLeft() + part * TrackWidth();
}

double TMoviePositionBar::KnobX() const {
  return XAt(mPosition);
}

void TMoviePositionBar::SetSection(std::optional<tMovieSectionC> aSection) {
  if (aSection == mSection)
    return;
  mSection = aSection;
  if (!mSection)
    mMarker = tMarkerE::None;
  mLastSectionRequest.reset();
  update();
}

TMoviePositionBar::tMarkerE TMoviePositionBar::MarkerAt(int aX) const {
  if (!mSection || mDuration <= 0)
    return tMarkerE::None;
  const double startX = XAt(mSection->mStart), endX = XAt(mSection->mEnd);
  const double toStart = std::abs(aX - startX), toEnd = std::abs(aX - endX);
  if (std::min(toStart, toEnd) > cMarkerGrip)
    return tMarkerE::None;
  if (toStart != toEnd)
    return toStart < toEnd ? tMarkerE::Start : tMarkerE::End;
  // Both under the mouse: the side it came from tells which end to move.
  return aX <= startX ? tMarkerE::Start : tMarkerE::End;
}

void TMoviePositionBar::MoveMarkerTo(int aX) {
  if (!mSection || mMarker == tMarkerE::None)
    return;
  const int64_t time = TimeAt(aX);
  tMovieSectionC section = *mSection;
  if (mMarker == tMarkerE::Start) {
    section.mStart =
        std::clamp<int64_t>(time, 0, std::max<int64_t>(section.mEnd - cShortestSection, 0));
  } else {
    // A section may run past the end; it keeps its shortest span there.
    const int64_t shortest = section.mStart + cShortestSection;
    section.mEnd = std::clamp<int64_t>(time, shortest, std::max(mDuration, shortest));
  }
  if (section != *mSection) {
    mSection = section;
    update();
  }
  if (section != mLastSectionRequest) {
    mLastSectionRequest = section;
    emit SectionChangeRequested(section.mStart, section.mEnd);
  }
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
  const int x = aEvent->position().toPoint().x();
  mMarker = MarkerAt(x);
  if (mMarker != tMarkerE::None) {
    mLastSectionRequest = mSection;
    aEvent->accept();
    return;
  }
  mDragging = true;
  mLastRequest = -1;
  SeekTo(aEvent->position().toPoint().x());
  aEvent->accept();
}

void TMoviePositionBar::mouseMoveEvent(QMouseEvent *aEvent) {
  const int x = aEvent->position().toPoint().x();
  if (mMarker != tMarkerE::None) {
    MoveMarkerTo(x);
    aEvent->accept();
    return;
  }
  if (!mDragging) {
    // With mouse tracking on, a marker shows it can be taken.
    if (MarkerAt(x) != tMarkerE::None)
      setCursor(Qt::SizeHorCursor);
    else
      unsetCursor();
    QWidget::mouseMoveEvent(aEvent);
    return;
  }
  SeekTo(aEvent->position().toPoint().x());
  aEvent->accept();
}

void TMoviePositionBar::mouseReleaseEvent(QMouseEvent *aEvent) {
  if (mMarker != tMarkerE::None && aEvent->button() == Qt::LeftButton) {
    MoveMarkerTo(aEvent->position().toPoint().x());
    mMarker = tMarkerE::None;
    aEvent->accept();
    return;
  }
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

  if (mSection) {
    const double startX = XAt(mSection->mStart), endX = XAt(mSection->mEnd);
    QColor span = cSectionColour;
    span.setAlpha(cSectionSpanAlpha);
    painter.setBrush(span);
    painter.drawRect(QRectF(startX, 3, endX - startX, height() - 6));
    // Crisp lines and flags, read at a glance over the track and span.
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const double x : {startX, endX}) {
      const int column = int(std::lround(x));
      painter.fillRect(column - 1, 1, 3, height() - 1, cSectionColour);
      painter.fillRect(column - 3, 1, 7, 3, cSectionColour);
    }
    painter.setRenderHint(QPainter::Antialiasing);
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
