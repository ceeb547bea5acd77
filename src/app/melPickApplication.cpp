#include "melPickApplication.h"

#include "melImageButton.h"
#include "melPaths.h"
#include "ui_melPickApplication.h"

#include <QKeyEvent>

namespace {

constexpr int cRowHeight = 64;

QFont PickerFont(int aPointSize) {
  QFont font;
  // The dialog's face, with the closest free faces where it is not installed.
  font.setFamilies({QStringLiteral("Lucida Sans Unicode"), QStringLiteral("Lucida Sans"),
                    QStringLiteral("DejaVu Sans")});
  if (aPointSize > 0)
    font.setPointSize(aPointSize);
  return font;
}

QPixmap LoadPicture(const QString &aValue) {
  return QPixmap(LocalPath(ExpandRelativePath(ProgramFolder(), aValue)));
}

} // namespace

void THoverLabel::enterEvent(QEnterEvent *aEvent) {
  SetTextColour(QColor(0xC0, 0xC0, 0xC0));
  QLabel::enterEvent(aEvent);
}

void THoverLabel::leaveEvent(QEvent *aEvent) {
  SetTextColour(Qt::black);
  QLabel::leaveEvent(aEvent);
}

void THoverLabel::mouseReleaseEvent(QMouseEvent *aEvent) {
  QLabel::mouseReleaseEvent(aEvent);
  if (rect().contains(aEvent->position().toPoint()))
    emit Clicked();
}

void THoverLabel::SetTextColour(const QColor &aColour) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, aColour);
  setPalette(palette);
}

TPickApplication::TPickApplication(QWidget *aParent)
    : QDialog(aParent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui(std::make_unique<Ui::TPickApplication>()) {
  ui->setupUi(this);
  setFont(PickerFont(0));
  connect(ui->fQuitBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TPickApplication::~TPickApplication() = default;

QWidget *TPickApplication::ApplicationsPanel() const {
  return ui->fApplicationsPnl;
}

void TPickApplication::SetApplications(const tApplicationListC &aList) {
  mApplications = &aList;
  for (int i = 0; i < aList.Count(); ++i) {
    const tApplicationC *application = aList.Items(i);
    auto *button = new TImageButton(ui->fApplicationsPnl);
    button->setGeometry(250, i * cRowHeight + 8, 54, 48);
    button->SetPictures(LoadPicture(application->mIconUp), LoadPicture(application->mIconDown));
    button->setObjectName(QStringLiteral("fApplicationBtn%1").arg(i));
    connect(button, &QAbstractButton::clicked, this, [this, i] { Select(i); });

    auto *label = new THoverLabel(ui->fApplicationsPnl);
    label->setTextFormat(Qt::PlainText);
    label->setText(application->mName);
    label->setFont(PickerFont(10));
    label->move(314, i * cRowHeight + 24);
    label->adjustSize();
    label->setCursor(Qt::PointingHandCursor);
    label->setObjectName(QStringLiteral("fApplicationLbl%1").arg(i));
    connect(label, &THoverLabel::Clicked, this, [this, i] { Select(i); });
  }
  const int height = aList.Count() * cRowHeight + ui->fTopPnl->minimumHeight() +
                     ui->fBottomPnl->minimumHeight() + ui->fPeoplePnl->minimumHeight() + 16;
  ui->fApplicationsPnl->setFixedHeight(aList.Count() * cRowHeight + 16);
  setFixedSize(604, height);
}

void TPickApplication::Select(int aIndex) {
  mSelected = aIndex;
  accept();
}

void TPickApplication::keyPressEvent(QKeyEvent *aEvent) {
  // "Quit" is no cancel button: Escape leaves the dialog open.
  if (aEvent->key() == Qt::Key_Escape) {
    aEvent->accept();
    return;
  }
  QDialog::keyPressEvent(aEvent);
}

int PickApplication(const tApplicationListC &aList) {
  TPickApplication dialog;
  dialog.SetApplications(aList);
  if (dialog.exec() != QDialog::Accepted)
    return -1;
  return dialog.mSelected;
}
