#pragma once

#include "chrome/Glass.h"

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vmk {
class Editor;
}

namespace vmk::chrome {

class SpringValue;

// The card title of a locked document: “name” is locked, with "This PDF" when there is no name.
QString unlockTitle(const QString& displayName);

// The lock symbol, which bounces each time it is told to.
class BouncingSymbol : public QWidget {
    Q_OBJECT
public:
    BouncingSymbol(const QString& symbol, int size, QWidget* parent = nullptr);
    void bounce();
    int bounceCount() const { return m_bounces; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    int m_size;
    int m_bounces = 0;
    double m_lift = 0;
    QVariantAnimation m_hop;
};

// What a locked document's window shows in place of its pages: a card that asks for the password.
// A right password unlocks the document through the editor; a wrong one empties the field, turns the
// hint red, shakes the field sideways and bounces the lock. No attempt is counted or refused.
class UnlockView : public QWidget {
    Q_OBJECT
public:
    explicit UnlockView(Editor* editor, QWidget* parent = nullptr);

    void setReduceMotionProvider(std::function<bool()> provider) { m_reduceMotion = std::move(provider); }

    QLineEdit* passwordField() const { return m_field; }
    QPushButton* unlockButton() const { return m_unlock; }
    QLabel* titleLabel() const { return m_title; }
    QLabel* hintLabel() const { return m_hint; }
    BouncingSymbol* lockSymbol() const { return m_lock; }
    GlassSurface* card() const { return m_card; }
    bool isWrong() const { return m_wrong; }
    // The shake's target: 10 just after a failure, 0 at rest.
    double shake() const { return m_shake; }
    // Where the field is drawn now, in points right of its place.
    double fieldOffset() const;

    // Return in the field or the Unlock button.
    void attemptUnlock();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool reduceMotion() const;
    void setShake(double value, double response, double damping);
    void placeField();

    QPointer<Editor> m_editor;
    std::function<bool()> m_reduceMotion;
    GlassSurface* m_card = nullptr;
    BouncingSymbol* m_lock = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_hint = nullptr;
    QWidget* m_fieldSlot = nullptr;
    QLineEdit* m_field = nullptr;
    QPushButton* m_unlock = nullptr;
    SpringValue* m_offset = nullptr;
    bool m_wrong = false;
    double m_shake = 0;
};

} // namespace vmk::chrome
