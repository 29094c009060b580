// MainDialog: building the controls from the template, initialisation, the
// commands that the user gives with the buttons and check boxes, and the
// one-second timer with the seconds counter and the credits line.

#include "app/main_dialog.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <cstdlib>

#include "app/dialog_layout.h"
#include "app/dialog_texts.h"
#include "engine/run_context.h"
#include "records/run_clock.h"

namespace karvel::app {

namespace {

// The Br buttons and the fields they fill.
struct BrowseButton {
  int button;
  int field;
};
constexpr BrowseButton kBrowseButtons[] = {
    {kBrowseSource, kSourceFile}, {kBrowseDest, kDestFile}, {kBrowseKeywords, kKeywordsFile},
    {kBrowseLog, kLogFile},       {kBrowseRest, kRestFile}, {kBrowseDoubles, kDoublesFile},
};

// The fields that runs and the timer write.
bool is_progress_field(int control) {
  switch (control) {
    case kThemeCurrent:
    case kThemesTotalField:
    case kBlockCurrent:
    case kBlocksTotalField:
    case kSecondsCounter:
    case kSimilarField:
      return true;
    default:
      return false;
  }
}

// Which credits line comes next; the first change shows the first line.
unsigned credit_index = 0;

QString from_8bit(const std::string& text) {
  return QFile::decodeName(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace

MainDialog::MainDialog(RunContext& context, QWidget* parent)
    : QDialog(parent), context_(context), icon_(application_icon()) {
  help_messages_.set_main_window(&view_);
  context_.set_main_window(&view_);
  setWindowTitle(QStringLiteral("Karvel"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  QFont dialog_font = font();
  dialog_font.setPointSize(8);
  setFont(dialog_font);
  // Buttons get a yellow background where the style draws one.
  setStyleSheet(QStringLiteral("QPushButton { background-color: rgb(255, 255, 0); }"));
  build_controls();
  connect_commands();
  init_dialog();
}

MainDialog::~MainDialog() {
  view_.close();
  context_.set_main_window(nullptr);
}

QWidget* MainDialog::control(int id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

QLineEdit* MainDialog::edit(int id) const { return qobject_cast<QLineEdit*>(control(id)); }
QPushButton* MainDialog::button(int id) const { return qobject_cast<QPushButton*>(control(id)); }
QCheckBox* MainDialog::check_box(int id) const { return qobject_cast<QCheckBox*>(control(id)); }

void MainDialog::build_controls() {
  const DialogUnits units(font());
  auto* digits =
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
  for (const ControlTemplate& t : main_dialog_template()) {
    const QString text = QString::fromLatin1(t.text);
    QWidget* widget = nullptr;
    switch (t.kind) {
      case ControlKind::kGroupBox:
        widget = new QGroupBox(text, this);
        break;
      case ControlKind::kPushButton:
        widget = new QPushButton(text, this);
        break;
      case ControlKind::kEdit:
      case ControlKind::kDigitsEdit:
      case ControlKind::kReadOnlyEdit: {
        auto* line = new QLineEdit(text, this);
        if (t.kind == ControlKind::kDigitsEdit) line->setValidator(digits);
        if (t.kind == ControlKind::kReadOnlyEdit) {
          line->setReadOnly(true);
          if (t.id != kSimilarField) line->setFocusPolicy(Qt::ClickFocus);
        }
        widget = line;
        break;
      }
      case ControlKind::kCheckBox:
        widget = new QCheckBox(text, this);
        break;
      case ControlKind::kLabel:
      case ControlKind::kCentredLabel: {
        auto* label = new QLabel(text, this);
        if (t.kind == ControlKind::kCentredLabel) label->setAlignment(Qt::AlignCenter);
        widget = label;
        break;
      }
      case ControlKind::kListBox: {
        output_list_ = new QListWidget(this);
        output_list_->setUniformItemSizes(true);
        output_list_->setTextElideMode(Qt::ElideNone);
        output_list_->setFocusPolicy(Qt::ClickFocus);
        output_list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        widget = output_list_;
        break;
      }
    }
    QRect where = units.rect(t.x, t.y, t.width, t.height);
    if (t.width == 0) where.setWidth(widget->sizeHint().width());
    widget->setGeometry(where);
    widget->setObjectName(QStringLiteral("control_%1").arg(t.id));
    controls_[t.id] = widget;
  }
  edit(kLenRate)->setMaxLength(2);
  edit(kSimRate)->setMaxLength(2);
  edit(kSecondsCounter)->setAlignment(Qt::AlignRight);
  qobject_cast<QLabel*>(control(kMakerLabel))->setText(QString::fromLatin1(kMakerLabelText));
  qobject_cast<QLabel*>(control(kCreditsLine))
      ->setText(QString::fromLatin1(credit_lines()[kFirstCreditShown]));
  button(kStartButton)->setDefault(true);
  // Created disabled and never enabled.
  for (int id : {kAutoNamesButton, kAutoNumber, kAutoBox}) control(id)->setEnabled(false);

  const auto order = main_dialog_tab_order();
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(control(order[i - 1]), control(order[i]));

  setFixedSize(units.size(kMainDialogWidth, kMainDialogHeight));
}

void MainDialog::connect_commands() {
  connect(button(kStartButton), &QPushButton::clicked, this, &MainDialog::request_start);
  connect(button(kStopButton), &QPushButton::clicked, this, &MainDialog::stop_command);
  connect(button(kExitButton), &QPushButton::clicked, this, &MainDialog::exit_command);
  connect(button(kHelpButton), &QPushButton::clicked, this, &MainDialog::show_help_text);
  connect(button(kAutoNamesButton), &QPushButton::clicked, this, &MainDialog::auto_names_command);
  for (const BrowseButton& b : kBrowseButtons) {
    const int field = b.field;
    connect(button(b.button), &QPushButton::clicked, this,
            [this, field] { browse_for_file(field); });
  }
  const std::pair<int, int*> boxes[] = {
      {kAutoBox, &auto_names_},      {kCheckSimilarityBox, &check_similarity_},
      {kDebugInfoBox, &debug_info_}, {kSortBlocksBox, &sort_blocks_},
      {kRstEqDstBox, &rst_eq_dst_},
  };
  for (const auto& [id, flag] : boxes) {
    int* target = flag;
    connect(check_box(id), &QCheckBox::toggled, this, [target](bool on) { *target = on ? 1 : 0; });
  }
  connect(&view_, &DialogView::lines_arrived, this, &MainDialog::show_lines);
  connect(&view_, &DialogView::field_changed, this, &MainDialog::show_field);
}

void MainDialog::init_dialog() {
  // From the members to the controls.
  check_box(kDebugInfoBox)->setChecked(debug_info_ != 0);
  check_box(kCheckSimilarityBox)->setChecked(check_similarity_ != 0);
  check_box(kSortBlocksBox)->setChecked(sort_blocks_ != 0);
  check_box(kRstEqDstBox)->setChecked(rst_eq_dst_ != 0);
  check_box(kAutoBox)->setChecked(auto_names_ != 0);
  edit(kDestFile)->setText(from_8bit(dst_name_));
  edit(kSourceFile)->setText(from_8bit(src_name_));
  edit(kLenRate)->setText(from_8bit(len_rate_));
  edit(kSimRate)->setText(from_8bit(sim_rate_));
  edit(kLogFile)->setText(from_8bit(log_name_));
  edit(kKeywordsFile)->setText(from_8bit(kwd_name_));
  edit(kDoublesFile)->setText(from_8bit(dbl_name_));
  edit(kRestFile)->setText(from_8bit(rst_name_));
  edit(kAutoNumber)->setText(QString::number(auto_number_));

  build_system_menu();
  setWindowIcon(icon_);
  mark_start_time();
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &MainDialog::timer_tick);
  timer_->start(1000);
  edit(kSimilarField)->setText(QStringLiteral("0"));
  apply_controls_running(false);
  button(kStartButton)->setFocus();
}

void MainDialog::timer_tick() {
  edit(kSecondsCounter)->setText(QString::number(static_cast<qint64>(elapsed_seconds())));
  if (std::rand() % 20 == 0) {
    const auto lines = credit_lines();
    qobject_cast<QLabel*>(control(kCreditsLine))
        ->setText(QString::fromLatin1(lines[credit_index % lines.size()]));
    credit_index = (credit_index + 1) % lines.size();
  }
  update();
}

void MainDialog::request_start() {
  view_.set_stop_requested(false);
  start_requested_.store(1);
}

// The runs of the last Start stop, those under way and those still to come;
// the controls come back once they have really ended.
void MainDialog::stop_command() {
  view_.set_stop_requested(true);
  context_.request_stop(1);
}

void MainDialog::reject() {
  // Escape and the window's close button give the Stop command; only Exit
  // ends the dialog.
  stop_command();
}

void MainDialog::exit_command() {
  // From here on a run that still goes on writes nowhere.
  view_.close();
  if (timer_ != nullptr) timer_->stop();
  QDialog::done(QDialog::Rejected);
}

void MainDialog::browse_for_file(int field) {
  std::string* member = nullptr;
  switch (field) {
    case kSourceFile:
      member = &src_name_;
      break;
    case kDestFile:
      member = &dst_name_;
      break;
    case kKeywordsFile:
      member = &kwd_name_;
      break;
    case kLogFile:
      member = &log_name_;
      break;
    case kRestFile:
      member = &rst_name_;
      break;
    case kDoublesFile:
      member = &dbl_name_;
      break;
    default:
      return;
  }
  QFileDialog chooser(this);
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  // Any name may be chosen or typed: the output files need not exist yet.
  chooser.setFileMode(QFileDialog::AnyFile);
  // "*" rather than "*.*": most names on Linux have no point in them.
  chooser.setNameFilter(QStringLiteral("All Files (*)"));
  if (chooser.exec() != QDialog::Accepted) return;
  const QStringList chosen = chooser.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return;
  *member = QFile::encodeName(chosen.first()).toStdString();
  edit(field)->setText(chosen.first());
}

void MainDialog::show_lines(const QStringList& lines) {
  output_list_->addItems(lines);
  const int last = output_list_->count() - 1;
  output_list_->setCurrentRow(last);
  output_list_->scrollToItem(output_list_->item(last));
}

void MainDialog::show_field(int control, const QString& text) {
  if (!is_progress_field(control)) return;
  if (QLineEdit* field = edit(control)) field->setText(text);
}

}  // namespace karvel::app
