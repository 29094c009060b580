// MainDialog: the start of runs on the worker thread, numbered file names
// for series of runs, and the switching of the controls around a run.

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>

#include "app/dialog_layout.h"
#include "app/main_dialog.h"
#include "engine/run_context.h"

namespace karvel::app {

namespace {

std::string text_of(const QLineEdit* field) {
  return QFile::encodeName(field->text()).toStdString();
}

}  // namespace

int MainDialog::start_runs() {
  RunSettings settings;
  const bool begun = view_.call_on_gui([&] {
    apply_controls_running(true);
    read_fields();
    if (auto_names_ != 0) show_auto_names(auto_number_);
    settings = run_settings();
  });
  // The window went before the run could read it: nothing is run.
  if (!begun) return -1;

  for (;;) {
    if (view_.stop_requested()) return -1;
    context_.set_encoding_choice(settings.encoding);
    const int result = context_.run_processing(
        &view_, settings.debug, settings.check_similarity, settings.sort, settings.rst_eq_dst,
        settings.src, settings.dst, settings.dbl, settings.rst, settings.kwd, settings.log,
        settings.length_ratio, settings.similarity_ratio);
    bool next_run = false;
    view_.call_on_gui([&] {
      ++auto_number_;
      if (result == 0 && auto_names_ != 0) {
        show_auto_names(auto_number_);
        settings = run_settings();
        next_run = true;
      }
    });
    // A series also ends when the window has gone.
    if (result != 0 || !next_run) return result;
  }
}

void MainDialog::read_fields() {
  len_rate_ = text_of(edit(kLenRate));
  sim_rate_ = text_of(edit(kSimRate));
  src_name_ = text_of(edit(kSourceFile));
  dst_name_ = text_of(edit(kDestFile));
  dbl_name_ = text_of(edit(kDoublesFile));
  rst_name_ = text_of(edit(kRestFile));
  kwd_name_ = text_of(edit(kKeywordsFile));
  log_name_ = text_of(edit(kLogFile));
}

RunSettings MainDialog::run_settings() const {
  RunSettings settings;
  settings.debug = debug_info_;
  settings.check_similarity = check_similarity_;
  settings.sort = sort_blocks_;
  settings.rst_eq_dst = rst_eq_dst_;
  settings.encoding = encoding_choice_;
  // Names are passed whole, whatever their length.
  settings.src = src_name_;
  settings.dst = dst_name_;
  settings.dbl = dbl_name_;
  settings.rst = rst_name_;
  settings.kwd = kwd_name_;
  settings.log = log_name_;
  // The rate fields take at most two digits: 0 to 99, 0 when empty.
  settings.length_ratio = static_cast<uint32_t>(std::atoi(len_rate_.substr(0, 2).c_str()));
  settings.similarity_ratio = static_cast<uint32_t>(std::atoi(sim_rate_.substr(0, 2).c_str()));
  return settings;
}

void MainDialog::make_auto_names(uint32_t number) {
  view_.call_on_gui([&] { show_auto_names(number); });
}

void MainDialog::show_auto_names(uint32_t number) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%03u", static_cast<unsigned>(number));
  src_name_ = std::string("#src") + suffix;
  dst_name_ = std::string("#dst") + suffix;
  kwd_name_ = std::string("#kwd") + suffix;
  log_name_ = std::string("#log") + suffix;
  dbl_name_ = std::string("#dbl") + suffix;
  rst_name_ = std::string("#rst") + suffix;
  edit(kSourceFile)->setText(QString::fromLatin1(src_name_));
  edit(kDestFile)->setText(QString::fromLatin1(dst_name_));
  edit(kDoublesFile)->setText(QString::fromLatin1(dbl_name_));
  edit(kKeywordsFile)->setText(QString::fromLatin1(kwd_name_));
  edit(kRestFile)->setText(QString::fromLatin1(rst_name_));
  edit(kLogFile)->setText(QString::fromLatin1(log_name_));
}

void MainDialog::auto_names_command() {
  // atoi: 0 when the text is not a number.
  const int number = std::atoi(text_of(edit(kAutoNumber)).c_str());
  auto_number_ = static_cast<uint32_t>(number);
  show_auto_names(auto_number_);
}

void MainDialog::set_controls_running(bool running) {
  view_.call_on_gui([&] { apply_controls_running(running); });
}

void MainDialog::apply_controls_running(bool running) {
  button(kStartButton)->setEnabled(!running);
  if (!running) button(kStopButton)->setEnabled(false);
  for (int id :
       {kExitButton, kSourceFile, kDestFile, kDoublesFile, kRestFile, kKeywordsFile, kLogFile,
        kBrowseSource, kBrowseDest, kBrowseRest, kBrowseDoubles, kBrowseKeywords, kBrowseLog,
        kSimRate, kLenRate, kRstEqDstBox, kSortBlocksBox, kCheckSimilarityBox, kDebugInfoBox}) {
    control(id)->setEnabled(!running);
  }
  emit running_changed(running);
}

}  // namespace karvel::app
