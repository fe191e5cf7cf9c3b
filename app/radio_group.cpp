#include "app/radio_group.h"

#include <QGroupBox>
#include <QRadioButton>

namespace {
QRadioButton* Item(const QGroupBox* gruppe, int index) {
    return gruppe->findChild<QRadioButton*>(gruppe->objectName() + "_Item" + QString::number(index),
                                            Qt::FindDirectChildrenOnly);
}
}  // namespace

int RadioGroup_ItemIndex(const QGroupBox* gruppe) {
    for (int i = 0;; ++i) {
        QRadioButton* knopf = Item(gruppe, i);
        if (!knopf) return -1;
        if (knopf->isChecked()) return i;
    }
}

void RadioGroup_SetItemIndex(QGroupBox* gruppe, int index) {
    for (int i = 0;; ++i) {
        QRadioButton* knopf = Item(gruppe, i);
        if (!knopf) return;
        // Exclusive buttons cannot all be unchecked; lift that for a moment.
        knopf->setAutoExclusive(false);
        knopf->setChecked(i == index);
        knopf->setAutoExclusive(true);
    }
}
