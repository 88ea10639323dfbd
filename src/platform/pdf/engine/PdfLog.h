#pragma once

#include <QLoggingCategory>

// The PDF engine's warnings and errors are routed here instead of stderr.
Q_DECLARE_LOGGING_CATEGORY(lcVmkPdf)
