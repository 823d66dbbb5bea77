#include "action/keypreviewlayout.h"

#include <algorithm>

namespace KeyPreviewLayout {

namespace {
constexpr int kMaxKeys = 40;
constexpr int kMaxColumns = 6;
constexpr qreal kPadding = 18;
constexpr qreal kGap = 10;
} // namespace

QRectF Pad()
{
    return QRectF(10, kTitleBand, kWidth - 20, kHeight - kTitleBand - 10);
}

QVector<QRectF> Keys(int keyCount)
{
    QVector<QRectF> keys;
    if (keyCount < 1 || keyCount > kMaxKeys)
        return keys;
    const int rows = (keyCount + kMaxColumns - 1) / kMaxColumns;
    const int columns = (keyCount + rows - 1) / rows; // rows as even as they go
    const QRectF area = Pad().adjusted(kPadding, kPadding, -kPadding, -kPadding);
    const qreal width = (area.width() - (columns - 1) * kGap) / columns;
    const qreal height = std::min<qreal>((area.height() - (rows - 1) * kGap) / rows, width);
    const qreal top = area.top() + (area.height() - rows * height - (rows - 1) * kGap) / 2;
    for (int k = 0; k < keyCount; ++k) {
        const int row = k / columns;
        const int column = k % columns;
        keys << QRectF(area.left() + column * (width + kGap), top + row * (height + kGap), width, height);
    }
    return keys;
}

} // namespace KeyPreviewLayout
