// The main dialog's template table and the dialog-unit conversion.

#include "app/dialog_layout.h"

#include <QFontMetrics>

namespace karvel::app {

namespace {

using K = ControlKind;

constexpr ControlTemplate kMainTemplate[] = {
    {kFilesGroup, K::kGroupBox, "Files", 7, 1, 193, 136},
    {kParametersGroup, K::kGroupBox, "Parameters", 210, 1, 98, 136},
    {kOutputGroup, K::kGroupBox, "Output", 14, 142, 295, 103},

    {kAutoNamesButton, K::kPushButton, "AutoNames", 18, 11, 43, 14},
    {kAutoNumber, K::kDigitsEdit, "0", 64, 11, 40, 14},
    {kHelpButton, K::kPushButton, "Help", 147, 11, 50, 14},
    {1000, K::kLabel, "Source File", 17, 31, 0, 8},
    {kSourceFile, K::kEdit, "#src", 64, 28, 112, 14},
    {kBrowseSource, K::kPushButton, "Br", 182, 29, 16, 14},
    {1001, K::kLabel, "Dest File", 18, 49, 0, 8},
    {kDestFile, K::kEdit, "#dst", 64, 46, 112, 14},
    {kBrowseDest, K::kPushButton, "Br", 182, 47, 16, 14},
    {1002, K::kLabel, "Keywrd File", 17, 67, 0, 8},
    {kKeywordsFile, K::kEdit, "#kwd", 64, 64, 112, 14},
    {kBrowseKeywords, K::kPushButton, "Br", 182, 65, 16, 14},
    {1003, K::kLabel, "Log FIle", 18, 84, 0, 8},
    {kLogFile, K::kEdit, "#log", 63, 82, 112, 14},
    {kBrowseLog, K::kPushButton, "Br", 182, 83, 16, 14},
    {1009, K::kLabel, "Rest FIle", 18, 105, 0, 8},
    {kRestFile, K::kEdit, "#rst", 63, 101, 112, 14},
    {kBrowseRest, K::kPushButton, "Br", 181, 101, 16, 14},
    {1010, K::kLabel, "Dbl FIle", 18, 125, 0, 8},
    {kDoublesFile, K::kEdit, "#dbl", 63, 120, 112, 14},
    {kBrowseDoubles, K::kPushButton, "Br", 181, 120, 16, 14},

    {kSecondsCounter, K::kReadOnlyEdit, "", 275, 8, 29, 14},
    {kRstEqDstBox, K::kCheckBox, "Rst=Dst", 221, 11, 41, 10},
    {kSortBlocksBox, K::kCheckBox, "Sort Blocks", 221, 23, 52, 10},
    {kCheckSimilarityBox, K::kCheckBox, "Check Similarity", 221, 35, 65, 10},
    {kDebugInfoBox, K::kCheckBox, "Debug Info", 221, 47, 51, 10},
    {kSimilarField, K::kReadOnlyEdit, "0", 273, 53, 26, 14},
    {kAutoBox, K::kCheckBox, "Auto", 222, 60, 31, 10},
    {1020, K::kLabel, "Len Rate", 222, 73, 0, 8},
    {kLenRate, K::kDigitsEdit, "50", 260, 69, 40, 14},
    {1019, K::kLabel, "Sim Rate", 222, 88, 0, 8},
    {kSimRate, K::kDigitsEdit, "60", 260, 85, 40, 14},
    {1031, K::kLabel, "Theme:", 213, 104, 0, 8},
    {kThemeCurrent, K::kReadOnlyEdit, "", 239, 101, 22, 14},
    {1035, K::kLabel, "of", 266, 103, 0, 8},
    {kThemesTotalField, K::kReadOnlyEdit, "", 280, 101, 22, 14},
    {1038, K::kLabel, "Block:", 213, 122, 0, 8},
    {kBlockCurrent, K::kReadOnlyEdit, "", 239, 118, 22, 14},
    {1036, K::kLabel, "of", 267, 121, 0, 8},
    {kBlocksTotalField, K::kReadOnlyEdit, "", 279, 118, 22, 14},

    {kOutputListControl, K::kListBox, "", 29, 152, 264, 86},
    {kStartButton, K::kPushButton, "Start", 14, 249, 50, 14},
    {kStopButton, K::kPushButton, "Stop", 69, 249, 50, 14},
    {kExitButton, K::kPushButton, "Exit", 259, 249, 50, 14},
    {kMakerLabel, K::kLabel, "", 175, 248, 35, 8},
    {kCreditsLine, K::kCentredLabel, "", 121, 258, 135, 8},
};

constexpr int kTabOrder[] = {
    kStartButton,        kExitButton,    kStopButton,      kRstEqDstBox, kSortBlocksBox,
    kCheckSimilarityBox, kDebugInfoBox,  kAutoBox,         kLenRate,     kSimRate,
    kSourceFile,         kBrowseSource,  kDestFile,        kBrowseDest,  kKeywordsFile,
    kBrowseKeywords,     kLogFile,       kBrowseLog,       kRestFile,    kBrowseRest,
    kDoublesFile,        kBrowseDoubles, kAutoNamesButton, kAutoNumber,  kSimilarField,
    kHelpButton,
};

}  // namespace

std::span<const ControlTemplate> main_dialog_template() { return kMainTemplate; }

std::span<const int> main_dialog_tab_order() { return kTabOrder; }

DialogUnits::DialogUnits(const QFont& font) {
  // The average width of the Latin letters, rounded, as the classic dialog
  // manager measures a dialog font.
  QFontMetrics metrics(font);
  int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  char_width_ = (letters / 26 + 1) / 2;
  if (char_width_ < 1) char_width_ = 1;
  char_height_ = metrics.height();
  if (char_height_ < 1) char_height_ = 1;
}

QRect DialogUnits::rect(int x, int y, int width, int height) const {
  return QRect(to_x(x), to_y(y), to_x(width), to_y(height));
}

}  // namespace karvel::app
