#include "windows/add.h"

#include "codec/participant_id.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QValidator>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kIdLength = 11; // nine digits and two dashes

bool isIdCharacter(QChar c)
{
    return (c >= u'0' && c <= u'9') || c == u' ' || c == u'-' || c == u'.';
}

// Text that enters the field other than by typing (pasted from the context menu or
// with the middle button, dropped) is cut down to the characters the keys let
// through, so the field never holds anything the key filter would have refused.
class IdCharacterFilter : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override
    {
        QString kept;
        kept.reserve(input.size());
        int keptPos = 0;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (!isIdCharacter(input[i]))
                continue;
            kept += input[i];
            if (i < pos)
                ++keptPos;
        }
        input = kept;
        pos = keptPos;
        return Acceptable;
    }
};

} // namespace

TForm1::TForm1(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Добавить"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
        | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    AddIDLabel = new QLabel(QStringLiteral("Идентификатор (в формате XXX-XXX-XXX):"), this);
    AddIDLabel->setObjectName(QStringLiteral("AddIDLabel"));

    AddID = new QLineEdit(this);
    AddID->setObjectName(QStringLiteral("AddID"));
    AddID->setMaxLength(kIdLength);
    AddID->setValidator(new IdCharacterFilter(AddID));
    AddID->installEventFilter(this);
    AddIDLabel->setBuddy(AddID);

    Button1 = new QPushButton(QStringLiteral("Добавить"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button1->setEnabled(false);

    AddIDLabel->adjustSize();
    const int width = std::max(249, AddIDLabel->width() + 16);
    AddIDLabel->move(8, 8);
    AddID->setGeometry(8, 27, width - 16, 21);
    Button1->setGeometry(width - 83, 54, 75, 25);
    setFixedSize(width, 84);

    connect(AddID, &QLineEdit::textChanged, this, &TForm1::AddIDChange);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

std::optional<QString> TForm1::askIdentifier()
{
    AddID->clear();
    AddIDChange(); // clearing an empty field reports no change
    AddID->setFocus();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return AddID->text();
}

bool TForm1::AddIDKeyPress(const QKeyEvent &event)
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
    return std::all_of(text.begin(), text.end(), isIdCharacter);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == AddID && event->type() == QEvent::KeyPress
        && !AddIDKeyPress(*static_cast<QKeyEvent *>(event))) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// Escape presses the button like Enter does, but only while the button is enabled;
// otherwise the dialog stays open and the user leaves through the close box, which
// gives no identifier.
void TForm1::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (Button1->isEnabled())
            Button1->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm1::AddIDChange()
{
    const QString text = AddID->text();
    if (text.isEmpty()) {
        Button1->setEnabled(false);
        return;
    }
    const QString normalized = QString::fromStdString(NormalizeParticipantId(text.toStdString()));
    // The point counts as a decimal point whatever the desktop's locale, so
    // "1234567.8" is a number below the range rather than an error. A text that is
    // no number at all (a lone "-") simply cannot be an identifier.
    bool isNumber = false;
    const double value = std::trunc(QLocale::c().toDouble(normalized, &isNumber));
    Button1->setEnabled(
        isNumber && normalized.size() == 9 && value > 100000000.0 && value < 999999999.0);
}
