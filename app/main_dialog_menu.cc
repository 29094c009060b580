// MainDialog's window menu (the context menu, which Linux window managers
// leave to the program): Minimize, Close, the Text encoding of later runs,
// the search of themes of any size and About, the About box, the Help text
// and the application icon.

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QMenu>

#include "app/about_dialog.h"
#include "app/dialog_layout.h"
#include "app/dialog_texts.h"
#include "app/main_dialog.h"
#include "engine/run_context.h"
#include "records/program_configuration.h"

namespace karvel::app {

namespace {

// Commands of the window menu besides the About box.
constexpr int kMinimiseCommand = 0xF020;
constexpr int kCloseCommand = 0xF060;

}  // namespace

QIcon application_icon() {
  QIcon icon;
  icon.addFile(QStringLiteral(":/karvel/karvel.png"));
  icon.addFile(QStringLiteral(":/karvel/karvel-16.png"));
  return icon;
}

void MainDialog::build_system_menu() {
  // Linux window managers give programs no window menu of their own, so the
  // dialog's context menu stands in for it.
  system_menu_ = new QMenu(this);
  system_menu_->setObjectName(QStringLiteral("system_menu"));
  const std::pair<const char*, int> commands[] = {
      {"Mi&nimize", kMinimiseCommand},
      {"&Close", kCloseCommand},
  };
  for (const auto& [text, command] : commands) {
    system_menu_->addAction(QString::fromLatin1(text))->setData(command);
  }
  add_encoding_menu();
  system_menu_->addSeparator();
  // Off, runs leave themes of 500 blocks or more unsearched; the choice lasts
  // while the program runs.
  QAction* any_size = system_menu_->addAction(QString::fromLatin1(kAnySizeMenuText));
  any_size->setObjectName(QStringLiteral("any_size"));
  any_size->setCheckable(true);
  connect(any_size, &QAction::toggled, this,
          [this](bool on) { context_.set_similar_limit(on ? 0 : kDefaultSimilarLimit); });
  system_menu_->addAction(QString::fromLatin1(kAboutMenuText))->setData(kAboutCommand);
  connect(system_menu_, &QMenu::triggered, this, [this](QAction* action) {
    if (action->parent() == system_menu_) system_command(action->data().toInt());
  });
}

void MainDialog::add_encoding_menu() {
  QMenu* menu = system_menu_->addMenu(QStringLiteral("Text &encoding"));
  menu->setObjectName(QStringLiteral("encoding_menu"));
  auto* group = new QActionGroup(menu);
  const std::pair<const char*, EncodingChoice> choices[] = {
      {"&Automatic", EncodingChoice::kAuto},
      {"&UTF-8", EncodingChoice::kUtf8},
      {"Code page &866", EncodingChoice::kCp866},
  };
  for (const auto& [text, choice] : choices) {
    QAction* action = menu->addAction(QString::fromLatin1(text));
    action->setCheckable(true);
    action->setChecked(choice == encoding_choice_);
    action->setActionGroup(group);
    const EncodingChoice chosen = choice;
    connect(action, &QAction::triggered, this, [this, chosen] { encoding_choice_ = chosen; });
  }
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  system_menu_->popup(event->globalPos());
}

void MainDialog::system_command(int command) {
  if ((command & ~0xF) == kAboutCommand) {
    show_about_box();
  } else if (command == kMinimiseCommand) {
    showMinimized();
  } else if (command == kCloseCommand) {
    stop_command();
  }
}

void MainDialog::show_about_box() {
  AboutDialog about(icon_, this);
  about.exec();
}

void MainDialog::show_help_text() {
  for (const char* line : help_lines()) help_messages_.show_message("%s", line);
}

}  // namespace karvel::app
