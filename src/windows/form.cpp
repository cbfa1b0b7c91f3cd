#include "windows/form.h"

#include "codec/error.h"
#include "document/subject_catalogue.h"
#include "output/preview_command.h"
#include "output/save_command.h"
#include "picture/picture_import.h"
#include "platform/platform.h"
#include "windows/add.h"
#include "windows/help_texts.h"
#include "windows/memo_edit.h"
#include "windows/participants_page.h"
#include "windows/subj.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

namespace {

const char kWindowCaption[] = "Фестиваль «Ванторела» - Лентар (2010 / 2011) v.2.1.0";
const char kNoSubject[] = "[ Раздел не задан ]";
const char kCloseQuestion[] = "Лентар не сохранен. Сохранить изменения перед выходом?";

template<typename W> W *make(QWidget *parent, const char *name, QRect geometry = {})
{
    auto *widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    if (geometry.isValid())
        widget->setGeometry(geometry);
    return widget;
}

QLabel *label(QWidget *parent, const char *name, int left, int top, const char *text)
{
    auto *l = make<QLabel>(parent, name);
    l->setText(QString::fromUtf8(text));
    l->move(left, top);
    l->adjustSize();
    return l;
}

// A label right before its field, so that a wider font pushes it left, not into the field.
QLabel *labelBefore(QWidget *field, const char *name, const char *text)
{
    QLabel *l = label(field->parentWidget(), name, 0, 0, text);
    l->move(field->x() - 5 - l->width(), field->y() + (field->height() - l->height()) / 2);
    return l;
}

QGroupBox *group(QWidget *parent, const char *name, QRect geometry, const char *caption)
{
    auto *g = make<QGroupBox>(parent, name, geometry);
    g->setTitle(QString::fromUtf8(caption));
    return g;
}

QLineEdit *lineEdit(QWidget *parent, const char *name, QRect geometry, int maxLength)
{
    auto *e = make<QLineEdit>(parent, name, geometry);
    e->setMaxLength(maxLength);
    return e;
}

MemoEdit *memoEdit(QWidget *parent, const char *name, QRect geometry, int maxLength)
{
    auto *e = make<MemoEdit>(parent, name, geometry);
    e->setMaxLength(maxLength);
    return e;
}

// A read-only, borderless, word-wrapped help panel in the colour of its group.
QPlainTextEdit *helpPanel(QWidget *parent, const char *name, QRect geometry, const QString &text)
{
    auto *p = make<QPlainTextEdit>(parent, name, geometry);
    p->setReadOnly(true);
    p->setFrameShape(QFrame::NoFrame);
    p->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    p->setFocusPolicy(Qt::NoFocus);
    QPalette palette = p->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    p->setPalette(palette);
    p->setPlainText(text);
    return p;
}

// Editable fields are white, disabled or read-only ones take the face colour.
void setFieldColour(QWidget *field, bool editable)
{
    QPalette palette = field->palette();
    const QPalette standard = QGuiApplication::palette();
    palette.setColor(QPalette::Base,
        editable ? standard.color(QPalette::Base) : standard.color(QPalette::Button));
    field->setPalette(palette);
}

QPushButton *button(QWidget *parent, const char *name, QRect geometry, const char *caption)
{
    auto *b = make<QPushButton>(parent, name, geometry);
    b->setText(QString::fromUtf8(caption));
    return b;
}

} // namespace

