#include "panels/DocumentSections.h"

#include "chrome/ChromeStyle.h"
#include "core/VMKDocument.h"
#include "editor/Editor.h"
#include "panels/ByteCountText.h"
#include "panels/SectionControls.h"
#include "panels/SignatureSheet.h"
#include "platform/icons/SymbolIcons.h"
#include "platform/services/PlainText.h"
#include "signatures/SignatureStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace vmk::panels {

namespace {

QLabel* valueLabel(const QString& text, const QColor& color = QColor())
{
    auto* label = new QLabel(text);
    platform::makePlain(*label); // document metadata and file names
    if (color.isValid()) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, color);
        label->setPalette(pal);
    }
    return label;
}

// A footer line: a small symbol and caption text.
QWidget* footer(const QString& symbol, const QString& text)
{
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(10, 0, 10, 0);
    h->setSpacing(6);
    auto* caption = makeCaption(text, row);
    if (!symbol.isEmpty()) {
        auto* icon = new QLabel(row);
        icon->setPixmap(platform::symbolPixmap(symbol, 12, chrome::secondaryTextColor(row->palette()), row->devicePixelRatioF()));
        icon->setAlignment(Qt::AlignTop);
        h->addWidget(icon);
    }
    h->addWidget(caption, 1);
    row->setAccessibleName(text);
    return row;
}

void clearLayout(QLayout* layout)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
}

} // namespace

DocumentSection::DocumentSection(Editor* editor, QWidget* parent)
    : QWidget(parent), m_editor(editor)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    if (editor) {
        connect(editor, &Editor::pageCountChanged, this, &DocumentSection::rebuild);
        connect(editor, &Editor::isLockedChanged, this, &DocumentSection::rebuild);
        // Protection and file size are not published: a document change announces them.
        connect(editor, &Editor::documentVersionChanged, this, &DocumentSection::rebuild);
    }
    rebuild();
}

QLabel* DocumentSection::value(const QString& row) const
{
    QWidget* found = m_facts ? findRow(m_facts, row) : nullptr;
    if (!found)
        return nullptr;
    const auto labels = found->findChildren<QLabel*>();
    return labels.size() >= 2 ? labels.last() : nullptr;
}

QPushButton* DocumentSection::button(const QString& title) const
{
    if (!m_facts)
        return nullptr;
    for (QPushButton* b : m_facts->findChildren<QPushButton*>())
        if (b->text() == title)
            return b;
    return nullptr;
}

void DocumentSection::rebuild()
{
    clearLayout(layout());
    Editor* e = m_editor;
    m_facts = new FormSection(tr("Document"));
    const QColor secondary = chrome::secondaryTextColor(palette());
    m_facts->addRow(tr("Pages"), valueLabel(QString::number(e ? e->pageCount() : 0), secondary));
    if (core::VMKDocument* document = e ? e->document() : nullptr)
        if (const auto size = document->fileSize())
            m_facts->addRow(tr("Size"), valueLabel(fileSizeText(*size), secondary));
    const bool protectedNow = e && e->isPasswordProtected();
    m_facts->addRow(tr("Password"), protectedNow ? valueLabel(tr("Protected"), chrome::accentColor(palette()))
                                                 : valueLabel(tr("None"), secondary));
    if (e && !e->isLocked()) {
        QPointer<Editor> weak(e);
        auto add = [this](const QString& title, std::function<void()> action) {
            auto* b = new QPushButton(title);
            b->setAccessibleName(title);
            connect(b, &QPushButton::clicked, this, std::move(action));
            m_facts->addWidget(b);
        };
        // One button whose title and action follow the protection state.
        if (protectedNow)
            add(tr("Remove Password…"), [weak] {
                if (auto* actions = documentSheetActions(weak))
                    actions->confirmRemovePassword();
            });
        else
            add(tr("Password Protect…"), [weak] {
                if (auto* actions = documentSheetActions(weak))
                    actions->presentPasswordSheet();
            });
        add(tr("Make Searchable (OCR)"), [weak] {
            if (weak)
                weak->makeSearchable();
        });
        add(tr("Export Compressed…"), [weak] {
            if (auto* actions = documentSheetActions(weak))
                actions->presentCompressSheet();
        });
        add(tr("Export Flattened…"), [weak] {
            if (weak)
                weak->exportFlattened();
        });
    }
    layout()->addWidget(m_facts);
    layout()->addWidget(footer(QStringLiteral("lock.shield"), tr("Works offline. Nothing leaves your computer.")));
}

