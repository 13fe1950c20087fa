#pragma once
// The images of the tree-list view, drawn here since the program ships no bitmaps:
// the row images (16 x 17), the state images (1 off, 3 on) and the sort marks
// (0 ascending, 1 descending). Indexes are those the rows and the header use.
#include <QPixmap>
#include <QVector>

namespace TreeList {

QVector<QPixmap> MakeRowImages();
QVector<QPixmap> MakeStateImages();
QVector<QPixmap> MakeMarkImages();

}  // namespace TreeList
