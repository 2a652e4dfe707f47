#ifndef ZEQ_FORMATS_GEOMETRY_DXF_KDXFCOLORS_H
#define ZEQ_FORMATS_GEOMETRY_DXF_KDXFCOLORS_H

#include "base/kzeqvector.h"

namespace zeqsdk_400 {

// The colour of an AutoCAD colour index from 1 to 255: red, green and blue
// of color are set (alpha untouched). False, with color unchanged, for any
// other number.
bool TranslateColor(int index, KZeqColor& color);

// The index whose colour lies nearest: exact matches of 1 to 9 and black
// first, greys by their mean, other colours by hue and shade. Every index
// from 8 to 255 comes back from its own colour but those equal to 1 to 7.
int GetACIFromZEQColor(const KZeqColor& color);

}  // namespace zeqsdk_400

#endif
