// The application's name (the caption of every message box) and its icon.
#pragma once

#include <QIcon>
#include <QString>

// The executable's file name without its extension, so a renamed binary shows its new name.
QString ApplicationName();

// Icon group 201 in all its sizes; empty when the artwork is missing.
QIcon ApplicationIcon();
