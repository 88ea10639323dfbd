#include "signatures/SignatureEditorView.h"

#include "signatures/SignatureEditorModel.h"
#include "signatures/SignatureEditorParts.h"
#include "signatures/SignaturePadModel.h"
#include "signatures/SignatureStore.h"
#include "platform/services/WindowDialogs.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vmk::signatures {

namespace {
constexpr double tileFontSize = 26.0;
constexpr int drawTab = 0;
constexpr int typeTab = 1;
} // namespace

SignatureEditorView::SignatureEditorView(SignatureStore& store, QList<SignatureFont> fonts, SaveHandler onSave,
                                         QWidget* parent)
    : QDialog(parent)
    , m_model(new SignatureEditorModel(store, std::move(fonts), this))
    , m_onSave(std::move(onSave))
{
    setWindowTitle(tr("New Signature"));
    setFixedWidth(560);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 22);
    layout->setSpacing(16);
    layout->addWidget(makeHeader());

    m_tabs = new QStackedWidget(this);
    m_drawArea = new SignatureDrawArea(m_model->pad(), m_tabs);
    m_tabs->insertWidget(drawTab, m_drawArea);
    m_tabs->insertWidget(typeTab, makeTypeArea());
    m_tabs->setFixedHeight(200);
    layout->addWidget(m_tabs);

    layout->addWidget(makeInkRow());
    layout->addWidget(makeFooter());

    connect(m_model, &SignatureEditorModel::changed, this, &SignatureEditorView::refresh);
    connect(m_model, &SignatureEditorModel::typeTabChosen, m_nameField, [this] { m_nameField->setFocus(); });
    refresh();
}

SignatureEditorView* SignatureEditorView::present(QWidget* window, SaveHandler onSave)
{
    auto* editor = new SignatureEditorView(SignatureStore::shared(), signatureFonts(), std::move(onSave), window);
    if (window)
        platform::belongToWindow(editor);
    else
        editor->setWindowModality(Qt::ApplicationModal);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->open();
    return editor;
}

QWidget* SignatureEditorView::makeHeader()
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);

    auto* title = new QLabel(tr("New Signature"), header);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    row->addWidget(title);
    row->addStretch();

    // A two-segment switch between drawing and typing.
    m_kindButtons = new QButtonGroup(header);
    m_kindButtons->setExclusive(true);
    const QStringList labels = {tr("Draw"), tr("Type")};
    for (int i = 0; i < labels.size(); ++i) {
        auto* segment = new QPushButton(labels[i], header);
        segment->setCheckable(true);
        segment->setAutoDefault(false);
        segment->setChecked(i == drawTab);
        // The chosen segment filled with the accent, so it reads in either appearance.
        const QString corners = i == 0 ? QStringLiteral("border-top-left-radius: 6px; border-bottom-left-radius: 6px;")
                                       : QStringLiteral("border-top-right-radius: 6px; border-bottom-right-radius: 6px;");
        segment->setStyleSheet(QStringLiteral("QPushButton { border: 1px solid palette(mid); padding: 3px 16px;"
                                              " background: palette(button); color: palette(button-text); %1 }"
                                              "QPushButton:checked { background: palette(highlight);"
                                              " color: palette(highlighted-text); border-color: palette(highlight); }")
                                   .arg(corners));
        m_kindButtons->addButton(segment, i);
        row->addWidget(segment);
    }
    row->setSpacing(0);
    connect(m_kindButtons, &QButtonGroup::idClicked, this, [this](int id) {
        m_model->setKind(id == typeTab ? SignatureEditorModel::Kind::type : SignatureEditorModel::Kind::draw);
    });
    return header;
}

