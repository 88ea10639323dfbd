#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace vmk::test {

// What qpdf reads of each page of a written file: its rotation, its annotations' kinds and texts, and how
// many of them carry an appearance.
struct QpdfPage {
    int rotation = 0;
    QStringList kinds;
    QStringList notes;
    int withAppearance = 0;
};

std::vector<QpdfPage> qpdfPages(const QString& path);

} // namespace vmk::test
