// The window's own texts in the user's language, and Qt's for the buttons it draws itself.
#pragma once

#include <QString>

// The text, given in English (UTF-8), as the user's language has it.
QString UiText(const char* english);
// The same for a text that reaches the window as a QString (a dialog template's).
QString UiText(const QString& english);

// Loads Qt's own translation (Yes, No, OK, Close in message boxes) for the language our texts
// are in, so a box never mixes two languages; none while our texts stay English. Call once the
// application exists; a later call replaces the earlier one's.
void InstallQtTranslations();
