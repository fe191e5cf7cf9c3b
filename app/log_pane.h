#pragma once

#include <QColor>
#include <QString>

#include <cstdint>
#include <string>

class QPlainTextEdit;

// Colours of the log lines.
constexpr uint32_t kSchwarz = 0x000000;
constexpr uint32_t kBlau = 0x0000FF;
constexpr uint32_t kRot = 0xFF0000;
constexpr uint32_t kGrau = 0x808080;

// The read-only log pane: plain lines, each in the colour selected when it
// was appended. Window's thread only.
class LogPane {
public:
    explicit LogPane(QPlainTextEdit* edit);

    void Leeren();
    void Farbe(uint32_t rgb) { farbe_ = QColor::fromRgb(rgb); }
    void Zeile(const std::string& text);
    int Zeilenzahl() const { return zeilen_; }

    // Our own texts are UTF-8; bytes from the wire or from operator files
    // that are not valid UTF-8 are read as 8-bit Latin-1.
    static QString Dekodieren(const std::string& text);

private:
    QPlainTextEdit* edit_;
    QColor farbe_;
    int zeilen_ = 0;  // the document cannot tell one empty line from none
};
