#pragma once

namespace vmk::platform {

class Document;

// What a document needs of the window that shows it. The application shell implements it; the document
// owns its window controllers and destroys them with itself.
class WindowController {
public:
    virtual ~WindowController() = default;
    // Shows the window and brings it to the front (also used when an already-open file is opened again).
    virtual void showWindow() = 0;
    // Closes the window; called once when the document closes. Must not delete the document.
    virtual void closeWindow() = 0;
};

} // namespace vmk::platform
