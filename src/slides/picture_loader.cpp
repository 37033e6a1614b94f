#include "slides/picture_loader.h"

#include <QImageIOHandler>
#include <QImageReader>

namespace tambrel {

namespace {

// 100 megapixels of 32-bit pixels, with room to spare.
constexpr int AllocationLimitMb = 512;

}  // namespace

TLoadedPicture LoadSlidePicture(const QString& path, const std::function<QSize(QSize)>& shownSize) {
  if (QImageReader::allocationLimit() < AllocationLimitMb)
    QImageReader::setAllocationLimit(AllocationLimitMb);
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QSize stored = reader.size();
  if (stored.isValid() && shownSize) {
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize oriented = turned ? stored.transposed() : stored;
    const QSize shown = shownSize(oriented);
    if (!shown.isEmpty() && shown.width() < oriented.width() && shown.height() < oriented.height()) {
      reader.setScaledSize(turned ? shown.transposed() : shown);
    }
  }
  TLoadedPicture loaded;
  loaded.Image = reader.read();
  if (loaded.Image.isNull()) {
    loaded.Error = QString("Cannot load picture \"%1\": %2").arg(path, reader.errorString());
  }
  return loaded;
}

QStringList PictureExtensions() {
  QStringList extensions;
  for (const QByteArray& format : QImageReader::supportedImageFormats()) {
    extensions.push_back(QString::fromLatin1(format).toLower());
  }
  return extensions;
}

}  // namespace tambrel
