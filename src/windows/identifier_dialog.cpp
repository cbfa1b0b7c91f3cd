#include "windows/identifier_dialog.h"

#include "codec/participant_id.h"
#include "windows/controls.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QValidator>

#include <algorithm>

namespace {

constexpr int kIdLength = 11; // nine digits and two dashes

bool isIdCharacter(QChar c)
{
    return (c >= u'0' && c <= u'9') || c == u' ' || c == u'-' || c == u'.';
}

QString keepIdCharacters(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text) {
        if (isIdCharacter(c))
            kept += c;
    }
    return kept;
}

// Text that reaches the field without passing the key filter or the paste below
// (committed by an input method, for instance) is cut down to the characters the
// keys let through, so the field never holds anything the key filter would have
// refused.
class IdCharacterFilter : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override
    {
        int keptPos = 0;
        for (qsizetype i = 0; i < pos && i < input.size(); ++i) {
            if (isIdCharacter(input[i]))
                ++keptPos;
        }
        input = keepIdCharacters(input);
        pos = keptPos;
        return Acceptable;
    }
};

// The button takes nine digits strictly between 100000000 and 999999999 (digit
// strings of one length compare as their numbers do).
bool IsTakenAsIdentifier(const ParsedParticipantId &parsed)
{
    return parsed.shape != IdShape::NotNineDigits && parsed.digits > "100000000"
        && parsed.digits < "999999999";
}

const char kWrongCheckDigits[] = "В номере ошибка: сверьте цифры с документами участника.";

// What the line under the field says about the typed text, parsed.
QString IdentifierFeedback(const QString &typed, const ParsedParticipantId &parsed)
{
    if (typed.isEmpty())
        return {};
    const auto digits
        = std::count_if(typed.begin(), typed.end(), [](QChar c) { return c.isDigit(); });
    if (digits != 9)
        return QStringLiteral("Номер участника — девять цифр, введено: %1.").arg(digits);
    if (!IsTakenAsIdentifier(parsed))
        return QStringLiteral("Такого номера не бывает.");
    if (parsed.shape == IdShape::WrongCheckDigits)
        return QString::fromUtf8(kWrongCheckDigits);
    return QStringLiteral("Номер верен.");
}

} // namespace

IdentifierDialog::IdentifierDialog(QWidget *parent)
    : QDialog(parent)
{
    SetUpFixedDialog(*this, "Form1", QStringLiteral("Добавить"));

    identifierEdit_ = MakeControl<QLineEdit>(this, "AddID");
    identifierEdit_->setMaxLength(kIdLength);
    identifierEdit_->setValidator(new IdCharacterFilter(identifierEdit_));
    identifierEdit_->installEventFilter(this);
    identifierLabel_ = MakeLabel(this, "AddIDLabel",
        QStringLiteral("Идентификатор (в формате XXX-XXX-XXX):"), {}, identifierEdit_);

    feedbackLabel_ = MakeControl<QLabel>(this, "AddIDFeedback");
    addButton_ = MakeButton(this, "Button1", {}, QStringLiteral("Добавить"));
    addButton_->setDefault(true);
    addButton_->setEnabled(false);

    // The feedback takes one line under the field, as wide as its longest text.
    const QFontMetrics metrics = feedbackLabel_->fontMetrics();
    const int feedbackWidth = metrics.horizontalAdvance(QString::fromUtf8(kWrongCheckDigits));
    const int width = std::max({ 249, identifierLabel_->width() + 16, feedbackWidth + 16 });
    identifierLabel_->move(8, 8);
    identifierEdit_->setGeometry(8, 27, width - 16, 21);
    feedbackLabel_->setGeometry(8, 52, width - 16, metrics.height());
    const int buttonTop = feedbackLabel_->geometry().bottom() + 6;
    addButton_->setGeometry(width - 83, buttonTop, 75, 25);
    setFixedSize(width, buttonTop + 30);

    connect(identifierEdit_, &QLineEdit::textChanged, this, &IdentifierDialog::onIdentifierEdited);
    connect(addButton_, &QPushButton::clicked, this, &QDialog::accept);
}

