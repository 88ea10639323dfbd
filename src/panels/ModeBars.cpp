#include "panels/ModeBars.h"

#include "chrome/Glass.h"
#include "chrome/RollingLabel.h"
#include "editor/Editor.h"
#include "panels/PaletteButton.h"
#include "panels/PaletteParts.h"
#include "panels/PaletteRules.h"
#include "platform/icons/SymbolIcons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace vmk::panels {

namespace {

QFont calloutFont(const QFont& base)
{
    QFont f = base;
    f.setPointSizeF(base.pointSizeF() > 0 ? base.pointSizeF() : 10);
    return f;
}

} // namespace

PagesBar::PagesBar(Editor* editor, QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(2);
    if (!editor)
        return;
    const QPointer<Editor> e(editor);
    const IndexSet selection = editor->organizerSelection();
    const bool empty = selection.empty();
    auto add = [&](const QString& symbol, const QString& help, bool needsSelection, std::function<void()> action) {
        auto* button = new PaletteButton(symbol, help, false, ButtonRole::none, std::move(action));
        button->setEnabled(!(needsSelection && empty));
        m_buttons.append(button);
        row->addWidget(button);
    };
    add(QStringLiteral("rotate.left"), tr("Rotate Left (Ctrl+L)"), true, [e, selection] {
        if (e)
            e->rotateSelectedPages(selection, -90);
    });
    add(QStringLiteral("rotate.right"), tr("Rotate Right (Ctrl+R)"), true, [e, selection] {
        if (e)
            e->rotateSelectedPages(selection, 90);
    });
    add(QStringLiteral("plus.square.on.square"), tr("Duplicate"), true, [e, selection] {
        if (e)
            e->duplicatePages(selection);
    });
    add(QStringLiteral("trash"), tr("Delete (Backspace)"), true, [e, selection] {
        if (e)
            e->deletePages(selection);
    });
    m_buttons.last()->setProperty("destructive", true);
    row->addWidget(new PaletteDivider);
    add(QStringLiteral("doc.badge.plus"), tr("Insert Blank Page"), false, [e, selection] {
        if (e)
            e->insertBlankPage(selection.empty() ? std::nullopt : std::optional<int>(*selection.rbegin()));
    });
    add(QStringLiteral("square.and.arrow.down.on.square"), tr("Insert Pages from a PDF (merge)"), false, [e] {
        if (e)
            e->insertPagesFromFile();
    });
    add(QStringLiteral("rectangle.portrait.and.arrow.forward"), tr("Extract Selected Pages to a New PDF (split)"), true,
        [e, selection] {
            if (e)
                e->extractPages(selection);
        });
    m_count = new chrome::RollingLabel;
    m_count->setText(pagesCountText(selection, editor->pageCount()));
    m_count->setFont(calloutFont(font()));
    m_count->setForegroundRole(QPalette::PlaceholderText);
    m_count->setContentsMargins(10, 0, 10, 0);
    row->addWidget(m_count);
}

RedactBar::RedactBar(Editor* editor, int markCount, std::function<void()> confirm, QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 6, 8, 6);
    row->setSpacing(10);
    auto* symbol = new QLabel;
    symbol->setPixmap(platform::symbolPixmap(QStringLiteral("eye.slash"), 16,
                                             palette().color(QPalette::PlaceholderText), devicePixelRatioF()));
    symbol->setContentsMargins(8, 0, 0, 0);
    row->addWidget(symbol);
    m_status = new chrome::RollingLabel;
    m_status->setText(redactStatusText(markCount));
    m_status->setFont(calloutFont(font()));
    row->addWidget(m_status);
    if (markCount < 1 || !editor)
        return;
    const QPointer<Editor> e(editor);
    m_clear = smallBarButton(tr("Clear"));
    connect(m_clear, &QPushButton::clicked, this, [e] {
        // Every mark goes in one undo step, taken at the moment of the click.
        if (e)
            e->removeAnnotation(e->redactionMarks(), QStringLiteral("Clear Redaction Marks"));
    });
    row->addWidget(m_clear);
    m_redact = smallBarButton(tr("Redact…"));
    chrome::applyProminentButton(m_redact);
    // The destructive tint over the prominent look.
    m_redact->setStyleSheet(m_redact->styleSheet().replace(palette().color(QPalette::Highlight).name(QColor::HexArgb),
                                                           QColor(255, 59, 48).name(QColor::HexArgb)));
    connect(m_redact, &QPushButton::clicked, this, [confirm = std::move(confirm)] {
        if (confirm)
            confirm();
    });
    row->addWidget(m_redact);
}

CropBar::CropBar(Editor* editor, QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(8);
    const QPointer<Editor> e(editor);
    m_cancel = smallBarButton(tr("Cancel"));
    connect(m_cancel, &QPushButton::clicked, this, [e] {
        if (!e)
            return;
        // The crop tool stays, so a new rectangle can be dragged at once.
        e->setPendingCrop(std::nullopt);
        if (e->pdfView())
            e->pdfView()->setOverlayNeedsDisplay();
    });
    m_all = smallBarButton(tr("All Pages"));
    connect(m_all, &QPushButton::clicked, this, [e] {
        if (e)
            e->applyCrop(true);
    });
    m_page = smallBarButton(tr("Crop Page"));
    chrome::applyProminentButton(m_page);
    connect(m_page, &QPushButton::clicked, this, [e] {
        if (e)
            e->applyCrop(false);
    });
    row->addWidget(m_cancel);
    row->addWidget(m_all);
    row->addWidget(m_page);
}

namespace {

QLabel* countLabelOf(const QWidget* bar)
{
    if (auto* pages = qobject_cast<const PagesBar*>(bar))
        return pages->countLabel();
    if (auto* redact = qobject_cast<const RedactBar*>(bar))
        return redact->statusLabel();
    return nullptr;
}

} // namespace

QString paletteCountText(const QWidget* bar)
{
    const QLabel* label = countLabelOf(bar);
    return label ? label->text() : QString();
}

void countOnFrom(QWidget* bar, const QString& shown)
{
    auto* count = qobject_cast<chrome::RollingLabel*>(countLabelOf(bar));
    if (!count || shown.isEmpty() || shown == count->text())
        return;
    const QString now = count->text();
    count->setText(shown);
    count->rollTo(now, true, chrome::settlingSpringMotion());
}

} // namespace vmk::panels
