// Helpers for the dialog's tests: a folder with a small source and keywords
// file under the dialog's default names, reading files and the output list,
// and the controls of a dialog by number.

#ifndef KARVEL_TESTS_SUPPORT_DIALOG_SUPPORT_H_
#define KARVEL_TESTS_SUPPORT_DIALOG_SUPPORT_H_

#include <QString>
#include <QStringList>

#include "test_support.h"

class QAbstractButton;
class QLineEdit;

namespace karvel::app {
class MainDialog;
}

namespace karvel::app_testing {

// A fresh folder that holds "#src" (five blocks: two equal, one similar to
// them, one without theme) and "#kwd" (two keywords), and is made the
// current directory while it lives, so that the dialog's default names refer
// to it.
class RunFolder {
 public:
  RunFolder();
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  QString path(const QString& name) const;
  bool exists(const QString& name) const;
  QByteArray read(const QString& name) const;
  void write(const QString& name, const QByteArray& bytes) const;

 private:
  testing::TempDir dir_;
  QString previous_;
};

// The source and keywords of RunFolder.
extern const char* const kSourceText;
extern const char* const kKeywordsText;

// Texts and controls of a dialog by control number (push buttons and check
// boxes alike are buttons).
QLineEdit* edit_of(app::MainDialog& dialog, int id);
QAbstractButton* button_of(app::MainDialog& dialog, int id);
QString text_of(app::MainDialog& dialog, int id);
QStringList output_lines(app::MainDialog& dialog);

// The controls that a run disables: enabled while the dialog is idle.
extern const int kRunLocked[20];

}  // namespace karvel::app_testing

#endif  // KARVEL_TESTS_SUPPORT_DIALOG_SUPPORT_H_
