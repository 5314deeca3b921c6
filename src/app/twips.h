#pragma once
#include <QRect>

// Window arrangement is given in twips; at 96 dpi there are 15 twips to a pixel.
// Qt scales these device-independent pixels with the screen's dpi.
inline int Twips(int twips) { return (twips + 7) / 15; }

inline QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}
