#include "app/log_pane.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

LogPane::LogPane(QPlainTextEdit* edit) : edit_(edit) {
    // Nobody edits the pane: an undo record per line would only grow.
    edit_->setUndoRedoEnabled(false);
    edit_->setMaximumBlockCount(kMaxZeilen);
    takt_.setSingleShot(true);
    takt_.setInterval(kTaktMs);
    QObject::connect(&takt_, &QTimer::timeout, edit_, [this] { Ausgeben(); });
}

void LogPane::Leeren() {
    wartend_.clear();
    leeren_ = true;
    if (!takt_.isActive()) takt_.start();
}

void LogPane::Zeile(const std::string& text) {
    wartend_.push_back({text, farbe_});
    if (!takt_.isActive()) takt_.start();
}

void LogPane::Ausgeben() {
    takt_.stop();
    if (leeren_) {
        edit_->clear();
        zeilen_ = 0;
        leeren_ = false;
    }
    if (wartend_.empty()) return;
    QTextCursor cursor(edit_->document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    for (const Wartend& z : wartend_) {
        format.setForeground(QColor::fromRgb(z.farbe));
        if (zeilen_++ > 0) cursor.insertBlock();
        cursor.insertText(Dekodieren(z.text), format);
    }
    cursor.endEditBlock();
    zeilen_ = std::min(zeilen_, kMaxZeilen);
    wartend_.clear();
    edit_->verticalScrollBar()->setValue(edit_->verticalScrollBar()->maximum());
}

int LogPane::Zeilenzahl() {
    Ausgeben();
    return zeilen_;
}

const QTextDocument& LogPane::Dokument() {
    Ausgeben();
    return *edit_->document();
}

QString LogPane::Dekodieren(const std::string& text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (!utf8.hasError()) return s;
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
