// AboutDialog: the About box, opened from the main dialog's context menu.

#ifndef KARVEL_APP_ABOUT_DIALOG_H_
#define KARVEL_APP_ABOUT_DIALOG_H_

#include <QDialog>
#include <QIcon>

namespace karvel::app {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  AboutDialog(const QIcon& icon, QWidget* parent = nullptr);
};

}  // namespace karvel::app

#endif  // KARVEL_APP_ABOUT_DIALOG_H_
