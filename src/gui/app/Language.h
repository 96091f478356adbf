#pragma once
// The language of the desktop program: Chinese (the texts in the source) or
// English (the translation beside the program).
#include <QString>
#include <string_view>

namespace varnel {

// "en" when the locale's messages are English (LANG=en_*, as varnelctl
// decides), else "zh".
QString LanguageFromLocale();

// Installs the translations of `language` ("zh" or "en"), replacing those of
// an earlier call: for "en" the program's varnel_en.qm from `folder`; for "zh"
// the toolkit's own Chinese texts (its dialogs and buttons); any other value
// only removes them. False when nothing was loaded (the texts then stay as
// they are in the source).
bool InstallLanguage(const QString& language, const QString& folder);

// True while the English translation is installed.
bool EnglishShown();

// A text of the core library (a message, a caption, a catalogue name, a word
// of the picture) as the program shows it: its English from the core's table
// of texts in the English interface, else the text itself.
QString Shown(std::string_view text);

}  // namespace varnel
