// The fixed texts of the dialog that take no part in a run: the credits
// line's seven entries, the maker's label, the About box's lines and the
// lines of the Help text.

#ifndef KARVEL_APP_DIALOG_TEXTS_H_
#define KARVEL_APP_DIALOG_TEXTS_H_

#include <span>

namespace karvel::app {

// The credits line cycles through these, in this order.
std::span<const char* const> credit_lines();

// The text the credits line shows when the dialog opens: the fifth entry.
inline constexpr int kFirstCreditShown = 4;

// Label 1049.
extern const char* const kMakerLabelText;

// The About box.
extern const char* const kAboutCaption;
extern const char* const kAboutVersionLine;
extern const char* const kAboutSecondLine;

// The item of the dialog's context menu that opens the About box, and its
// command number.
extern const char* const kAboutMenuText;
inline constexpr int kAboutCommand = 16;

// The checkable item of the dialog's context menu that lifts the size limit
// of the themes searched for similar blocks, for the runs to come.
extern const char* const kAnySizeMenuText;

// The six lines of the Help text, in order.
std::span<const char* const> help_lines();

}  // namespace karvel::app

#endif  // KARVEL_APP_DIALOG_TEXTS_H_