QWidget* SignatureEditorView::makeTypeArea()
{
    auto* card = new SignatureCard(m_tabs);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(3, 15, 3, 5);
    column->setSpacing(10);

    m_nameField = new QLineEdit(card);
    m_nameField->setPlaceholderText(tr("Your name"));
    m_nameField->setAlignment(Qt::AlignCenter);
    QFont nameFont = m_nameField->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.25);
    m_nameField->setFont(nameFont);
    // The card is paper-white in either appearance: the field and its placeholder are drawn for it.
    m_nameField->setStyleSheet(QStringLiteral("QLineEdit { color: black; background: white; border: 1px solid rgba(0, 0, 0, 40);"
                                              " border-radius: 8px; padding: 6px 10px; margin: 0 24px; }"
                                              "QLineEdit:focus { border: 2px solid palette(highlight); }"));
    QPalette namePalette = m_nameField->palette();
    namePalette.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 110));
    namePalette.setColor(QPalette::Text, Qt::black);
    namePalette.setColor(QPalette::Base, Qt::white);
    m_nameField->setPalette(namePalette);
    // The style sheet's padding and border around the larger font: its own height hint falls short.
    m_nameField->setFixedHeight(QFontMetrics(nameFont).height() + 2 * 6 + 2 * 2 + 4);
    connect(m_nameField, &QLineEdit::textChanged, m_model, &SignatureEditorModel::setName);
    column->addWidget(m_nameField);

    auto* tiles = new QWidget;
    auto* tileRow = new QHBoxLayout(tiles);
    tileRow->setContentsMargins(14, 0, 14, 0);
    tileRow->setSpacing(8);
    auto* tileGroup = new QButtonGroup(card);
    tileGroup->setExclusive(true);
    const QList<SignatureFont>& fonts = m_model->fonts();
    for (int i = 0; i < fonts.size(); ++i) {
        auto* tile = new FontTile(signatureQFont(fonts[i].postScript, tileFontSize), fonts[i].name, tiles);
        tileGroup->addButton(tile, i);
        tileRow->addWidget(tile, 1);
        m_fontTiles.append(tile);
    }
    connect(tileGroup, &QButtonGroup::idClicked, m_model, &SignatureEditorModel::setFontIndex);

    auto* scroller = new QScrollArea(card);
    scroller->setWidget(tiles);
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setStyleSheet(QStringLiteral("background: transparent;"));
    scroller->setFixedHeight(100);
    column->addWidget(scroller);
    column->addStretch();
    return card;
}

QWidget* SignatureEditorView::makeInkRow()
{
    auto* inkRow = new QWidget(this);
    auto* row = new QHBoxLayout(inkRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    auto* label = new QLabel(tr("Ink"), inkRow);
    label->setForegroundRole(QPalette::PlaceholderText);
    row->addWidget(label);
    auto* dots = new QButtonGroup(inkRow);
    dots->setExclusive(true);
    const QList<SignatureInkColor>& colors = signatureInkColors();
    for (int i = 0; i < colors.size(); ++i) {
        auto* dot = new InkDot(colors[i].color, colors[i].name, inkRow);
        dots->addButton(dot, i);
        row->addWidget(dot);
        m_inkDots.append(dot);
    }
    connect(dots, &QButtonGroup::idClicked, m_model, &SignatureEditorModel::pickInkColor);
    row->addStretch();
    m_clearButton = new QPushButton(tr("Clear"), inkRow);
    m_clearButton->setAutoDefault(false);
    connect(m_clearButton, &QPushButton::clicked, m_model, &SignatureEditorModel::clear);
    row->addWidget(m_clearButton);
    return inkRow;
}

QWidget* SignatureEditorView::makeFooter()
{
    auto* footer = new QWidget(this);
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(0, 0, 0, 0);
    auto* note = new QLabel(tr("Saved on this computer only."), footer);
    QFont caption = note->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    note->setFont(caption);
    note->setForegroundRole(QPalette::PlaceholderText);
    row->addWidget(note);
    row->addStretch();

    // Escape reaches QDialog::reject, which is what Cancel does; Return presses the default button.
    m_cancelButton = new QPushButton(tr("Cancel"), footer);
    m_cancelButton->setAutoDefault(false);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    row->addWidget(m_cancelButton);

    m_saveButton = new QPushButton(tr("Save && Place"), footer);
    m_saveButton->setDefault(true);
    connect(m_saveButton, &QPushButton::clicked, this, &SignatureEditorView::save);
    row->addWidget(m_saveButton);
    return footer;
}

void SignatureEditorView::refresh()
{
    const bool typing = m_model->kind() == SignatureEditorModel::Kind::type;
    m_tabs->setCurrentIndex(typing ? typeTab : drawTab);
    if (QAbstractButton* segment = m_kindButtons->button(typing ? typeTab : drawTab))
        segment->setChecked(true);
    m_clearButton->setVisible(!typing);
    m_clearButton->setEnabled(m_model->pad()->hasInk());
    m_saveButton->setEnabled(m_model->canSave());
    for (int i = 0; i < m_inkDots.size(); ++i)
        m_inkDots[i]->setChecked(i == m_model->colorIndex());
    const QString sample = m_model->name().isEmpty() ? tr("Your Name") : m_model->name();
    for (int i = 0; i < m_fontTiles.size(); ++i) {
        m_fontTiles[i]->setSample(sample, m_model->inkColor());
        m_fontTiles[i]->setChecked(i == m_model->fontIndex());
    }
}

void SignatureEditorView::save()
{
    if (!m_model->canSave())
        return;
    const std::optional<SavedSignature> signature = m_model->save();
    if (!signature)
        return; // nothing could be made or stored: the sheet stays as it was
    // Copy the handler first: closing may delete this editor.
    const SaveHandler onSave = m_onSave;
    accept();
    if (onSave)
        onSave(*signature);
}

} // namespace vmk::signatures
