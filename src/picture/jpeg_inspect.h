#pragma once

// Whether the bytes a lentar carries as its picture are a whole, decodable JPEG that
// fits the picture frame. The editor's own scaling can give 301 pixels on a side, so
// that is the limit; a larger header is refused before any pixel is decoded.

#include <QByteArray>
#include <QString>

inline constexpr int kMaxStoredPictureSide = 301;

struct JpegInspection
{
    bool ok = false;
    int width = 0; // from the header, also when the data behind it is damaged
    int height = 0;
    bool tooLarge = false; // a side is over the limit; nothing was decoded
    QString reason; // Russian, lower case, empty when ok
};

// Decodes every coefficient of every scan of jpeg (the pixels at an eighth of the
// size: the damage shows in the coefficients), so damage anywhere in the data is
// found. Pictures with a side over maxSide are refused from their header.
JpegInspection InspectJpeg(const QByteArray &jpeg, int maxSide = kMaxStoredPictureSide);

// The same verdict, always from libjpeg's decode (the quick walk's reference).
JpegInspection InspectJpegFully(const QByteArray &jpeg, int maxSide = kMaxStoredPictureSide);
