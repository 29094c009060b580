// The dialog's fixed texts.

#include "app/dialog_texts.h"

namespace karvel::app {

namespace {

constexpr const char* kCreditLines[] = {
    "Karvel project contributors",        "Maintained by the Karvel developers",
    "https://karvel.example.org/",        "https://karvel.example.org/manual/",
    "https://karvel.example.org/themes/", "https://git.karvel.example.org/karvel/",
    "https://lists.karvel.example.org/",
};

constexpr const char* kHelpLines[] = {
    "====================================================",
    "Karvel ver. 5.0 - sorting big text files by themes",
    "Contact authors in case of problems when using it.",
    "Mail: team@karvel.example.org",
    "Web:  https://karvel.example.org/support/",
    "See karvel.txt file for more information",
};

}  // namespace

std::span<const char* const> credit_lines() { return kCreditLines; }

std::span<const char* const> help_lines() { return kHelpLines; }

const char* const kMakerLabelText = "Karvel";
const char* const kAboutCaption = "About Karvel";
const char* const kAboutVersionLine = "Karvel Version 4.0";
const char* const kAboutSecondLine = "By the Karvel project contributors";
const char* const kAboutMenuText = "&About Karvel...";
const char* const kAnySizeMenuText = "&Search themes of any size for similar blocks";

}  // namespace karvel::app
