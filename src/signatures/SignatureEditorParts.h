#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QWidget>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;

namespace vmk::signatures {

class SignaturePadModel;
class SignaturePadView;

// The white rounded card the drawing pad and the name field sit on.
class SignatureCard : public QWidget {
    Q_OBJECT
public:
    explicit SignatureCard(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The drawing tab: the signing line with its "×", a placeholder while the pad is empty, and the pad on top.
class SignatureDrawArea : public SignatureCard {
    Q_OBJECT
public:
    SignatureDrawArea(SignaturePadModel* pad, QWidget* parent = nullptr);

    SignaturePadView* padView() const { return m_padView; }
    QLabel* placeholder() const { return m_placeholder; }
    // Whether the placeholder is shown or fading in (false as soon as it starts fading out).
    bool isPlaceholderShown() const { return m_placeholderShown; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showPlaceholder(bool shown);

    SignaturePadView* m_padView;
    QLabel* m_placeholder;
    QGraphicsOpacityEffect* m_placeholderOpacity;
    QPropertyAnimation* m_placeholderFade;
    bool m_placeholderShown = true;
};

// A round swatch that picks an ink.
class InkDot : public QAbstractButton {
    Q_OBJECT
public:
    InkDot(const QColor& color, const QString& name, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};

// A tile showing the name in one handwriting font; checked when that font is chosen.
class FontTile : public QAbstractButton {
    Q_OBJECT
public:
    FontTile(const QFont& font, const QString& fontName, QWidget* parent = nullptr);

    void setSample(const QString& text, const QColor& color);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont m_font;
    QColor m_color;
};

} // namespace vmk::signatures
