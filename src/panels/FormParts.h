#pragma once

#include <QFrame>
#include <QString>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace vmk::panels {

// One section of a grouped form: an optional header above a rounded card whose rows stack top to
// bottom. A labelled row puts its label at the leading edge and its control at the trailing edge.
class FormSection : public QWidget {
    Q_OBJECT
public:
    explicit FormSection(const QString& header = QString(), QWidget* parent = nullptr);

    QString header() const { return m_headerText; }
    QLabel* headerLabel() const { return m_header; }
    // A row "label … control"; the row's accessible name is the label.
    QWidget* addRow(const QString& label, QWidget* control);
    // A row that is the widget alone, stretched to the card's width.
    void addWidget(QWidget* widget);
    // The card's rows (labelled rows and plain widgets) in order.
    QList<QWidget*> rows() const;

private:
    QString m_headerText;
    QLabel* m_header = nullptr;
    QFrame* m_card = nullptr;
    QVBoxLayout* m_cardLayout = nullptr;
};

// The label of a labelled row of a section, or null when the section has none by that title.
QWidget* findRow(const FormSection* section, const QString& label);

// The placeholder of an empty list: a large symbol, a title and a description, centred.
class EmptyStateView : public QWidget {
    Q_OBJECT
public:
    EmptyStateView(const QString& symbol, const QString& title, const QString& description, QWidget* parent = nullptr);
    QString title() const { return m_title; }
    QString description() const { return m_description; }
    void setContent(const QString& symbol, const QString& title, const QString& description);

private:
    QLabel* m_symbol;
    QLabel* m_titleLabel;
    QLabel* m_descriptionLabel;
    QString m_title;
    QString m_description;
};

// Caption-sized secondary text that wraps.
QLabel* makeCaption(const QString& text, QWidget* parent = nullptr);

} // namespace vmk::panels
