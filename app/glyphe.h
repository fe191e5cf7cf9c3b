#pragma once

#include <QIcon>
#include <QString>

// A button glyph with its two states, drawn from the program's own SVGs at
// the given size (device pixels follow the screen's ratio).
QIcon Glyphe(const QString& normal, const QString& gesperrt, int groesse);
