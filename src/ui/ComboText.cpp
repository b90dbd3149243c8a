#include "ComboText.h"

#include <QComboBox>

bool setComboText(QComboBox* box, const QString& text) {
    const int index = box->findText(text, Qt::MatchExactly);
    if (index >= 0) {
        box->setCurrentIndex(index);
        if (box->isEditable())
            box->setEditText(text);
        return true;
    }
    if (!box->isEditable())
        return false;
    box->setEditText(text);
    return true;
}
