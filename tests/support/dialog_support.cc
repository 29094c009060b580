// Helpers for the dialog's tests.

#include "dialog_support.h"

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>

#include "app/dialog_layout.h"
#include "app/main_dialog.h"

namespace karvel::app_testing {

const char* const kSourceText =
    "apple pie recipe\nwith sugar\n\n"
    "pear tart\nwith cream\n\n"
    "something else\n\n"
    "apple pie recipe\nwith sugar\n\n"
    "apple pie recipe\nwith brown sugar\n\n";
const char* const kKeywordsText = "apple\npear\n";

using namespace app;
const int kRunLocked[20] = {
    kStartButton,    kExitButton,  kSourceFile,    kDestFile,           kKeywordsFile,
    kLogFile,        kRestFile,    kDoublesFile,   kBrowseSource,       kBrowseDest,
    kBrowseKeywords, kBrowseLog,   kBrowseRest,    kBrowseDoubles,      kLenRate,
    kSimRate,        kRstEqDstBox, kSortBlocksBox, kCheckSimilarityBox, kDebugInfoBox};

RunFolder::RunFolder() : previous_(QDir::currentPath()) {
  write(QStringLiteral("#src"), kSourceText);
  write(QStringLiteral("#kwd"), kKeywordsText);
  QDir::setCurrent(QString::fromStdString(dir_.path()));
}

RunFolder::~RunFolder() { QDir::setCurrent(previous_); }

QString RunFolder::path(const QString& name) const {
  return QString::fromStdString(dir_.file(name.toStdString()));
}

bool RunFolder::exists(const QString& name) const {
  return testing::file_exists(path(name).toStdString());
}

QByteArray RunFolder::read(const QString& name) const {
  return QByteArray::fromStdString(testing::read_file(path(name).toStdString()));
}

void RunFolder::write(const QString& name, const QByteArray& bytes) const {
  testing::write_file(path(name).toStdString(), bytes.toStdString());
}

QLineEdit* edit_of(app::MainDialog& dialog, int id) {
  return qobject_cast<QLineEdit*>(dialog.control(id));
}

QAbstractButton* button_of(app::MainDialog& dialog, int id) {
  return qobject_cast<QAbstractButton*>(dialog.control(id));
}

QString text_of(app::MainDialog& dialog, int id) {
  QLineEdit* edit = edit_of(dialog, id);
  return edit == nullptr ? QString() : edit->text();
}

QStringList output_lines(app::MainDialog& dialog) {
  QStringList lines;
  QListWidget* list = dialog.output_list();
  for (int i = 0; i < list->count(); ++i) lines.append(list->item(i)->text());
  return lines;
}

}  // namespace karvel::app_testing
