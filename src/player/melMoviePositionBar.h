#pragma once

#include "melMovieEngine.h"

#include <QWidget>

#include <cstdint>
#include <optional>

// The controller strip under the picture: a thin track, the played part and a
// knob. Clicking or dragging asks for a seek; while the knob is held, the
// engine's position reports are ignored so the knob stays under the mouse.
// A practised section shows as two markers and the span between them;
// dragging a marker asks for that end of the section to move.
class TMoviePositionBar : public QWidget {
  Q_OBJECT
public:
  static constexpr int cHeight = 16;
  static constexpr int64_t cShortestSection = 100;
  // A press this close to a marker takes the marker, not the knob.
  static constexpr int cMarkerGrip = 4;

  explicit TMoviePositionBar(QWidget *aParent = nullptr);

  // Milliseconds; zero disables seeking and hides the knob.
  void SetDuration(int64_t aDuration);
  int64_t Duration() const { return mDuration; }
  void SetPosition(int64_t aPosition);
  int64_t Position() const { return mPosition; }
  bool Dragging() const { return mDragging; }
  // The section shown; none hides the markers.
  void SetSection(std::optional<tMovieSectionC> aSection);
  std::optional<tMovieSectionC> Section() const { return mSection; }
  // A marker is held.
  bool DraggingMarker() const { return mMarker != tMarkerE::None; }

  // The time under the horizontal pixel aX, clamped to the movie.
  int64_t TimeAt(int aX) const;
  // Where aTime lies on the track (the knob's centre, a marker's line).
  double XAt(int64_t aTime) const;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

signals:
  void SeekRequested(int64_t aTime);
  // A marker was dragged; the end stays at least cShortestSection after
  // the start.
  void SectionChangeRequested(int64_t aStart, int64_t aEnd);

protected:
  void paintEvent(QPaintEvent *aEvent) override;
  void mousePressEvent(QMouseEvent *aEvent) override;
  void mouseMoveEvent(QMouseEvent *aEvent) override;
  void mouseReleaseEvent(QMouseEvent *aEvent) override;
  void enterEvent(QEnterEvent *aEvent) override;
  void leaveEvent(QEvent *aEvent) override;

private:
  enum class tMarkerE { None, Start, End };

  // The knob's centre may reach both ends, so the track keeps a margin.
  int TrackLeft() const;
  int TrackWidth() const;
  double KnobX() const;
  void SeekTo(int aX);
  tMarkerE MarkerAt(int aX) const;
  void MoveMarkerTo(int aX);

  int64_t mDuration = 0;
  int64_t mPosition = 0;
  int64_t mLastRequest = -1;
  bool mDragging = false;
  bool mHover = false;
  std::optional<tMovieSectionC> mSection;
  tMarkerE mMarker = tMarkerE::None;
  std::optional<tMovieSectionC> mLastSectionRequest;
};
