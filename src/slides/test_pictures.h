#pragma once
// Two pictures that tell every transition apart at a glance: neither is symmetric, so a mirrored,
// turned or misplaced part shows. Used by the contact sheet and the benchmarks.

#include <QImage>
#include <QSize>

namespace tambrel {

// The picture a transition starts from (blue, a grid, "A" at the top left) and the one it ends on
// (orange, stripes, "B" at the top left, a disc near the bottom right). Format_RGB32.
QImage OldTestPicture(QSize size);
QImage NewTestPicture(QSize size);

}  // namespace tambrel
