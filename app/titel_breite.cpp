#include "app/titel_breite.h"

#include <QFontDatabase>
#include <QFontMetrics>

int Titelbreite(const QString& titel) {
    // The window manager draws the title in its own font, which no protocol
    // tells us; the platform's title font, bold, is at least as wide on the
    // usual desktops. Beside the label sit the window icon, up to three
    // buttons and their padding: five squares as tall as the title bar.
    QFont schrift = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    schrift.setBold(true);
    const QFontMetrics fm(schrift);
    const int leiste = fm.height() + 8;
    return fm.horizontalAdvance(titel) + 5 * leiste;
}
