// AboutDialog: the icon, the version line, a line about the makers and OK,
// at the positions of its template.

#include "app/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app/dialog_layout.h"
#include "app/dialog_texts.h"

namespace karvel::app {

AboutDialog::AboutDialog(const QIcon& icon, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(kAboutCaption));
  QFont dialog_font = font();
  dialog_font.setPointSize(8);
  setFont(dialog_font);
  const DialogUnits units(font());

  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("about_icon"));
  picture->setPixmap(icon.pixmap(32, 32));
  picture->setGeometry(units.to_x(11), units.to_y(17), 32, 32);

  auto* version = new QLabel(QString::fromLatin1(kAboutVersionLine), this);
  version->setObjectName(QStringLiteral("about_version"));
  version->setGeometry(units.rect(51, 15, 76, 8));

  auto* second = new QLabel(QString::fromLatin1(kAboutSecondLine), this);
  second->setObjectName(QStringLiteral("about_second_line"));
  second->setGeometry(units.rect(38, 31, 119, 8));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("about_ok"));
  ok->setGeometry(units.rect(178, 18, 32, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  setFixedSize(units.size(217, 55));
}

}  // namespace karvel::app
