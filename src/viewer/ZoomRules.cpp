#include "viewer/ZoomRules.h"

namespace vellumark::viewer {

// The comparisons are deliberately asymmetric; plain double arithmetic brings a scale that went
// down in tenths back to exactly 1.0 on the way up.
double ZoomInStep(double scale) {
    if (scale >= 1 && scale < 9) {
        return scale + 1;
    }
    if (scale < 1 && scale > 0.15) {
        return scale + 0.1;
    }
    return scale;
}

double ZoomOutStep(double scale) {
    if (scale > 1 && scale < 10) {
        return scale - 1;
    }
    if (scale <= 1 && scale > 0.25) {
        return scale - 0.1;
    }
    return scale;
}

}  // namespace vellumark::viewer
