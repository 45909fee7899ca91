#include "WindowMath.h"

namespace toolfunc_detail {

void CentredOrigin(PlainRect area, long width, long height, long& x, long& y) {
    if (area.bottom != 0 && area.right / area.bottom > 1) area.right /= 2;
    x = (area.left + area.right) / 2 - width / 2;
    y = (area.top + area.bottom) / 2 - height / 2;
}

}  // namespace toolfunc_detail
