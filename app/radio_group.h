#pragma once

class QGroupBox;

// A group box with radio buttons named <group>_Item0, _Item1, ... behaves
// as one radio group with an item index; -1 means nothing selected.
int RadioGroup_ItemIndex(const QGroupBox* gruppe);
void RadioGroup_SetItemIndex(QGroupBox* gruppe, int index);
