#include "app/qt_dialogs.h"

#include <QMessageBox>

#include "app/fenster_bruecke.h"

int QtDialogs::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    return bruecke_.Get<int>([&] {
        // Warning and exclamation are one icon here, as on the system the boxes come from.
        (void)icon;
        QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                        QMessageBox::Ok);
        box.exec();
        return kMessageResultOk;
    });
}
