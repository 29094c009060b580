// MainDialog: the program's only window.
//
// It holds the six file names, the four switches and the two rates with
// their defaults, the progress fields that runs write, the output list, the
// seconds counter and the credits line. Its commands run on the GUI thread;
// start_runs runs on the worker thread and reaches the controls only through
// the view's call_on_gui. The members below are touched on the GUI thread
// only.

#ifndef KARVEL_APP_MAIN_DIALOG_H_
#define KARVEL_APP_MAIN_DIALOG_H_

#include <QDialog>
#include <QIcon>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "app/dialog_view.h"
#include "files/text_encoding.h"
#include "messages/messages.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;

namespace karvel {
class RunContext;
}

namespace karvel::app {

// What one run is given, read from the dialog.
struct RunSettings {
  int debug = 0;
  int check_similarity = 0;
  int sort = 0;
  int rst_eq_dst = 0;
  std::string src, dst, dbl, rst, kwd, log;
  uint32_t length_ratio = 0;
  uint32_t similarity_ratio = 0;
  EncodingChoice encoding = EncodingChoice::kAuto;
};

class MainDialog : public QDialog {
  Q_OBJECT

 public:
  // The run context performs the runs; it must outlive the dialog.
  explicit MainDialog(RunContext& context, QWidget* parent = nullptr);
  ~MainDialog() override;

  // A control by its number; nullptr for a number the dialog does not have.
  QWidget* control(int id) const;
  QListWidget* output_list() const { return output_list_; }
  QMenu* system_menu() const { return system_menu_; }
  EncodingChoice encoding_choice() const { return encoding_choice_; }
  DialogView& view() { return view_; }
  QIcon icon() const { return icon_; }

  // Commands, on the GUI thread.
  void request_start();              // Start, Enter
  void stop_command();               // Stop, Escape, the close button
  void exit_command();               // Exit: the only way to end
  void browse_for_file(int field);   // a Br button, by its field's number
  void auto_names_command();         // AutoNames
  void show_help_text();             // Help
  void timer_tick();                 // every second
  void system_command(int command);  // the context menu's commands
  uint32_t auto_number() const { return auto_number_; }
  bool auto_names() const { return auto_names_ != 0; }

  // The start request, shared with the worker.
  bool start_requested() const { return start_requested_.load() != 0; }
  void clear_start_request() { start_requested_.store(0); }

  // Any thread: reads the fields and performs one run, or a series of runs
  // with numbered names when Auto is on. Returns the last run's result.
  int start_runs();
  // Any thread: numbered file names for `number`, shown in the fields.
  void make_auto_names(uint32_t number);
  // Any thread: the controls for a run in progress, or for idle.
  void set_controls_running(bool running);

 signals:
  // The controls have been switched (GUI thread).
  void running_changed(bool running);

 protected:
  void reject() override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void build_controls();
  void init_dialog();
  void build_system_menu();
  void add_encoding_menu();
  void connect_commands();
  void apply_controls_running(bool running);
  void show_auto_names(uint32_t number);
  void read_fields();
  RunSettings run_settings() const;
  void show_about_box();
  void show_lines(const QStringList& lines);
  void show_field(int control, const QString& text);
  QLineEdit* edit(int id) const;
  QPushButton* button(int id) const;
  QCheckBox* check_box(int id) const;

  RunContext& context_;
  DialogView view_;
  // The Help text's own message channel: the engine's is the worker's.
  Messages help_messages_;
  std::atomic<int> start_requested_{0};

  int debug_info_ = 0;
  int check_similarity_ = 1;
  int sort_blocks_ = 1;
  std::string dst_name_ = "#dst";
  std::string src_name_ = "#src";
  std::string len_rate_ = "50";
  std::string sim_rate_ = "60";
  std::string log_name_ = "#log";
  std::string kwd_name_ = "#kwd";
  std::string dbl_name_ = "#dbl";
  std::string rst_name_ = "#rst";
  uint32_t auto_number_ = 0;
  int auto_names_ = 0;
  int rst_eq_dst_ = 1;
  // The window menu's Text encoding: kept while the program runs.
  EncodingChoice encoding_choice_ = EncodingChoice::kAuto;
  QIcon icon_;

  std::map<int, QWidget*> controls_;
  QListWidget* output_list_ = nullptr;
  QMenu* system_menu_ = nullptr;
  QTimer* timer_ = nullptr;
};

// The application's icon, in every size it comes in.
QIcon application_icon();

}  // namespace karvel::app

#endif  // KARVEL_APP_MAIN_DIALOG_H_