TLentar::TLentar(Platform &platform, QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
            | Qt::WindowCloseButtonHint)
    , platform_(platform)
{
    setObjectName(QStringLiteral("Lentar"));
    setWindowTitle(QString::fromUtf8(kWindowCaption) + QStringLiteral("[*]"));
    setFixedSize(787, 502);

    Subjects = new TSubjects(this);
    Form1 = new TForm1(this);

    SectionsTabs = make<QTabWidget>(this, "SectionsTabs", QRect(0, 0, 785, 465));
    auto *works = make<QWidget>(nullptr, "WorksTSh");
    auto *picture = make<QWidget>(nullptr, "PictureTSh");
    participants = new ParticipantsPage(*Form1, platform_);
    participants->setObjectName(QStringLiteral("Authors_n_teacheersTSh"));
    auto *comments = make<QWidget>(nullptr, "CommentsTSh");
    SectionsTabs->addTab(works, QStringLiteral("Информация о работе"));
    SectionsTabs->addTab(picture, QStringLiteral("Картинка"));
    SectionsTabs->addTab(participants, QStringLiteral("Авторы и руководители"));
    SectionsTabs->addTab(comments, QStringLiteral("Комментарии"));

    buildWorkPage(works);
    buildPicturePage(picture);
    buildCommentsPage(comments);

    Preview = button(this, "Preview", QRect(563, 471, 106, 25), "Предпросмотр");
    SaveButton = button(this, "SaveButton", QRect(680, 471, 99, 25), "Сохранить");
    connect(Preview, &QPushButton::clicked, this, &TLentar::PreviewClick);
    connect(SaveButton, &QPushButton::clicked, this, [this] { SaveButtonClick(); });
    connect(participants, &ParticipantsPage::changed, this, &TLentar::markModified);

    SectionsTabs->setCurrentIndex(0);
    setWindowModified(false);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TLentar::~TLentar() = default;

void TLentar::buildWorkPage(QWidget *page)
{
    auto *info = group(page, "Work_infoGroup", QRect(3, 3, 470, 343), "Общая информация");
    label(info, "TitleLabel", 14, 19, "Название:");
    title = lineEdit(info, "title", QRect(14, 38, 443, 21), Limits::title);
    label(info, "DescriptionLabel", 14, 65, "Описание:");
    description = memoEdit(info, "description", QRect(14, 84, 443, 93), Limits::description);
    label(info, "Tech_requestLabel", 14, 185, "Технические требования:");
    tech_request = lineEdit(info, "tech_request", QRect(14, 203, 443, 21), Limits::tech_request);
    label(info, "ManualLabel", 14, 235, "Порядок знакомства:");
    manual = memoEdit(info, "manual", QRect(14, 254, 443, 75), Limits::manual);

    auto *contacts = group(page, "ContactsGroup", QRect(3, 352, 771, 82), "Контактная информация");
    public_post_index = lineEdit(
        contacts, "public_post_index", QRect(73, 21, 121, 21), Limits::public_post_index);
    labelBefore(public_post_index, "IndexLabel", "Индекс:");
    public_post_address = lineEdit(
        contacts, "public_post_address", QRect(251, 21, 510, 21), Limits::public_post_address);
    labelBefore(public_post_address, "AddressLabel", "Адрес:");
    public_phone = lineEdit(contacts, "public_phone", QRect(73, 48, 244, 21), Limits::public_phone);
    labelBefore(public_phone, "PhoneLabel", "Телефон:");
    public_email
        = lineEdit(contacts, "public_email", QRect(390, 48, 371, 21), Limits::public_email);
    labelBefore(public_email, "EmailLabel", "Эл. почта:");

    auto *subject = group(page, "Subject", QRect(485, 194, 289, 152), "Раздел");
    label(subject, "Label5", 16, 16, "Работа отнесена к разделу(ам):");
    for (int k = 0; k < kSubjectSlots; ++k) {
        const QByteArray name = "subj" + QByteArray::number(k + 1);
        subj[k] = make<QLabel>(subject, name.constData(), QRect(30, 35 + 19 * k, 253, 17));
    }
    // The last line runs beside the button.
    subj[kSubjectSlots - 1]->resize(182, 17);
    Button3 = button(subject, "Button3", QRect(216, 120, 64, 24), "Выбрать");
    connect(Button3, &QPushButton::clicked, this, &TLentar::Button3Click);
    showSubjects(subjectSlots_);

    auto *help = group(page, "Help", QRect(485, 3, 289, 185), "Помощь");
    HelpMemo = helpPanel(help, "HelpMemo", QRect(7, 18, 275, 160), HelpText(kTitleHelp));

    const QString contactsHelp = HelpText(kContactsHelp);
    helpFor_ = {
        { title, HelpText(kTitleHelp) },
        { description, HelpText(kDescriptionHelp) },
        { tech_request, HelpText(kTechRequestHelp) },
        { manual, HelpText(kManualHelp) },
        { public_post_index, contactsHelp },
        { public_post_address, contactsHelp },
        { public_phone, contactsHelp },
        { public_email, contactsHelp },
    };
    for (QObject *field : helpFor_.keys())
        field->installEventFilter(this);
    description->viewport()->installEventFilter(this);
    manual->viewport()->installEventFilter(this);

    for (QLineEdit *edit :
        { title, tech_request, public_post_index, public_post_address, public_phone, public_email })
        connect(edit, &QLineEdit::textChanged, this, &TLentar::markModified);
    for (MemoEdit *edit : { description, manual })
        connect(edit, &QPlainTextEdit::textChanged, this, &TLentar::markModified);
}

void TLentar::buildPicturePage(QWidget *page)
{
    auto *box = group(page, "GroupBox3", QRect(3, 3, 350, 431), "Изображение к работе");
    auto *bevel = make<QFrame>(box, "Bevel1", QRect(15, 23, 316, 316));
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    WorkImg = make<QLabel>(box, "WorkImg", QRect(23, 30, 300, 300));
    WorkImg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    drawPlaceholder(true);

    label(box, "WorkImgSignLabel", 15, 343, "Подпись к картинке");
    WorkImgSign = lineEdit(box, "WorkImgSign", QRect(15, 360, 316, 21), 32767);
    WorkImgSign->setEnabled(false);
    setFieldColour(WorkImgSign, false);
    connect(WorkImgSign, &QLineEdit::textChanged, this, &TLentar::markModified);

    AddImg = button(box, "AddImg", QRect(175, 387, 75, 25), "Добавить");
    DelImg = button(box, "DelImg", QRect(256, 387, 75, 25), "Удалить");
    DelImg->setEnabled(false);
    connect(AddImg, &QPushButton::clicked, this, &TLentar::AddImgClick);
    connect(DelImg, &QPushButton::clicked, this, &TLentar::DelImgClick);

    auto *help = group(page, "GroupBox4", QRect(359, 3, 415, 431), "Помощь");
    helpPanel(help, "Memo5", QRect(7, 18, 401, 405), HelpText(kPictureHelp));
}

void TLentar::buildCommentsPage(QWidget *page)
{
    label(page, "Label1", 3, 3, "Комментарии:");
    Notes = memoEdit(page, "Notes", QRect(3, 22, 470, 403), Limits::notes);
    connect(Notes, &QPlainTextEdit::textChanged, this, &TLentar::markModified);
    auto *help = group(page, "GroupBox2", QRect(479, 16, 295, 410), "Помощь");
    helpPanel(help, "Memo2", QRect(7, 18, 281, 160), HelpText(kCommentsHelp));
}

bool TLentar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress) {
        QObject *field = watched;
        if (watched == description->viewport())
            field = description;
        else if (watched == manual->viewport())
            field = manual;
        const auto help = helpFor_.constFind(field);
        if (help != helpFor_.constEnd())
            showHelp(*help);
    }
    return QWidget::eventFilter(watched, event);
}

