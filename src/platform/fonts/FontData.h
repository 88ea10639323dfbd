#pragma once

// Private to the font service: the description of one installed face that Font values share.

#include "platform/fonts/Font.h"

#include <QStringList>

namespace vmk::platform {

struct Font::Data {
    QString postScriptName;
    QStringList families; // the first is the face's primary family name
    QStringList fullNames; // the first is the one reported
    QString styleName;
    QString filePath;
    int faceIndex = 0;
    int weight = 400;
    bool italic = false;
    bool fixedPitch = false;
    int unitsPerEm = 0;
    int ascender = 0;
    int descender = 0;
};

} // namespace vmk::platform