SignaturesSection::SignaturesSection(Editor* editor, signatures::SignatureStore* store, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_store(store), m_newSignature([](Editor* e) { presentSignatureSheet(e); })
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    if (store)
        connect(store, &signatures::SignatureStore::signaturesChanged, this, &SignaturesSection::rebuild);
    rebuild();
}

QList<QPushButton*> SignaturesSection::placeButtons() const
{
    QList<QPushButton*> list;
    for (QPushButton* b : m_list->findChildren<QPushButton*>())
        if (b->objectName() == QLatin1String("place"))
            list << b;
    return list;
}

QList<QAbstractButton*> SignaturesSection::deleteButtons() const
{
    QList<QAbstractButton*> list;
    for (QToolButton* b : m_list->findChildren<QToolButton*>())
        if (b->objectName() == QLatin1String("delete"))
            list << b;
    return list;
}

bool SignaturesSection::showsNoneYet() const
{
    for (QLabel* label : m_list->findChildren<QLabel*>())
        if (label->objectName() == QLatin1String("noneYet"))
            return true;
    return false;
}

void SignaturesSection::rebuild()
{
    clearLayout(layout());
    m_list = new FormSection(tr("Signatures"));
    const QList<signatures::SavedSignature> saved = m_store ? m_store->signatures() : QList<signatures::SavedSignature>();
    if (saved.isEmpty()) {
        auto* none = valueLabel(tr("None yet."), chrome::secondaryTextColor(palette()));
        none->setObjectName(QStringLiteral("noneYet"));
        m_list->addWidget(none);
    }
    for (const signatures::SavedSignature& signature : saved) {
        auto* row = new QWidget;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        auto* picture = new QLabel(row);
        const qreal dpr = devicePixelRatioF();
        // Small enough that Place and the trash button always keep their room; on a paper-white tile so
        // dark ink reads in a dark window too.
        QPixmap pixmap = QPixmap::fromImage(signature.image.scaled(QSize(int(72 * dpr), int(24 * dpr)), Qt::KeepAspectRatio,
                                                                   Qt::SmoothTransformation));
        pixmap.setDevicePixelRatio(dpr);
        picture->setPixmap(pixmap);
        picture->setObjectName(QStringLiteral("signaturePicture"));
        picture->setAlignment(Qt::AlignCenter);
        picture->setFixedSize(78, 30);
        picture->setStyleSheet(QStringLiteral("QLabel#signaturePicture { background: white; border-radius: 6px; }"));
        h->addWidget(picture);
        h->addStretch(1);
        auto* place = new QPushButton(tr("Place"), row);
        place->setObjectName(QStringLiteral("place"));
        place->setAccessibleName(tr("Place"));
        QFont small = place->font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        place->setFont(small);
        QPointer<Editor> weak(m_editor);
        connect(place, &QPushButton::clicked, this, [weak, signature] {
            if (weak)
                weak->addSignature(signaturePlacement(signature));
        });
        auto* trash = chrome::makeSymbolButton(QStringLiteral("trash"), tr("Delete this signature"), 14, row, QColor(255, 59, 48));
        trash->setObjectName(QStringLiteral("delete"));
        const QUuid id = signature.id;
        // The inspector hands every window the one shared store, so a deletion shows everywhere.
        connect(trash, &QToolButton::clicked, this, [this, id] {
            if (m_store)
                m_store->remove(id);
        });
        h->addWidget(place);
        h->addWidget(trash);
        m_list->addWidget(row);
    }
    m_new = new QPushButton(tr("New Signature…"));
    m_new->setAccessibleName(m_new->text());
    connect(m_new, &QPushButton::clicked, this, [this] {
        if (m_editor && m_newSignature)
            m_newSignature(m_editor);
    });
    m_list->addWidget(m_new);
    layout()->addWidget(m_list);
    layout()->addWidget(footer(QString(), tr("Signatures are stored only on this computer, in the application’s data folder.")));
}

} // namespace vmk::panels
