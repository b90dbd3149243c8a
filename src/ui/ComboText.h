#pragma once

#include <QString>

class QComboBox;

// Sets a setting field's text as the program would type it. A box that only offers its list
// takes only one of its entries: any other text is refused (false) and the box is unchanged.
bool setComboText(QComboBox* box, const QString& text);
