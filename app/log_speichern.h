#pragma once

#include <QObject>
#include <QString>

class LogPane;
class QMenu;
class QPlainTextEdit;
class QPoint;
class QTextDocument;

// "Protokoll speichern …" in the log pane's context menu: the pane as it
// stands, as text (control characters by name, as shown) or as HTML with
// the lines' colours, for a colleague or a test record. Reads the pane's
// document itself, however its lines got there, once the lines still
// queued for it are in.
class LogSpeichern : public QObject {
    Q_OBJECT
public:
    explicit LogSpeichern(LogPane& log);

    static QString AlsText(const QTextDocument& doc);
    static QString AlsHtml(const QTextDocument& doc);

    // Writes the pane to the file whole or not at all; false on failure.
    bool Speichern(const QString& datei, bool html) const;

    // The pane's usual context menu with the save entry added (caller owns it).
    QMenu* Menue(const QPoint& pos) const;

private:
    void Fragen() const;

    LogPane& log_;
    QPlainTextEdit* pane_;
};
