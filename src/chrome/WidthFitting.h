#pragma once

namespace vmk::chrome {

// A floating view that can rearrange itself to fit the width its host has for it (the palette over the
// canvas, in a narrow window). The host says how wide it may be before it asks for the size hint.
class WidthFitting {
public:
    virtual ~WidthFitting() = default;
    virtual void fitToWidth(int width) = 0;
};

} // namespace vmk::chrome
