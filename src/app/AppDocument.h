#pragma once

#include "core/VMKDocument.h"

#include <functional>

namespace vmk::app {

class DocumentWindowController;

// The application's document: a PDF document that makes exactly one document window controller when
// the machinery asks for its windows.
class AppDocument : public core::VMKDocument {
    Q_OBJECT
public:
    using ControllerFactory = std::function<std::unique_ptr<DocumentWindowController>(AppDocument*)>;

    explicit AppDocument(QObject* parent = nullptr);
    void makeWindowControllers() override;
    DocumentWindowController* windowController() const;

    // How window controllers are made (tests give their editors a headless canvas); null: the standard.
    static void setControllerFactory(ControllerFactory factory);
};

} // namespace vmk::app
