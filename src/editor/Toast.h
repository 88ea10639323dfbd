#pragma once

#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

namespace vmk {

// One transient message over the canvas. A new id for every toast shown: the timed removal compares it.
struct Toast {
    enum class Style { info, success, merge, split };

    QUuid id;
    QString symbol;
    QString text;
    Style style = Style::info;

    // How long a toast of this style stays before it goes away.
    static double displaySeconds(Style style) { return style == Style::info ? 2.8 : 3.2; }

    friend bool operator==(const Toast&, const Toast&) = default;
};

// Progress of the Editor's one running long task.
struct TaskProgress {
    enum class Kind { generic, ocr };

    Kind kind = Kind::generic;
    QString title;
    // Share of the work done; absent while indeterminate.
    std::optional<double> fraction;
    // Run by the pill's stop control; absent when the task cannot be stopped.
    std::function<void()> cancel;
};

} // namespace vmk