void TLentar::showHelp(const QString &text)
{
    if (HelpMemo->toPlainText() != text)
        HelpMemo->setPlainText(text);
}

void TLentar::titleClick()
{
    showHelp(helpFor_.value(title));
}

void TLentar::descriptionClick()
{
    showHelp(helpFor_.value(description));
}

void TLentar::tech_requestClick()
{
    showHelp(helpFor_.value(tech_request));
}

void TLentar::manualClick()
{
    showHelp(helpFor_.value(manual));
}

void TLentar::public_post_indexClick()
{
    showHelp(helpFor_.value(public_post_index));
}

LentarDocument TLentar::document() const
{
    LentarDocument doc;
    doc.title = title->text();
    doc.description = description->text();
    doc.tech_request = tech_request->text();
    doc.manual = manual->text();
    doc.subject_slots = subjectSlots_;
    doc.author_list = participants->authors();
    doc.leader_list = participants->leaders();
    doc.InvoiceLeader = participants->invoiceLeader();
    doc.public_post_index = public_post_index->text();
    doc.public_post_address = public_post_address->text();
    doc.public_phone = public_phone->text();
    doc.public_email = public_email->text();
    doc.picture = picture_;
    doc.picture.caption = picture_.present ? WorkImgSign->text() : QString();
    doc.Notes = Notes->text();
    return doc;
}

void TLentar::setDocument(const LentarDocument &doc)
{
    title->setText(doc.title);
    description->setText(doc.description);
    tech_request->setText(doc.tech_request);
    manual->setText(doc.manual);
    public_post_index->setText(doc.public_post_index);
    public_post_address->setText(doc.public_post_address);
    public_phone->setText(doc.public_phone);
    public_email->setText(doc.public_email);
    Notes->setText(doc.Notes);
    Subjects->setChosen(doc.subject_slots);
    showSubjects(doc.subject_slots);
    participants->setParticipants(doc.author_list, doc.leader_list, doc.InvoiceLeader);
    if (doc.picture.present) {
        const QImage pixels = QImage::fromData(QByteArray::fromBase64(doc.picture.base64), "JPEG");
        showPicture(doc.picture, pixels.isNull() ? nullptr : &pixels);
    } else if (picture_.present) {
        DelImgClick();
    }
}

