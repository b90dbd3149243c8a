#include "ComboText.h"

#include <QComboBox>

bool setComboText(QComboBox* box, const QString& text) {
    const int index = box->findText(text, Qt::MatchExactly);
    if (index >= 0)
        box->setCurrentIndex(index); // an editable box shows the entry's text as well
    else if (box->isEditable())
        box->setEditText(text);
    else
        return false;
    return true;
}
