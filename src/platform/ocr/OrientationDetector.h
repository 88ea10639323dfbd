#pragma once

// Private to text recognition: how far a page image is turned, from Tesseract's orientation data.

#include <QImage>
#include <QString>

#include <memory>

namespace vmk::platform {

class OrientationDetector {
public:
    // Starts the detector with the "osd" data in dataPath; isAvailable() is false when it is missing.
    explicit OrientationDetector(const QString& dataPath);
    ~OrientationDetector();
    OrientationDetector(const OrientationDetector&) = delete;
    OrientationDetector& operator=(const OrientationDetector&) = delete;

    bool isAvailable() const;

    // The clockwise quarter turn (0, 90, 180 or 270) by which the text of a greyscale image is turned from
    // upright; 0 when the page has too little text to tell or the answer is unsure.
    int clockwiseTurn(const QImage& grey, int dotsPerInch);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace vmk::platform
