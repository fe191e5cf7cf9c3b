#pragma once

#include <QString>

// The width a top-level window needs so that the window manager shows its
// whole title: the caption in the title font, bold as title bars draw it,
// and room for the frame's icon and buttons beside it.
int Titelbreite(const QString& titel);
