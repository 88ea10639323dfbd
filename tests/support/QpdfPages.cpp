#include "support/QpdfPages.h"

#include "support/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace vmk::test {

std::vector<QpdfPage> qpdfPages(const QString& path)
{
    const CommandResult json = runCommand(QStringLiteral("qpdf"), {QStringLiteral("--json=2"), QStringLiteral("--json-key=pages"),
                                                                    QStringLiteral("--json-key=qpdf"), path});
    EXPECT_EQ(json.exitCode, 0) << json.err.constData();
    const QJsonObject root = QJsonDocument::fromJson(json.out).object();
    const QJsonObject objects = root[QStringLiteral("qpdf")].toArray().at(1).toObject();
    auto value = [&](const QJsonValue& v) {
        return v.isString() && v.toString().endsWith(QStringLiteral(" R"))
            ? objects[QStringLiteral("obj:") + v.toString()].toObject()[QStringLiteral("value")]
            : v;
    };
    std::vector<QpdfPage> pages;
    for (const QJsonValue& page : root[QStringLiteral("pages")].toArray()) {
        const QJsonObject dict = value(page.toObject()[QStringLiteral("object")]).toObject();
        QpdfPage read;
        read.rotation = dict[QStringLiteral("/Rotate")].toInt();
        for (const QJsonValue& ref : value(dict[QStringLiteral("/Annots")]).toArray()) {
            const QJsonObject annotation = value(ref).toObject();
            read.kinds << annotation[QStringLiteral("/Subtype")].toString().mid(1);
            read.withAppearance += annotation.contains(QStringLiteral("/AP")) ? 1 : 0;
            if (annotation.contains(QStringLiteral("/Contents")))
                read.notes << value(annotation[QStringLiteral("/Contents")]).toString().mid(2); // "u:…" or "b:…"
        }
        pages.push_back(read);
    }
    return pages;
}

} // namespace vmk::test
