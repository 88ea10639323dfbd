#include "panels/CompressSheet.h"

#include "chrome/ChromeStyle.h"
#include "chrome/Glass.h"
#include "chrome/RollingLabel.h"
#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "panels/ByteCountText.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/pdf/document/Document.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vmk::panels {

namespace {

// The rounded, faintly filled band behind the size row.
class SizeBand : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(0.06);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(rect()), 12, 12);
    }
};

QFont sizeFont()
{
    return chrome::titleFont(1.2);
}

// A size column: the caption over a busy bar while the size is unknown, then the size.
QWidget* sizeColumn(const QString& caption, QStackedWidget** stack, QLabel** value, QWidget* parent)
{
    auto* column = new QWidget(parent);
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    auto* label = new QLabel(caption, column);
    label->setFont(chrome::captionFont());
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, chrome::secondaryTextColor(pal));
    label->setPalette(pal);
    *stack = new QStackedWidget(column);
    auto* busy = new QProgressBar(*stack);
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setFixedSize(60, 6);
    auto* busyHolder = new QWidget(*stack);
    auto* holder = new QVBoxLayout(busyHolder);
    holder->setContentsMargins(0, 8, 0, 8);
    holder->addWidget(busy);
    *value = new chrome::RollingLabel(*stack);
    (*value)->setFont(sizeFont());
    (*value)->setAccessibleName(caption);
    (*stack)->addWidget(busyHolder);
    (*stack)->addWidget(*value);
    v->addWidget(label);
    v->addWidget(*stack);
    return column;
}

} // namespace

CompressSheet::CompressSheet(Editor* editor, std::function<void()> dismiss, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_dismiss(std::move(dismiss))
{
    setWindowTitle(tr("Export Compressed"));
    setFixedWidth(460);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(18);

    auto* header = new QVBoxLayout;
    header->setSpacing(4);
    auto* title = new QLabel(tr("Export Compressed"), this);
    title->setFont(chrome::titleFont(1.3));
    auto* subtitle = new QLabel(tr("A smaller copy with the same pages. Your original stays exactly as it is."), this);
    subtitle->setWordWrap(true);
    QPalette secondary = subtitle->palette();
    secondary.setColor(QPalette::WindowText, chrome::secondaryTextColor(secondary));
    subtitle->setPalette(secondary);
    header->addWidget(title);
    header->addWidget(subtitle);
    column->addLayout(header);

    // The preset picker: one segment per preset, in order; its label serves accessibility only.
    auto* picker = new QWidget(this);
    picker->setAccessibleName(tr("Compression"));
    auto* segments = new QHBoxLayout(picker);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    m_presets = new QButtonGroup(this);
    for (CompressionPreset preset : core::PDFOps::allCompressionPresets()) {
        auto* segment = new QPushButton(presetTitle(preset), picker);
        segment->setCheckable(true);
        segment->setAutoDefault(false);
        segment->setAccessibleName(presetTitle(preset));
        m_presets->addButton(segment, int(preset));
        segments->addWidget(segment);
    }
    connect(m_presets, &QButtonGroup::idClicked, this, [this](int id) { setPreset(CompressionPreset(id)); });
    column->addWidget(picker);

    auto* band = new SizeBand(this);
    auto* sizes = new QHBoxLayout(band);
    sizes->setContentsMargins(14, 14, 14, 14);
    sizes->setSpacing(16);
    sizes->addWidget(sizeColumn(tr("Now"), &m_now, &m_nowValue, band));
    auto* arrow = new QLabel(band);
    arrow->setPixmap(platform::symbolPixmap(QStringLiteral("arrow.right"), 18,
                                            chrome::secondaryTextColor(palette()).lighter(130), devicePixelRatioF()));
    sizes->addWidget(arrow);
    sizes->addWidget(sizeColumn(tr("After"), &m_after, &m_afterValue, band));
    sizes->addStretch(1);
    m_saving = new chrome::RollingLabel(band);
    m_saving->setFont(sizeFont());
    sizes->addWidget(m_saving);
    column->addWidget(band);

    m_description = new QLabel(this);
    m_description->setWordWrap(true);
    m_description->setFont(chrome::captionFont());
    m_description->setPalette(secondary);
    column->addWidget(m_description);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_save = new QPushButton(tr("Save Compressed…"), this);
    m_cancel->setAutoDefault(false);
    m_save->setAutoDefault(false);
    chrome::applyProminentButton(m_save);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);
    column->addLayout(buttons);
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_dismiss)
            m_dismiss();
    });
    connect(m_save, &QPushButton::clicked, this, &CompressSheet::save);
    refresh();
}

QList<QAbstractButton*> CompressSheet::presetButtons() const
{
    return m_presets->buttons();
}

bool CompressSheet::nowIsPending() const
{
    return m_now->currentWidget() != m_nowValue;
}

