#include "GUI2/wiz_imgs.h"

#include <QPainter>
#include <QSvgRenderer>

// The images live in the static library's resources, which the linker keeps
// only when something refers to them.
static void load_wizard_resources() { Q_INIT_RESOURCE(dmwwiz); }

namespace {
QString image_path(int resource_id) {
  static const bool loaded = (load_wizard_resources(), true);
  (void)loaded;
  switch (resource_id) {
    case 501: return QStringLiteral(":/dmwwiz/images/icon.svg");
    case 311: return QStringLiteral(":/dmwwiz/images/watermark.svg");
    case 312: return QStringLiteral(":/dmwwiz/images/header.svg");
    default:
      // The eight frames of the connection wait box.
      if (resource_id >= 502 && resource_id <= 509)
        return QStringLiteral(":/dmwwiz/images/connect%1.svg").arg(resource_id - 501);
      return {};
  }
}
}  // namespace

QSize wizard_image_size(int resource_id) {
  const QString path = image_path(resource_id);
  if (path.isEmpty()) return {};
  return QSvgRenderer(path).defaultSize();
}

QPixmap wizard_image(int resource_id, QSize size) {
  const QString path = image_path(resource_id);
  if (path.isEmpty()) return {};
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter);
  return pixmap;
}

QIcon wizard_icon() {
  QIcon icon;
  for (int side : {16, 24, 32, 48, 64, 128}) icon.addPixmap(wizard_image(501, QSize(side, side)));
  return icon;
}