void TLentar::Button3Click()
{
    if (Subjects->exec() != QDialog::Accepted)
        return;
    showSubjects(Subjects->chosenSlots());
    markModified();
}

void TLentar::showSubjects(const std::array<int, kSubjectSlots> &chosen)
{
    subjectSlots_ = chosen;
    subj[0]->setText(QString::fromUtf8(kNoSubject));
    for (int k = 1; k < kSubjectSlots; ++k)
        subj[k]->clear();
    for (int k = 0; k < kSubjectSlots; ++k) {
        if (chosen[k] != 0)
            subj[k]->setText(SubjectCatalogue::caption(chosen[k]));
    }
}

void TLentar::drawPlaceholder(bool withText)
{
    QPixmap surface(300, 300);
    surface.fill(Qt::white);
    if (withText) {
        QPainter painter(&surface);
        painter.setPen(Qt::black);
        painter.drawText(
            QRect(130, 148, 170, 152), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("300 x 300"));
    }
    WorkImg->resize(300, 300);
    WorkImg->setPixmap(surface);
}

void TLentar::showPicture(const WorkImage &image, const QImage *pixels)
{
    picture_ = image;
    WorkImg->resize(image.width, image.height);
    if (pixels) {
        WorkImg->setPixmap(QPixmap::fromImage(*pixels));
    } else {
        QPixmap blank(image.width, image.height);
        blank.fill(Qt::white);
        WorkImg->setPixmap(blank);
    }
    WorkImgSign->setEnabled(true);
    setFieldColour(WorkImgSign, true);
    WorkImgSign->setText(image.caption);
    DelImg->setEnabled(true);
    AddImg->setEnabled(false);
}

void TLentar::AddImgClick()
{
    // Decoding a big photograph takes a moment; the cursor shows it, and is restored
    // before an error is shown.
    struct BusyCursor
    {
        BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
        ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
        BusyCursor(const BusyCursor &) = delete;
        BusyCursor &operator=(const BusyCursor &) = delete;
    };
    guarded([this] {
        const std::optional<QString> path = ChoosePicture(platform_);
        if (!path)
            return;
        std::optional<ImportedPicture> imported;
        {
            const BusyCursor busy;
            imported = ImportPicture(*path, platform_.tempFolder());
        }
        const RgbImage &rgb = imported->image;
        const QImage pixels
            = QImage(rgb.rgb.data(), rgb.width, rgb.height, rgb.width * 3, QImage::Format_RGB888)
                  .copy();
        WorkImage image;
        image.present = true;
        image.base64 = imported->base64;
        image.width = rgb.width;
        image.height = rgb.height;
        showPicture(image, &pixels);
        markModified();
    });
}

void TLentar::DelImgClick()
{
    drawPlaceholder(false);
    WorkImgSign->setEnabled(false);
    WorkImgSign->clear();
    setFieldColour(WorkImgSign, false);
    DelImg->setEnabled(false);
    AddImg->setEnabled(true);
    picture_ = WorkImage {};
    markModified();
}

void TLentar::PreviewClick()
{
    PreviewLentar(document(), platform_);
}

bool TLentar::SaveButtonClick()
{
    bool saved = false;
    guarded([&] { saved = SaveLentar(document(), platform_); });
    if (saved)
        setWindowModified(false);
    return saved;
}

void TLentar::closeEvent(QCloseEvent *event)
{
    if (!isWindowModified()) {
        event->accept();
        return;
    }
    const MessageAnswer answer = platform_.showMessage(QString::fromUtf8(kCloseQuestion),
        QString::fromUtf8(kApplicationTitle), MessageIcon::Question,
        MessageButtons::SaveDiscardCancel);
    if (answer == MessageAnswer::Discard || (answer == MessageAnswer::Save && SaveButtonClick()))
        event->accept();
    else
        event->ignore();
}

void TLentar::markModified()
{
    setWindowModified(true);
}

void TLentar::guarded(const std::function<void()> &body)
{
    try {
        body();
    } catch (const std::exception &error) {
        ShowStandardError(platform_, QString::fromUtf8(error.what()));
    } catch (...) {
        ShowStandardError(platform_, QString());
    }
}
