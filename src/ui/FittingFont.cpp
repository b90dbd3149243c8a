#include "FittingFont.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace {

bool allFit(const QFont& font, const QList<TextRoom>& texts) {
    const QFontMetrics metrics(font);
    for (const TextRoom& t : texts) {
        if (metrics.horizontalAdvance(t.text) > t.room)
            return false;
    }
    return true;
}

} // namespace

QFont fontFitting(QFont font, const QList<TextRoom>& texts, double smallestPoints) {
    while (font.pointSizeF() > smallestPoints && !allFit(font, texts))
        font.setPointSizeF(font.pointSizeF() - 0.25);
    return font;
}

QList<TextRoom> entriesAndRoom(const QComboBox* box) {
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    option.frame = box->hasFrame();
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxEditField, box);
    // Both the box's own label and its line edit keep one pixel clear on either side.
    const int room = field.width() - 2;
    QList<TextRoom> entries;
    for (int i = 0; i < box->count(); ++i)
        entries.append({box->itemText(i), room});
    return entries;
}
