#include "melAbout.h"

#include "melUtil.h"
#include "ui_melAbout.h"

TAbout::TAbout(QWidget *aParent)
    : QDialog(aParent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ui(std::make_unique<Ui::TAbout>()) {
  ui->setupUi(this);
  setFixedSize(342, 215);
  ui->fVersionLbl->setText(QStringLiteral("Version ") + GetProgramVersion());
  connect(ui->fCloseBtn, &QPushButton::clicked, this, &QDialog::accept);
}

TAbout::~TAbout() = default;

QString TAbout::VersionText() const {
  return ui->fVersionLbl->text();
}
