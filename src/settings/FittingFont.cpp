#include "settings/FittingFont.h"

#include <QFontMetrics>

namespace kelvo {
namespace {

constexpr double kSmallestPoints = 6.0;
constexpr double kStepPoints = 0.5;

bool Fits(const QFont& font, const std::vector<TextBox>& boxes)
{
    const QFontMetrics metrics(font);
    for (const TextBox& box : boxes) {
        QString text = box.text;
        text.remove(QLatin1Char('&'));
        const int flags = box.wraps ? Qt::TextWordWrap : Qt::TextSingleLine;
        const QRect needed = metrics.boundingRect(QRect(QPoint(0, 0), box.size), flags, text);
        if (needed.width() > box.size.width() || needed.height() > box.size.height()) return false;
    }
    return true;
}

}  // namespace

QFont FittingFont(const QFont& base, const std::vector<TextBox>& boxes)
{
    QFont font = base;
    const double start = base.pointSizeF() > 0 ? base.pointSizeF() : 9.0;
    for (double points = start; points >= kSmallestPoints; points -= kStepPoints) {
        font.setPointSizeF(points);
        for (const int stretch : {int(QFont::Unstretched), int(QFont::Condensed)}) {
            font.setStretch(stretch);
            if (Fits(font, boxes)) return font;
        }
    }
    return font;
}

}  // namespace kelvo
