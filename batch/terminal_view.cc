// Output lines, progress display and answer keys of karvel-batch.

#include "batch/terminal_view.h"

#include <langinfo.h>
#include <locale.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/text_conversion.h"

namespace karvel {

namespace {

// Reads one byte of standard input; from a terminal without waiting for
// Enter and without its own echo. Returns -1 at the end of input, and when a
// signal (a stop request) interrupts the wait.
int read_key() {
  bool terminal = isatty(STDIN_FILENO) != 0;
  termios saved;
  if (terminal && tcgetattr(STDIN_FILENO, &saved) == 0) {
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  } else {
    terminal = false;
  }
  unsigned char c = 0;
  ssize_t got = read(STDIN_FILENO, &c, 1);
  if (terminal) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return got == 1 ? c : -1;
}

// The character encoding of the user's locale.
std::string locale_encoding() {
  locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return "ASCII";
  std::string encoding = nl_langinfo_l(CODESET, locale);
  freelocale(locale);
  return encoding;
}

}  // namespace

TerminalView::TerminalView(FILE* lines) : lines_(lines), progress_(isatty(STDERR_FILENO) != 0) {
  if (isatty(fileno(lines)) != 0) terminal_encoding_ = locale_encoding();
}

TerminalView::~TerminalView() { end_progress(); }

void TerminalView::append_output_line(const std::string& line) {
  end_progress();
  fputs(line.c_str(), lines_);
  if (line.empty() || line.back() != '\n') fputc('\n', lines_);
  fflush(lines_);
}

void TerminalView::append_text_line(const std::string& line, TextEncoding encoding) {
  if (encoding == TextEncoding::kCp866 && !terminal_encoding_.empty()) {
    append_output_line(convert_from_cp866(line, terminal_encoding_.c_str()));
  } else {
    append_output_line(line);
  }
}

void TerminalView::set_field(int control, const std::string& text) {
  fields_[control] = text;
  if (progress_) show_progress();
}

void TerminalView::show_progress() {
  auto now = std::chrono::steady_clock::now();
  if (progress_shown_ && now - last_progress_ < std::chrono::milliseconds(100)) return;
  last_progress_ = now;
  fprintf(stderr, "\rtheme %s of %s, block %s of %s, similar blocks %s\033[K",
          fields_[kCurrentTheme].c_str(), fields_[kThemesTotal].c_str(),
          fields_[kCurrentBlock].c_str(), fields_[kBlocksTotal].c_str(),
          fields_.count(kSimilarFound) ? fields_[kSimilarFound].c_str() : "0");
  fflush(stderr);
  progress_shown_ = true;
}

void TerminalView::end_progress() {
  if (!progress_shown_) return;
  fputs("\r\033[K", stderr);
  fflush(stderr);
  progress_shown_ = false;
}

int TerminalView::read_answer_key(const char* accepted) {
  end_progress();
  for (;;) {
    int c = read_key();
    if (c < 0) return -1;
    if (c != 0 && strchr(accepted, c) != nullptr) {
      fputc(c, stderr);
      fputc('\n', stderr);
      fflush(stderr);
      return c;
    }
  }
}

}  // namespace karvel
