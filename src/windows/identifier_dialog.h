#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// The identifier dialog: one field that takes digits, blanks, "-" and ".", typed or
// pasted, a line under it that says as the user types whether the text is an identifier,
// and a button that is enabled only while the field can hold a complete identifier.
class IdentifierDialog : public QDialog
{
    Q_OBJECT
public:
    explicit IdentifierDialog(QWidget *parent = nullptr);

    // Empties the field and shows the dialog modally; the typed text when the user
    // pressed the button, nothing when the dialog was closed otherwise.
    std::optional<QString> askIdentifier();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Whether a key press may reach the field; the rest are swallowed.
    static bool mayTypeKey(const QKeyEvent &event);
    void onIdentifierEdited();
    void insertFiltered(const QString &text);

    QLabel *identifierLabel_ = nullptr;
    QLineEdit *identifierEdit_ = nullptr;
    QLabel *feedbackLabel_ = nullptr; // what is wrong with the typed identifier, as it is typed
    QPushButton *addButton_ = nullptr;
};
