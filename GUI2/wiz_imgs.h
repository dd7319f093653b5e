#pragma once
// The product's own images, drawn as SVG and rendered by Qt at the size the
// sheet asks for: the icon (501), the watermark of the exterior pages (311),
// the header image of the interior pages (312) and the eight frames of the
// connection wait box (502 to 509).
#include <QIcon>
#include <QPixmap>
#include <QSize>

// Null when the id names no image of ours.
QPixmap wizard_image(int resource_id, QSize size);
// The natural size of an image; empty for an unknown id.
QSize wizard_image_size(int resource_id);
QIcon wizard_icon();
