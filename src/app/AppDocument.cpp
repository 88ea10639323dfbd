#include "app/AppDocument.h"

#include "app/DocumentWindowController.h"

namespace vmk::app {

namespace {
AppDocument::ControllerFactory& factory()
{
    static AppDocument::ControllerFactory f;
    return f;
}
} // namespace

AppDocument::AppDocument(QObject* parent)
    : core::VMKDocument(parent)
{
}

void AppDocument::makeWindowControllers()
{
    if (!windowControllers().empty())
        return;
    addWindowController(factory() ? factory()(this) : std::make_unique<DocumentWindowController>(this));
}

DocumentWindowController* AppDocument::windowController() const
{
    return dynamic_cast<DocumentWindowController*>(firstWindowController());
}

void AppDocument::setControllerFactory(ControllerFactory f)
{
    factory() = std::move(f);
}

} // namespace vmk::app
