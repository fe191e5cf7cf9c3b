#include "app/log_pane.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>

LogPane::LogPane(QPlainTextEdit* edit) : edit_(edit), farbe_(Qt::black) {}

void LogPane::Leeren() {
    edit_->clear();
    zeilen_ = 0;
}

void LogPane::Zeile(const std::string& text) {
    QTextCharFormat format;
    format.setForeground(farbe_);
    QTextCursor cursor(edit_->document());
    cursor.movePosition(QTextCursor::End);
    if (zeilen_++ > 0) cursor.insertBlock();
    cursor.insertText(Dekodieren(text), format);
    edit_->verticalScrollBar()->setValue(edit_->verticalScrollBar()->maximum());
}

QString LogPane::Dekodieren(const std::string& text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (!utf8.hasError()) return s;
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
