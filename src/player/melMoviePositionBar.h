#pragma once

#include <QWidget>

#include <cstdint>

// The controller strip under the picture: a thin track, the played part and a
// knob. Clicking or dragging asks for a seek; while the knob is held, the
// engine's position reports are ignored so the knob stays under the mouse.
class TMoviePositionBar : public QWidget {
  Q_OBJECT
public:
  static constexpr int cHeight = 16;

  explicit TMoviePositionBar(QWidget *aParent = nullptr);

  // Milliseconds; zero disables seeking and hides the knob.
  void SetDuration(int64_t aDuration);
  int64_t Duration() const { return mDuration; }
  void SetPosition(int64_t aPosition);
  int64_t Position() const { return mPosition; }
  bool Dragging() const { return mDragging; }

  // The time under the horizontal pixel aX, clamped to the movie.
  int64_t TimeAt(int aX) const;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

signals:
  void SeekRequested(int64_t aTime);

protected:
  void paintEvent(QPaintEvent *aEvent) override;
  void mousePressEvent(QMouseEvent *aEvent) override;
  void mouseMoveEvent(QMouseEvent *aEvent) override;
  void mouseReleaseEvent(QMouseEvent *aEvent) override;
  void enterEvent(QEnterEvent *aEvent) override;
  void leaveEvent(QEvent *aEvent) override;

private:
  // The knob's centre may reach both ends, so the track keeps a margin.
  int TrackLeft() const;
  int TrackWidth() const;
  double KnobX() const;
  void SeekTo(int aX);

  int64_t mDuration = 0;
  int64_t mPosition = 0;
  int64_t mLastRequest = -1;
  bool mDragging = false;
  bool mHover = false;
};
