#pragma once
// The pictures of the message kinds, drawn at run time so no image files ship with the program.
#include <cstdint>

#include <QPixmap>

namespace orbelan {

// Warning: yellow triangle with "!"; error: red disc with a cross; information: blue disc
// with "i"; confirmation: blue disc with "?". An unknown kind gets the error picture.
QPixmap DrawKindIcon(uint8_t kind, int size = 32);

// The column chooser's picture: a small table with one column picked out.
QPixmap DrawColumnIcon(int size = 41);

}  // namespace orbelan
