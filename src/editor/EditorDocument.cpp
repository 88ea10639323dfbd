// Everything the Editor reads of its document goes through these few functions, so that a document that
// is gone reads as an empty PDF instead of failing.
#include "editor/Editor.h"

#include "core/VMKDocument.h"
#include "editor/HeadlessCanvas.h"
#include "platform/pdf/document/Annotation.h"
#include "platform/pdf/document/Document.h"
#include "platform/services/UserDefaults.h"

#include <QFileInfo>

namespace vmk {

Editor::Editor(core::VMKDocument* document, CanvasFactory canvasFactory, platform::Scheduler* scheduler,
               platform::UserDefaults* defaults, QObject* parent)
    : QObject(parent)
    , m_scheduler(scheduler ? scheduler : &platform::Scheduler::shared())
    , m_defaults(defaults ? defaults : &platform::UserDefaults::standard())
{
    for (Tool tool : allTools())
        m_toolColors.insert(tool, defaultToolColor(tool));
    m_document = document;
    m_canvas = canvasFactory ? canvasFactory() : nullptr;
    if (!m_canvas)
        m_canvas = std::make_unique<HeadlessCanvas>();
    if (QObject* object = m_canvas->canvasObject()) {
        // Should Qt delete the canvas with its window first, the Editor lets go of it instead of
        // deleting it twice.
        connect(object, &QObject::destroyed, this, [this] { (void)m_canvas.release(); });
    }
    m_canvas->setEditor(this);
    attachDocument(true);
}

Editor::~Editor()
{
    platform::wipe(m_unlockedPassword);
    if (m_canvas)
        m_canvas->setEditor(nullptr);
    // Views hosting the canvas widget may still hold it; delete it here while the Editor is whole.
    m_canvas.reset();
}

core::VMKDocument* Editor::document() const { return m_document.data(); }

pdf::DocumentPtr Editor::pdfDocument() const
{
    if (m_document) {
        if (pdf::DocumentPtr pdf = m_document->pdf())
            return pdf;
    }
    return pdf::Document::createEmpty();
}

platform::UndoManager* Editor::undoManager() const
{
    return m_document ? m_document->undoManager() : nullptr;
}

QString Editor::documentFilePath() const
{
    return m_document ? m_document->filePath() : QString();
}

QString Editor::documentBaseName() const
{
    const QString name = m_document ? m_document->displayName() : QString();
    if (name.isEmpty())
        return QStringLiteral("Document");
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
}

void Editor::noteFormFieldEdited()
{
    if (m_document)
        m_document->updateChangeCount(platform::ChangeType::Done);
}

void Editor::noteAnnotationHit(const pdf::AnnotationPtr& annotation)
{
    if (annotation && annotation->isWidget())
        noteFormFieldEdited();
}

} // namespace vmk
