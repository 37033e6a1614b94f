#pragma once
// One frame of a picture transition as a pure function of (old picture, new picture, style, progress,
// step, reverse). Both pictures are Format_RGB32 images of one size (the control's). At progress 0
// the frame is the old picture, at 100 the new one. With reverse the old picture is drawn over the new
// one through the style's shape, so that a transition run from 100 down to 0 ends on the new picture.

#include <QImage>

namespace tambrel {

QImage RenderTransitionFrame(const QImage& oldImage, const QImage& newImage, int style, int progress,
                             int step, bool reverse);

// The same into frame, which is reused when it has the pictures' size and format.
void RenderTransitionFrameInto(QImage& frame, const QImage& oldImage, const QImage& newImage, int style,
                               int progress, int step, bool reverse);

}  // namespace tambrel
