#include "app/qt_dialogs.h"

#include <QMessageBox>

#include "app/fenster_bruecke.h"

int QtDialogs::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    return bruecke_.Get<int>([&] {
        QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Critical,
                        QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok);
        box.exec();
        return kMessageResultOk;
    });
}
