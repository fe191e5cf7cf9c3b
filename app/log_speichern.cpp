#include "app/log_speichern.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>

#include "app/log_pane.h"
#include "common/dialog.h"

namespace {
const char* const kEintrag = "Protokoll speichern …";
const char* const kTextFilter = "Text (*.txt)";
const char* const kHtmlFilter = "HTML (*.html *.htm)";
}  // namespace

LogSpeichern::LogSpeichern(LogPane& log) : QObject(log.Edit()), log_(log), pane_(log.Edit()) {
    pane_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pane_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QMenu* menue = Menue(pos);
        menue->exec(pane_->viewport()->mapToGlobal(pos));
        delete menue;
    });
}

QMenu* LogSpeichern::Menue(const QPoint& pos) const {
    QMenu* menue = pane_->createStandardContextMenu(pos);
    menue->addSeparator();
    QAction* speichern = menue->addAction(QString::fromUtf8(kEintrag));
    connect(speichern, &QAction::triggered, this, [this] { Fragen(); });
    return menue;
}

void LogSpeichern::Fragen() const {
    QString filter;
    QString datei = QFileDialog::getSaveFileName(pane_->window(), "Protokoll speichern",
                                                 QDir::current().filePath("protokoll.txt"),
                                                 QString(kTextFilter) + ";;" + kHtmlFilter, &filter);
    if (datei.isEmpty()) return;
    const bool html = filter == kHtmlFilter || datei.endsWith(".html", Qt::CaseInsensitive) ||
                      datei.endsWith(".htm", Qt::CaseInsensitive);
    if (!Speichern(datei, html))
        ShowMessage("Die Datei '" + datei.toStdString() + "' kann nicht geschrieben werden.", "Pelto-Befehle",
                    MessageIcon::Warning);
}

bool LogSpeichern::Speichern(const QString& datei, bool html) const {
    QSaveFile out(datei);
    if (!out.open(QIODevice::WriteOnly)) return false;
    const QTextDocument& doc = log_.Dokument();
    out.write((html ? AlsHtml(doc) : AlsText(doc)).toUtf8());
    return out.commit();
}

QString LogSpeichern::AlsText(const QTextDocument& doc) {
    QString text;
    if (doc.isEmpty()) return text;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) text += b.text() + '\n';
    return text;
}

QString LogSpeichern::AlsHtml(const QTextDocument& doc) {
    QString html = "<!DOCTYPE html>\n<html>\n<head><meta charset=\"utf-8\"><title>Protokoll</title></head>\n"
                   "<body>\n<pre>\n";
    for (QTextBlock b = doc.begin(); b.isValid() && !doc.isEmpty(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            html += QString("<span style=\"color:%1\">%2</span>")
                        .arg(f.charFormat().foreground().color().name(), f.text().toHtmlEscaped());
        }
        html += '\n';
    }
    return html + "</pre>\n</body>\n</html>\n";
}
