// The dialog template of the main window: its control numbers, the kinds and
// texts of its controls, their positions in dialog units, and the conversion
// of dialog units to pixels for the dialog's font.

#ifndef KARVEL_APP_DIALOG_LAYOUT_H_
#define KARVEL_APP_DIALOG_LAYOUT_H_

#include <QFont>
#include <QRect>
#include <QSize>
#include <span>

namespace karvel::app {

// Control numbers of the main dialog.
enum ControlNumber : int {
  kStartButton = 1,
  kStopButton = 2,
  kSourceFile = 1004,
  kDestFile = 1005,
  kKeywordsFile = 1006,
  kLogFile = 1007,
  kFilesGroup = 1008,
  kRestFile = 1011,
  kDoublesFile = 1012,
  kSortBlocksBox = 1013,
  kCheckSimilarityBox = 1015,
  kLenRate = 1018,
  kSimRate = 1021,
  kParametersGroup = 1022,
  kOutputGroup = 1023,
  kDebugInfoBox = 1024,
  kOutputListControl = 1025,
  kBrowseSource = 1026,
  kBrowseDest = 1027,
  kBrowseKeywords = 1028,
  kBrowseLog = 1029,
  kBrowseRest = 1030,
  kBrowseDoubles = 1032,
  kThemeCurrent = 1034,
  kThemesTotalField = 1037,
  kBlockCurrent = 1039,
  kBlocksTotalField = 1040,
  kAutoNamesButton = 1042,
  kAutoNumber = 1043,
  kAutoBox = 1044,
  kSecondsCounter = 1045,
  kRstEqDstBox = 1046,
  kExitButton = 1048,
  kMakerLabel = 1049,
  kSimilarField = 1050,
  kHelpButton = 1051,
  kCreditsLine = 1052,
};

enum class ControlKind {
  kGroupBox,
  kPushButton,
  kEdit,          // a name, scrolls sideways
  kDigitsEdit,    // digits only
  kReadOnlyEdit,  // written by the run or the timer
  kCheckBox,
  kLabel,
  kCentredLabel,
  kListBox,
};

// One control of a template: position and size in dialog units. A label
// with width 0 takes the width of its text.
struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* text;
  int x, y, width, height;
};

// The main dialog's template, in creation order (group boxes first, so that
// they lie beneath the controls they frame).
std::span<const ControlTemplate> main_dialog_template();

// Size of the main dialog in dialog units.
inline constexpr int kMainDialogWidth = 322;
inline constexpr int kMainDialogHeight = 271;

// The dialog's tab order by control number; disabled controls are skipped.
std::span<const int> main_dialog_tab_order();

// Dialog units of a font: a horizontal unit is a quarter of the font's
// average character width, a vertical unit an eighth of its height.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  int to_x(int units) const { return (units * char_width_ + 2) / 4; }
  int to_y(int units) const { return (units * char_height_ + 4) / 8; }
  int from_x(int pixels) const { return (pixels * 4 + char_width_ - 1) / char_width_; }
  QRect rect(int x, int y, int width, int height) const;
  QSize size(int width, int height) const { return QSize(to_x(width), to_y(height)); }
  int char_width() const { return char_width_; }
  int char_height() const { return char_height_; }

 private:
  int char_width_;
  int char_height_;
};

}  // namespace karvel::app

#endif  // KARVEL_APP_DIALOG_LAYOUT_H_
