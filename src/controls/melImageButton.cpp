#include "melImageButton.h"

#include <QPainter>

TImageButton::TImageButton(QWidget *aParent) : QAbstractButton(aParent) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
}

void TImageButton::SetPictures(const QPixmap &aUp, const QPixmap &aDown) {
  mUp = aUp;
  mDown = aDown;
  updateGeometry();
  update();
}

QSize TImageButton::sizeHint() const {
  return mUp.isNull() ? QSize(16, 16) : mUp.size();
}

void TImageButton::paintEvent(QPaintEvent *) {
  const QPixmap &picture = isDown() && !mDown.isNull() ? mDown : mUp;
  if (picture.isNull())
    return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  // A button that cannot be used now shows faded.
  if (!isEnabled())
    painter.setOpacity(0.35);
  // Pictures of another size are fitted to the button, keeping proportions.
  const QSize size = picture.size().scaled(this->size(), Qt::KeepAspectRatio);
  const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  painter.drawPixmap(target, picture);
}
