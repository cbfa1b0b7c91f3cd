#pragma once

// The work's picture: a JPEG of any size is turned upright by its Exif orientation
// and reduced to fit 300 x 300 by picking the nearest source pixel, re-encoded at
// quality 90 into the temporary folder as preview.lnr.jpg, and read back as base64
// text for the lentar.

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

class Platform;

struct ScaledSize
{
    int width;
    int height;
    friend bool operator==(const ScaledSize &, const ScaledSize &) = default;
};

// The size a picture of width x height gets: reduced to fit 300 x 300, never enlarged,
// computed in single precision and rounded up.
ScaledSize ComputeScaledSize(int width, int height);

struct RgbImage
{
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb; // rows of RGB triples, top row first
};

struct ImportedPicture
{
    RgbImage image; // the scaled picture
    QByteArray jpeg; // the re-encoded file
    QByteArray base64; // its base64 text, 19 groups per line
    bool progressive = false;
};

inline constexpr char kPictureFileName[] = "preview.lnr.jpg";
inline constexpr char kPictureDialogFilter[] = "Изображения JPEG (*.jpg;*.jpeg)";

// Imports the JPEG at sourcePath, writing preview.lnr.jpg into tempFolder (which ends
// with "/"). Throws LentarError with a message for the user; on failure nothing of an
// earlier import is touched.
ImportedPicture ImportPicture(const QString &sourcePath, const QString &tempFolder);

// Asks for a picture through the platform's open dialog; nothing when the user cancels.
std::optional<QString> ChoosePicture(Platform &platform);
