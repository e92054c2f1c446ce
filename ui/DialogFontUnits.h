// Dialog base units from the dialog's font, limited to what the screen can hold.
#pragma once

#include <QSize>

#include "DialogTemplates.h"

class QFont;

// The size of the font the templates' places were made for (Qt's own default on this platform):
// at it, and below it, a dialog keeps its template's pixels.
constexpr double kDefaultFontPointSize = 9.0;

// The template's base units grown by how much the font's average character width (a rounded
// 52nd of the letters A-Z and a-z) and height exceed those of its family at the default size.
DialogBaseUnits BaseUnitsForFont(const QFont& font);

// The units reduced, keeping their proportion, so that a dialog of `dialogRect` fits in `room`;
// as they were when it already fits or when room is empty (no screen known).
DialogBaseUnits FitBaseUnitsToRoom(const DialogBaseUnits& units, const DialogUnitRect& dialogRect,
                                   QSize room);
