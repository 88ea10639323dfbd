#pragma once

#include "platform/doc/Document.h"
#include "platform/doc/DocumentController.h"

#include <QFile>

#include <functional>

namespace vmk::test {

// A document whose content is plain bytes, with switches to make each save step fail.
class TestDocument : public platform::Document {
public:
    QByteArray content;
    bool failWrite = false;
    bool writeGarbageThenFail = false;
    bool failVerify = false;
    std::function<void()> duringWrite; // e.g. another program writing the file meanwhile
    int reads = 0;
    int reverts = 0;
    QList<platform::SaveOperation> saves;
    int* windowsShown = nullptr;
    int* windowsClosed = nullptr;

    void makeWindowControllers() override;

protected:
    platform::MaybeError readFromData(const QByteArray& data, const QString& path) override
    {
        if (data.startsWith("BAD"))
            return platform::DocumentError{platform::DocumentError::FileReadCorruptFile, "“" + path + "” is damaged.",
                                           "If you have another copy, try that one."};
        ++reads;
        content = data;
        return std::nullopt;
    }
    platform::MaybeError writeToFile(const QString& path, platform::SaveOperation op) override
    {
        if (writeGarbageThenFail) {
            QFile f(path);
            if (f.open(QIODevice::WriteOnly))
                f.write("half-written");
        }
        if (duringWrite)
            duringWrite();
        if (failWrite || writeGarbageThenFail)
            return platform::DocumentError{platform::DocumentError::FileWriteUnknown, "The PDF couldn’t be written.",
                                           "Try saving a copy to a different folder."};
        return Document::writeToFile(path, op);
    }
    QByteArray dataForSave(platform::SaveOperation, platform::MaybeError*) override { return content; }
    platform::MaybeError verifyWrittenFile(const QString& path, platform::SaveOperation) override
    {
        QFile f(path);
        const bool same = f.open(QIODevice::ReadOnly) && f.readAll() == content;
        if (failVerify || !same)
            return platform::DocumentError{platform::DocumentError::FileWriteUnknown,
                                           "The saved copy didn’t check out, so the original was left untouched.",
                                           "Try Save As to a different location."};
        return std::nullopt;
    }
    void didSave(platform::SaveOperation op) override { saves << op; }
    void didRevert() override { ++reverts; }
};

class CountingWindow : public platform::WindowController {
public:
    CountingWindow(int* shown, int* closed) : m_shown(shown), m_closed(closed) {}
    void showWindow() override
    {
        if (m_shown)
            ++*m_shown;
    }
    void closeWindow() override
    {
        if (m_closed)
            ++*m_closed;
    }

private:
    int* m_shown;
    int* m_closed;
};

inline void TestDocument::makeWindowControllers()
{
    addWindowController(std::make_unique<CountingWindow>(windowsShown, windowsClosed));
}

class TestController : public platform::DocumentController {
public:
    using DocumentController::DocumentController;
    int windowsShown = 0;
    int windowsClosed = 0;
    QList<platform::DocumentError> presented;
    void presentError(const platform::DocumentError& error) override { presented << error; }

protected:
    std::unique_ptr<platform::Document> createDocument() override
    {
        auto doc = std::make_unique<TestDocument>();
        doc->windowsShown = &windowsShown;
        doc->windowsClosed = &windowsClosed;
        return doc;
    }
};

} // namespace vmk::test
