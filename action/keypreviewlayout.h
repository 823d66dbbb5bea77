#pragma once
// Where the keys sit on the key layout picture (action 111): the picture
// ":/image/tablet/Pre_Keypad_H_<keys>.png", drawn at build time, and the window that
// writes each key's action on it share these rectangles. 800 x 450 pixels; the band
// above the pad is left for the title and the close button.

#include <QRectF>
#include <QVector>

namespace KeyPreviewLayout {

constexpr int kWidth = 800;
constexpr int kHeight = 450;
constexpr int kTitleBand = 40;

// The pad's outline.
QRectF Pad();
// The key rectangles, key 1 first, in rows of at most six (keyCount 1..40; none else).
QVector<QRectF> Keys(int keyCount);

} // namespace KeyPreviewLayout
