#pragma once

#include <QAbstractButton>
#include <QPixmap>

// A button drawn from two pictures: one at rest, one while the mouse button
// is held down over it.
class TImageButton : public QAbstractButton {
  Q_OBJECT
public:
  explicit TImageButton(QWidget *aParent = nullptr);

  void SetPictures(const QPixmap &aUp, const QPixmap &aDown);
  const QPixmap &PictureUp() const { return mUp; }
  const QPixmap &PictureDown() const { return mDown; }
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent *aEvent) override;

private:
  QPixmap mUp;
  QPixmap mDown;
};
