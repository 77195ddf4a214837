#pragma once
// Page pictures of the imaging library as Qt images.

#include <QImage>

#include "imaging/Picture.h"

namespace vellumark::viewer {

// Wraps the picture's pixels without copying them (Format_RGB888, or Format_Grayscale8 for a
// one-channel picture); the image owns them from
// now on. An empty picture gives a null image. Any thread.
QImage ToQImage(imaging::Picture&& picture);

}  // namespace vellumark::viewer
