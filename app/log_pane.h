#pragma once

#include <QColor>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <string>
#include <vector>

class QPlainTextEdit;
class QTextDocument;

// Colours of the log lines.
constexpr uint32_t kSchwarz = 0x000000;
constexpr uint32_t kBlau = 0x0000FF;
constexpr uint32_t kRot = 0xFF0000;
constexpr uint32_t kGrau = 0x808080;

// The read-only log pane: plain lines, each in the colour selected when it
// was appended. Lines queue in order and go in together, with one edit and
// one scroll, at screen rate: one edit per line would cost the window more
// than the wire takes to carry the line. Reading the pane back (Zeilenzahl,
// Dokument, Ausgeben) puts everything queued in first. Window's thread only.
class LogPane {
public:
    // Lines kept; the oldest go beyond it. A long session would otherwise
    // slow every append as the document grows.
    static constexpr int kMaxZeilen = 100000;
    static constexpr int kTaktMs = 40;

    explicit LogPane(QPlainTextEdit* edit);

    void Leeren();
    void Farbe(uint32_t rgb) { farbe_ = rgb; }
    void Zeile(const std::string& text);

    // Everything queued into the pane now.
    void Ausgeben();
    int Zeilenzahl();
    const QTextDocument& Dokument();
    QPlainTextEdit* Edit() const { return edit_; }

    // Our own texts are UTF-8; bytes from the wire or from operator files
    // that are not valid UTF-8 are read as 8-bit Latin-1.
    static QString Dekodieren(const std::string& text);

private:
    struct Wartend {
        std::string text;
        uint32_t farbe;
    };

    QPlainTextEdit* edit_;
    QTimer takt_;
    uint32_t farbe_ = kSchwarz;
    std::vector<Wartend> wartend_;
    bool leeren_ = false;
    int zeilen_ = 0;  // in the document; it cannot tell one empty line from none
};
