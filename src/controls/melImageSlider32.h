#pragma once

#include <QImage>
#include <QPen>
#include <QWidget>

// A slider over a few whole positions, Start to Stop, drawn from 32-bit
// pictures blended over whatever lies beneath it: a track of left cap,
// stretched centre and right cap along the bottom, tick lines above it and a
// nib that is dragged from tick to tick.
class TImageSlider32 : public QWidget {
  Q_OBJECT
public:
  explicit TImageSlider32(QWidget *aParent = nullptr);

  const QPen &TickPen() const { return mTickPen; }
  void SetTickPen(const QPen &aPen);
  int Position() const { return mPosition; }
  void SetPosition(int aPosition);
  int Start() const { return mStart; }
  void SetStart(int aStart);
  int Stop() const { return mStop; }
  void SetStop(int aStop);
  int TickSize() const { return mTickSize; }
  void SetTickSize(int aTickSize);

  const QImage &LeftImg() const { return mLeftImg; }
  void SetLeftImg(const QImage &aImg);
  const QImage &RightImg() const { return mRightImg; }
  void SetRightImg(const QImage &aImg);
  const QImage &CenterImg() const { return mCenterImg; }
  void SetCenterImg(const QImage &aImg);
  const QImage &NibImg() const { return mNibImg; }
  void SetNibImg(const QImage &aImg);
  const QImage &NibSelectedImg() const { return mNibSelectedImg; }
  void SetNibSelectedImg(const QImage &aImg);

  // True while the nib is being dragged.
  bool Held() const { return mHeld; }

  // Without a nib picture the nib still takes 20 x 20 pixels for hit tests.
  int NibWidth() const;
  int NibHeight() const;
  // Centre x of the tick for a position.
  int TickX(int aPosition) const;
  // The position whose tick is nearest under x.
  int PositionAt(int aX) const;

signals:
  void OnChange(TImageSlider32 *rSender, int rNewPosition);

protected:
  void paintEvent(QPaintEvent *aEvent) override;
  void mousePressEvent(QMouseEvent *aEvent) override;
  void mouseMoveEvent(QMouseEvent *aEvent) override;
  void mouseReleaseEvent(QMouseEvent *aEvent) override;

private:
  int Half() const { return NibWidth() / 2; }
  double Step() const;

  QPen mTickPen;
  int mPosition = 0;
  int mStart = 0;
  int mStop = 9;
  int mTickSize = 1;
  QImage mLeftImg;
  QImage mRightImg;
  QImage mCenterImg;
  QImage mNibImg;
  QImage mNibSelectedImg;
  bool mHeld = false;
};
