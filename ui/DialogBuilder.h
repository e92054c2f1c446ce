// Creates a dialog's child widgets from its template, at their pixel rectangles.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

#include "DialogTemplates.h"

struct BuiltDialog {
    std::map<int, QWidget*> byId;   // controls with an id other than kNoControlId
    std::vector<QWidget*> inOrder;  // every control, in template (and tab) order
    const DialogTemplate* source = nullptr;
    DialogBaseUnits units = kTemplateBaseUnits;  // of the last placement
};

// Returns the widget for a control, parented to `parent`, or nullptr for the default widget.
// The builder then places it, applies the template's visibility, enabled state and focus policy.
using ControlFactory = std::function<QWidget*(const ControlTemplate& control, QWidget& parent)>;

// Gives the dialog its title, button-face background and window flags (title bar and close
// button; no minimise, maximise or resizing), then creates the controls and places them
// (PlaceControls). Buttons with ids kIdOk and kIdCancel end the dialog with accept() and
// reject(). Statics and group boxes take no mouse input, so clicks on them reach the dialog.
BuiltDialog BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate,
                        const ControlFactory& factory = {});

// Takes the base units of the dialog's font (fitted to its screen's free room), fixes the
// dialog's client size and puts every control that is still the dialog's own child at its
// place; a picture of fixed size keeps it, centred in its place.
void PlaceControls(QDialog& dialog, BuiltDialog& built);

// A rectangle of the template in pixels, at the units of the last placement.
QRect PlaceInPixels(const BuiltDialog& built, const DialogUnitRect& rect);

// The default widget for a control kind, before placement: QLabel (picture, icon, text),
// QProgressBar, QLineEdit or QPlainTextEdit, QPushButton, and for group boxes a QGroupBox when
// titled, otherwise an etched QFrame.
QWidget* CreateDefaultControl(const ControlTemplate& control, QWidget& parent);

// A template's text as written (resource numbers included), and as the user reads it.
QString TemplateText(const char16_t* text);
QString ShownTemplateText(const char16_t* text);

// Registers the compiled-in resources (bitmaps, icons). They sit in a static library, where
// nothing else would pull them into the program; the first caller does the work.
void EnsureCompiledResources();

// Every ":/icons/<iconId>/*.png" as one icon, its sizes side by side; null when there is none.
QIcon LoadIconResource(int iconId);

class QPushButton;
// The smallest size at which a button shows its whole text in its current font and style.
QSize ButtonSizeForText(const QPushButton& button);
