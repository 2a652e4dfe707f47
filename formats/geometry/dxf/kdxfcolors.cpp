#include "formats/geometry/dxf/kdxfcolors.h"

namespace zeqsdk_400 {

namespace {

struct Rgb {
    double mRed, mGreen, mBlue;
};

// Indices 1 to 9, then black, which the index table gives as 250 and the
// colours back as themselves.
const Rgb kFixed[] = {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1},
                      {0.502, 0.502, 0.502}, {0.753, 0.753, 0.753}};

// Indices 10 to 249 in three ranges of eight hues, each hue ten indices:
// even ones the hue at five shades, odd ones half way to white.
const int kRangeStart[3] = {10, 90, 170};
const int kLarge[8] = {4, 4, 4, 4, 4, 3, 2, 1};  // steps of a quarter
const int kSmall[8] = {0, 1, 2, 3, 4, 4, 4, 4};
const double kShade[5] = {1.0, 0.65, 0.5, 0.3, 0.15};

// The hue bases by how far the middle channel rises towards the largest:
// rows for above 0.625, 0.375 and 0.125 of the way, columns for (largest,
// middle) = (red, green), (red, blue), (green, red), (green, blue), (blue,
// red), (blue, green).
const double kHueSteps[3] = {0.625, 0.375, 0.125};
const int kHueBase[3][6] = {{40, 220, 60, 120, 200, 140}, {30, 230, 70, 110, 190, 150}, {20, 240, 80, 100, 180, 160}};

// Greys 250 to 255 by the mean of the channels.
const double kGreyLimits[5] = {0.4, 0.53, 0.66, 0.8, 0.93};

}  // namespace

bool TranslateColor(int index, KZeqColor& color) {
    double rgb[3];
    if (index >= 1 && index <= 9) {
        const Rgb& fixed = kFixed[index - 1];
        rgb[0] = fixed.mRed, rgb[1] = fixed.mGreen, rgb[2] = fixed.mBlue;
    } else if (index >= 10 && index <= 249) {
        const int range = (index - 10) / 80;
        const int hue = (index - kRangeStart[range]) / 10;
        const int steps[2] = {kLarge[hue], kSmall[hue]};
        double values[2];
        for (int i = 0; i < 2; ++i)
            values[i] = steps[i] * 0.25 + (index % 2 ? (4 - steps[i]) * 0.125 : 0.0);
        const double pale = index % 2 ? 0.5 : 0.0;  // the zero channel of an odd index
        // (red, green, blue) as (large, small, zero), (zero, large, small), (small, zero, large).
        const int order[3][3] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}};
        for (int channel = 0; channel < 3; ++channel) {
            const int which = order[range][channel];
            rgb[channel] = which < 2 ? values[which] : pale;
        }
        for (double& value : rgb) value *= kShade[(index % 10) / 2];
    } else if (index >= 250 && index <= 255) {
        rgb[0] = rgb[1] = rgb[2] = (index % 10) * 0.134 + 0.33;
    } else {
        return false;
    }
    color.mRed = rgb[0], color.mGreen = rgb[1], color.mBlue = rgb[2];
    return true;
}

int GetACIFromZEQColor(const KZeqColor& color) {
    const double r = color.mRed, g = color.mGreen, b = color.mBlue;
    for (int i = 0; i < 9; ++i)
        if (r == kFixed[i].mRed && g == kFixed[i].mGreen && b == kFixed[i].mBlue) return i + 1;
    if (r == 0 && g == 0 && b == 0) return 250;
    // Channels by rank: 0 red, 1 green, 2 blue.
    const double value[3] = {r, g, b};
    const int largest = r >= g && r >= b ? 0 : g >= b ? 1 : 2;
    const int others[3][2] = {{1, 2}, {0, 2}, {0, 1}};
    const int a = others[largest][0], c = others[largest][1];
    const int middle = value[a] >= value[c] ? a : c, smallest = middle == a ? c : a;
    const double top = value[largest], t = value[smallest] / top, s = value[middle] / top, d = 1.0 - t;
    if (t > 0.8) {
        const double mean = (r + g + b) / 3.0;
        int grey = 250;
        while (grey < 255 && mean >= kGreyLimits[grey - 250]) ++grey;
        return grey;
    }
    int hue;
    if (s > t + 0.875 * d) {
        hue = smallest == 2 ? 50 : smallest == 0 ? 130 : 210;
    } else {
        hue = largest == 0 ? 10 : largest == 1 ? 90 : 170;
        const int column = largest * 2 + (middle == others[largest][1] ? 1 : 0);
        for (int row = 0; row < 3; ++row)
            if (s > t + kHueSteps[row] * d) {
                hue = kHueBase[row][column];
                break;
            }
    }
    const int shade = top > 0.85 ? 0 : top > 0.6 ? 2 : top > 0.4 ? 4 : top > 0.2 ? 6 : 8;
    return hue + shade + (t > 0.2 ? 1 : 0);
}

}  // namespace zeqsdk_400
