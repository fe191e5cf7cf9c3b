#include "app/anwendung.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace {
constexpr const char* kAnwendungstitel = "Pelto-befehle";
constexpr int kFormSchrift = 10;  // pixels
}  // namespace

QString Schriftfamilie() { return QStringLiteral(PELTO_FONT_FAMILY); }

void Anwendung_einrichten() {
    // The class part of WM_CLASS. No display name: Qt would add it to
    // every title the system shows.
    QApplication::setApplicationName(kAnwendungstitel);
    QApplication::setStyle("Fusion");
    // Loaded from its files, so a look-alike can never stand in unnoticed.
    static const bool geladen = [] {
        for (const QString& datei : QString(PELTO_FONT_FILES).split(':', Qt::SkipEmptyParts))
            QFontDatabase::addApplicationFont(datei);
        return true;
    }();
    (void)geladen;
    QFont schrift(Schriftfamilie());
    schrift.setPixelSize(kFormSchrift);
    QApplication::setFont(schrift);
}