std::optional<QString> IdentifierDialog::askIdentifier()
{
    identifierEdit_->clear();
    onIdentifierEdited(); // clearing an empty field reports no change
    identifierEdit_->setFocus();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return identifierEdit_->text();
}

// Each showing starts a fresh edit: the field's undo must not bring back what was
// typed the last time the dialog was open.
void IdentifierDialog::showEvent(QShowEvent *event)
{
    identifierEdit_->setText(identifierEdit_->text()); // setting the text drops the undo history
    QDialog::showEvent(event);
}

bool IdentifierDialog::mayTypeKey(const QKeyEvent &event)
{
    switch (event.key()) {
    // Keys the dialog or the field act on without typing a character.
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    default:
        break;
    }
    const QString text = event.text();
    if (text.isEmpty())
        return true; // cursor movement and the like
    if (std::all_of(text.begin(), text.end(), isIdCharacter))
        return true;
    // Shortcuts (copy, cut, select all, undo, ...): the field never types a
    // character for Ctrl or Ctrl+Shift, whatever text the keyboard attaches, nor
    // for a command key that carries only control characters. Ctrl+Alt is AltGr
    // on some keyboards, which types symbols, so it is judged by its text above.
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return true;
    const bool commandKey
        = (modifiers & (Qt::ControlModifier | Qt::MetaModifier)) && !(modifiers & Qt::AltModifier);
    return commandKey
        && std::none_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

// Pasted or dropped text keeps only what could have been typed, without the blanks
// that are left at its ends (a label such as "ID: " leaves one); only then does the
// field's length limit cut it. One undo step takes it back.
void IdentifierDialog::insertFiltered(const QString &text)
{
    const QString kept = keepIdCharacters(text).trimmed();
    if (!kept.isEmpty())
        identifierEdit_->insert(kept);
}

bool IdentifierDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != identifierEdit_)
        return QDialog::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Paste)) {
            insertFiltered(QGuiApplication::clipboard()->text());
            return true;
        }
        if (!mayTypeKey(*key))
            return true;
        break;
    }
    case QEvent::ContextMenu: {
        // The usual menu, with its Paste going through the same filter.
        QMenu *menu = identifierEdit_->createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        const QString pasteText = QLineEdit::tr("&Paste");
        for (QAction *action : menu->actions()) {
            if (!action->text().startsWith(pasteText))
                continue;
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this,
                [this] { insertFiltered(QGuiApplication::clipboard()->text()); });
        }
        menu->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        // The middle button pastes the primary selection where it is supported.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (mouse->button() == Qt::MiddleButton && clipboard->supportsSelection()) {
            identifierEdit_->deselect();
            insertFiltered(clipboard->text(QClipboard::Selection));
            return true;
        }
        break;
    }
    case QEvent::Drop: {
        // Text dragged in from elsewhere; a move inside the field is left to it.
        auto *drop = static_cast<QDropEvent *>(event);
        if (drop->source() == identifierEdit_ || !drop->mimeData()->hasText())
            break;
        identifierEdit_->setCursorPosition(
            identifierEdit_->cursorPositionAt(drop->position().toPoint()));
        insertFiltered(drop->mimeData()->text());
        drop->acceptProposedAction();
        return true;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void IdentifierDialog::onIdentifierEdited()
{
    const QString text = identifierEdit_->text();
    const ParsedParticipantId parsed = ParseParticipantId(text.toStdString());
    // A screen reader reads the feedback with the field.
    feedbackLabel_->setText(IdentifierFeedback(text, parsed));
    identifierEdit_->setAccessibleDescription(feedbackLabel_->text());
    addButton_->setEnabled(IsTakenAsIdentifier(parsed));
}
