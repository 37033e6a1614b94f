#pragma once
// Reads a slide picture with Qt's image reader: the EXIF orientation is applied, and a picture that
// will be shown smaller is decoded at the size it is shown (a JPEG then decodes at a fraction of the
// cost). Photographs up to about 100 megapixels are within the reader's allocation limit.

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

namespace tambrel {

struct TLoadedPicture {
  QImage Image;
  QString Error;  // names the file and the reader's reason; empty on success
};

// shownSize gives, for the picture's size (as oriented), the size it will be drawn at.
TLoadedPicture LoadSlidePicture(const QString& path, const std::function<QSize(QSize)>& shownSize);

// The file extensions the image reader knows, lower case, without the dot.
QStringList PictureExtensions();

}  // namespace tambrel
