#include "chrome/ScanBanner.h"

#include "chrome/ChromeStyle.h"

#include "editor/Editor.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace vmk::chrome {

ScanBanner::ScanBanner(Editor* editor, QWidget* parent)
    : GlassSurface(GlassShape::capsule(), parent), m_editor(editor)
{
    setObjectName(QStringLiteral("ScanBanner"));
    auto* row = new QHBoxLayout(this);
    const int m = glassShadowMargin();
    row->setContentsMargins(m + 14, m + 8, m + 12, m + 8);
    row->setSpacing(10);

    const QFont font = calloutFont();
    const int symbolSize = QFontMetrics(font).height();
    auto* symbol = makeSymbolLabel(QStringLiteral("text.viewfinder"), symbolSize, accentColor(palette()), this);
    auto* text = new QLabel(QStringLiteral("Looks like a scan. Want it searchable?"), this);
    text->setFont(font);
    m_make = new QPushButton(QStringLiteral("Make Searchable"), this);
    m_make->setFocusPolicy(Qt::NoFocus);
    m_make->setFont(captionFont());
    applyProminentButton(m_make);
    m_close = makeSymbolButton(QStringLiteral("xmark"), QStringLiteral("Not now"), 10, this, secondaryTextColor(palette()));

    row->addWidget(symbol, 0, Qt::AlignVCenter);
    row->addWidget(text, 0, Qt::AlignVCenter);
    row->addWidget(m_make, 0, Qt::AlignVCenter);
    row->addWidget(m_close, 0, Qt::AlignVCenter);

    connect(m_make, &QPushButton::clicked, this, [this] {
        if (m_editor)
            m_editor->makeSearchable();
    });
    connect(m_close, &QToolButton::clicked, this, [this] {
        if (m_editor)
            m_editor->setShowScanSuggestion(false);
    });
}

} // namespace vmk::chrome
