#pragma once

#include "platform/doc/DocumentError.h"

#include <QStringList>

#include <optional>

class QWidget;

namespace vmk::app {

// Shows an error as an alert. Tests install one that records instead of showing.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    virtual void presentError(const platform::DocumentError& error, QWidget* parent) = 0;
};

// The standard open panel for PDF files: the chosen paths, or nothing when cancelled.
class OpenPanel {
public:
    virtual ~OpenPanel() = default;
    virtual std::optional<QStringList> choosePdfFiles(QWidget* parent) = 0;
};

// The process's presenters (message boxes and file dialogs unless replaced; null restores them).
AlertPresenter& alertPresenter();
void setAlertPresenter(AlertPresenter* presenter);
OpenPanel& openPanel();
void setOpenPanel(OpenPanel* panel);

} // namespace vmk::app
