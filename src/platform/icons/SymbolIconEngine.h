#pragma once

// Private to the symbol icons: a QIcon that draws its symbol afresh at whatever size and scale it is asked
// for, so it stays sharp on any screen.

#include <QColor>
#include <QIconEngine>
#include <QString>

namespace vmk::platform::symbols {

class SymbolIconEngine : public QIconEngine {
public:
    SymbolIconEngine(const QString& name, const QColor& tint, const QSize& logicalSize);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QString iconName() override;
    QString key() const override;
    QIconEngine* clone() const override;

    // Disabled icons are drawn faded, as the platform's style would do to a bitmap.
    static QColor tintFor(const QColor& tint, QIcon::Mode mode);

private:
    QString m_name;
    QColor m_tint;
    QSize m_logicalSize;
};

} // namespace vmk::platform::symbols
