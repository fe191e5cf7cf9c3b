#include "app/qt_dialogs.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include "app/fenster_bruecke.h"
#include "app/titel_breite.h"

namespace {

// A box sizes itself to its text alone; under a window manager a short
// text then leaves its title cut ("P…e"). A spacer across the box's grid
// makes it as wide as the title needs, and the texts stay as they are.
void TitelPlatzGeben(QMessageBox& box) {
    auto* gitter = qobject_cast<QGridLayout*>(box.layout());
    if (!gitter) return;
    const QMargins rand = gitter->contentsMargins();
    const int breite = Titelbreite(box.windowTitle()) - rand.left() - rand.right();
    gitter->addItem(new QSpacerItem(breite, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), gitter->rowCount(), 0, 1,
                    gitter->columnCount());
}

}  // namespace

int QtDialogs::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    return bruecke_.Get<int>([&] {
        // Warning and exclamation are one icon here, as on the system the boxes come from.
        (void)icon;
        QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                        QMessageBox::Ok);
        TitelPlatzGeben(box);
        box.exec();
        return kMessageResultOk;
    });
}