bool CompressSheet::afterIsPending() const
{
    return m_after->currentWidget() != m_afterValue;
}

void CompressSheet::setPreset(CompressionPreset preset)
{
    if (preset == m_preset)
        return;
    m_preset = preset;
    refresh();
    prepare();
}

void CompressSheet::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_prepared) {
        m_prepared = true;
        prepare();
    }
}

void CompressSheet::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        m_cancel->click();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (m_save->isEnabled())
            m_save->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CompressSheet::prepare()
{
    m_prepared = true;
    if (!m_original) {
        // Text being typed on the canvas belongs in the copy.
        if (m_editor && m_editor->pdfView())
            m_editor->pdfView()->commitTextSession();
        core::VMKDocument* document = m_editor ? m_editor->document() : nullptr;
        const pdf::DocumentPtr pdf = document && document->pdf() ? document->pdf() : pdf::Document::createEmpty();
        // The copy carries the protection the document has now, a password set but not saved yet included.
        m_original = document ? compressionSource(document->filePath(), document->isEdited(), *pdf,
                                                  document->writeOptions())
                              : takeSnapshot(*pdf);
        m_password = document ? document->writtenPassword() : std::nullopt;
        refresh();
    }
    if (!m_original || !m_editor)
        return;
    const CompressionPreset preset = m_preset;
    if (m_results.contains(preset))
        return;
    // Each run stores its own result under the preset it was started for, even when the user has moved
    // on: coming back to that preset then shows it.
    QPointer<CompressSheet> self(this);
    runDetached<std::optional<QByteArray>>(
        m_editor->detachedRunner(), this, [snapshot = *m_original, preset, password = m_password] { return compressSnapshot(snapshot, preset, password); },
        [self, preset](std::optional<QByteArray> result) {
            if (!self || !result)
                return;
            self->m_results.insert(preset, *result);
            self->refresh();
        });
}

void CompressSheet::save()
{
    const auto found = m_results.constFind(m_preset);
    if (found == m_results.constEnd())
        return;
    const QByteArray data = *found;
    const qint64 originalSize = m_original ? m_original->size() : 0;
    const QPointer<Editor> editor(m_editor);
    const QString name = compressedFileName(editor ? editor->documentBaseName() : QStringLiteral("Document"));
    // The sheet closes before the save panel appears.
    if (m_dismiss)
        m_dismiss();
    EditorWindowHost* host = editor ? editor->windowController() : nullptr;
    if (!host || !host->window())
        return;
    SavePanelRequest request;
    request.suggestedName = name;
    request.typeName = QStringLiteral("PDF");
    request.extension = QStringLiteral("pdf");
    request.title = QStringLiteral("Export Compressed");
    host->runSavePanel(request, [editor, data, originalSize](std::optional<QString> path) {
        EditorWindowHost* host = editor ? editor->windowController() : nullptr;
        Editor::saveDataFromPanel(path, data, [editor, data, originalSize](const QString&) {
            if (editor)
                editor->showToast(compressedSavedToast(data.size(), originalSize),
                                  QStringLiteral("arrow.down.right.and.arrow.up.left"), Toast::Style::success);
        }, host);
    });
}

void CompressSheet::refresh()
{
    // The sizes and the saving count on to new values on a spring that never overshoots (a size that
    // has just arrived simply shows: its label was not on screen yet).
    const chrome::MotionSpec counting = chrome::settlingSpringMotion();
    if (QAbstractButton* segment = m_presets->button(int(m_preset)))
        segment->setChecked(true);
    if (m_original) {
        chrome::countTo(m_nowValue, fileSizeText(m_original->size()), counting);
        m_now->setCurrentWidget(m_nowValue);
    } else {
        m_now->setCurrentIndex(0);
    }
    const auto result = m_results.constFind(m_preset);
    const bool hasResult = result != m_results.constEnd();
    if (hasResult) {
        chrome::countTo(m_afterValue, fileSizeText(result->size()), counting);
        m_after->setCurrentWidget(m_afterValue);
    } else {
        m_after->setCurrentIndex(0);
    }
    const std::optional<SavingText> saving
        = m_original && hasResult ? savingText(m_original->size(), result->size()) : std::nullopt;
    if (saving) {
        // Before it shows: a saving that comes back after a wait appears, it does not roll from the old one.
        chrome::countTo(m_saving, saving->text, counting);
        QPalette pal = m_saving->palette();
        pal.setColor(QPalette::WindowText, saving->accent ? chrome::accentColor(palette()) : chrome::secondaryTextColor(palette()));
        m_saving->setPalette(pal);
    }
    m_saving->setVisible(saving.has_value());
    m_description->setText(presetDescription(m_preset));
    m_save->setEnabled(hasResult);
}

} // namespace vmk::panels
