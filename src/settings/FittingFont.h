// A font for a form laid out in fixed sizes: the desktop's font, made
// smaller (and narrower) until every text fits the box the design gives it.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include <vector>

namespace kelvo {

struct TextBox {
    QString text;  // "&" marks a mnemonic, which takes no room
    QSize size;
    bool wraps = false;
};

// The largest of the base font's sizes (in half points, down to 6 points),
// normal width before condensed, at which every box holds its text; the
// smallest tried when none does.
QFont FittingFont(const QFont& base, const std::vector<TextBox>& boxes);

}  // namespace kelvo
