#include "windows/main_window.h"

#include "codec/error.h"
#include "document/subject_catalogue.h"
#include "lentar_version.h"
#include "output/open_command.h"
#include "output/preview_command.h"
#include "output/recovery.h"
#include "output/save_command.h"
#include "picture/picture_import.h"
#include "platform/platform.h"
#include "spell/spell_checker.h"
#include "spell/spell_highlighter.h"
#include "windows/controls.h"
#include "windows/help_panel.h"
#include "windows/help_texts.h"
#include "windows/identifier_dialog.h"
#include "windows/line_edit.h"
#include "windows/memo_edit.h"
#include "windows/participants_page.h"
#include "windows/subject_dialog.h"

#include <QAbstractScrollArea>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QUrl>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

const char kWindowCaptionStart[] = "Фестиваль «Ванторела» - Лентар (2010 / 2011) v.";
const char kNoSubject[] = "[ Раздел не задан ]";
const char kCloseQuestion[] = "Лентар не сохранен. Сохранить изменения перед выходом?";
const char kOpenQuestion[]
    = "Лентар не сохранен. Сохранить изменения перед открытием другого лентара?";

// The chosen subjects' names, one under another, inside the group "Раздел".
constexpr int kSubjectLeft = 30;
constexpr int kSubjectTop = 35;
constexpr int kSubjectPitch = 19;

QLineEdit *lineEdit(QWidget *parent, const char *name, QRect geometry, int maxLength)
{
    auto *e = MakeControl<QLineEdit>(parent, name, geometry);
    e->setMaxLength(maxLength);
    return e;
}

template<typename Edit = MemoEdit>
Edit *memoEdit(QWidget *parent, const char *name, QRect geometry, int maxLength)
{
    auto *e = MakeControl<Edit>(parent, name, geometry);
    e->setMaxLength(maxLength);
    return e;
}

// A label right before its field, so that a wider font pushes it left, not into the field.
QLabel *labelBefore(QWidget *field, const char *name, const char *text)
{
    QLabel *l = MakeLabel(field->parentWidget(), name, QString::fromUtf8(text), {}, field);
    l->move(field->x() - 5 - l->width(), field->y() + (field->height() - l->height()) / 2);
    return l;
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

// Height a subject's name takes in a label of the given width, wrapped at word ends.
int subjectHeight(const QLabel &label, const QString &text, int width)
{
    const QRect needed = label.fontMetrics().boundingRect(
        QRect(0, 0, width, 10000), Qt::AlignLeft | Qt::TextWordWrap, text);
    return std::max(kSubjectPitch, needed.height() + 5);
}

QImage ToQImage(const RgbImage &rgb)
{
    return QImage(rgb.rgb.data(), rgb.width, rgb.height, rgb.width * 3, QImage::Format_RGB888)
        .copy();
}

// The lentar file a drag carries: the first local file whose name ends with ".lnr.xml".
QString DraggedLentar(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return {};
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile() && HasLentarExtension(url.fileName()))
            return url.toLocalFile();
    }
    return {};
}

} // namespace

MainWindow::MainWindow(Platform &platform, QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
            | Qt::WindowCloseButtonHint)
    , platform_(platform)
{
    recovery_ = new RecoveryKeeper(
        platform_,
        [this] {
            return RecoveryContent { document(), currentFile_ };
        },
        {}, this);
    setObjectName(QStringLiteral("Lentar"));
    showFileName();
    setFixedSize(787, 502);

    subjectDialog_ = new SubjectDialog(this);
    spellChecker_ = new SpellChecker(this);
    identifierDialog_ = new IdentifierDialog(this);

    pages_ = MakeControl<QTabWidget>(this, "SectionsTabs", QRect(0, 0, 785, 465));
    auto *works = MakeControl<QWidget>(nullptr, "WorksTSh");
    auto *picture = MakeControl<QWidget>(nullptr, "PictureTSh");
    participantsPage_ = new ParticipantsPage(*identifierDialog_, platform_);
    participantsPage_->setObjectName(QStringLiteral("Authors_n_teacheersTSh"));
    auto *comments = MakeControl<QWidget>(nullptr, "CommentsTSh");
    pages_->addTab(works, QStringLiteral("Информация о работе"));
    pages_->addTab(picture, QStringLiteral("Картинка"));
    pages_->addTab(participantsPage_, QStringLiteral("Авторы и руководители"));
    pages_->addTab(comments, QStringLiteral("Комментарии"));

    buildWorkPage(works);
    buildPicturePage(picture);
    buildCommentsPage(comments);

    openButton_
        = MakeButton(this, "OpenButton", QRect(453, 471, 99, 25), QStringLiteral("Открыть"));
    previewButton_
        = MakeButton(this, "Preview", QRect(563, 471, 106, 25), QStringLiteral("Предпросмотр"));
    saveButton_
        = MakeButton(this, "SaveButton", QRect(680, 471, 99, 25), QStringLiteral("Сохранить"));
    connect(openButton_, &QPushButton::clicked, this, &MainWindow::onOpen);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this), &QShortcut::activated, this,
        &MainWindow::onOpen);
    connect(previewButton_, &QPushButton::clicked, this, &MainWindow::onPreview);
    connect(saveButton_, &QPushButton::clicked, this, [this] { onSave(); });
    connect(participantsPage_, &ParticipantsPage::changed, this, &MainWindow::markModified);

    // A lentar file dropped anywhere on the pages opens, also on a text field, which
    // would otherwise take the file's address as text.
    setAcceptDrops(true);
    for (QWidget *child : pages_->findChildren<QWidget *>()) {
        if (!child->acceptDrops())
            continue;
        child->installEventFilter(this);
        // A multi-line field gets its drops through its viewport.
        if (auto *area = qobject_cast<QAbstractScrollArea *>(child))
            area->viewport()->installEventFilter(this);
    }

    pages_->setCurrentIndex(0);
    // Typing starts in the title; the tab bar would hold the focus without showing it.
    titleEdit_->setFocus();
    setWindowModified(false);
    recovery_->forget();

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

MainWindow::~MainWindow() = default;

void MainWindow::buildWorkPage(QWidget *page)
{
    auto *info = MakeGroup(
        page, "Work_infoGroup", QRect(3, 3, 470, 343), QStringLiteral("Общая информация"));
    titleEdit_ = memoEdit<LineEdit>(info, "title", QRect(14, 38, 443, 21), Limits::title);
    MakeLabel(info, "TitleLabel", QStringLiteral("Название:"), { 14, 19 }, titleEdit_);
    descriptionEdit_ = memoEdit(info, "description", QRect(14, 84, 443, 93), Limits::description);
    MakeLabel(info, "DescriptionLabel", QStringLiteral("Описание:"), { 14, 65 }, descriptionEdit_);
    techRequestEdit_
        = memoEdit<LineEdit>(info, "tech_request", QRect(14, 203, 443, 21), Limits::techRequest);
    MakeLabel(info, "Tech_requestLabel", QStringLiteral("Технические требования:"), { 14, 185 },
        techRequestEdit_);
    manualEdit_ = memoEdit(info, "manual", QRect(14, 254, 443, 75), Limits::manual);
    MakeLabel(info, "ManualLabel", QStringLiteral("Порядок знакомства:"), { 14, 235 }, manualEdit_);

    auto *contacts = MakeGroup(
        page, "ContactsGroup", QRect(3, 352, 771, 82), QStringLiteral("Контактная информация"));
    postIndexEdit_
        = lineEdit(contacts, "public_post_index", QRect(73, 21, 121, 21), Limits::publicPostIndex);
    labelBefore(postIndexEdit_, "IndexLabel", "Индекс:");
    postAddressEdit_ = lineEdit(
        contacts, "public_post_address", QRect(251, 21, 510, 21), Limits::publicPostAddress);
    labelBefore(postAddressEdit_, "AddressLabel", "Адрес:");
    phoneEdit_ = lineEdit(contacts, "public_phone", QRect(73, 48, 244, 21), Limits::publicPhone);
    labelBefore(phoneEdit_, "PhoneLabel", "Телефон:");
    emailEdit_ = lineEdit(contacts, "public_email", QRect(390, 48, 371, 21), Limits::publicEmail);
    labelBefore(emailEdit_, "EmailLabel", "Эл. почта:");

    subjectGroup_ = MakeGroup(page, "Subject", QRect(485, 194, 289, 152), QStringLiteral("Раздел"));
    MakeLabel(
        subjectGroup_, "Label5", QStringLiteral("Работа отнесена к разделу(ам):"), { 16, 16 });
    for (int k = 0; k < kSubjectSlots; ++k) {
        const QByteArray name = "subj" + QByteArray::number(k + 1);
        subjectLabels_[k] = MakeControl<QLabel>(subjectGroup_, name.constData());
        subjectLabels_[k]->setWordWrap(true);
    }
    chooseSubjectsButton_
        = MakeButton(subjectGroup_, "Button3", QRect(216, 120, 64, 24), QStringLiteral("Выбрать"));
    connect(chooseSubjectsButton_, &QPushButton::clicked, this, &MainWindow::onChooseSubjects);

    helpGroup_ = MakeGroup(page, "Help", QRect(485, 3, 289, 185), QStringLiteral("Помощь"));
    helpPanel_ = new HelpPanel(helpGroup_, "HelpMemo", HelpText(kTitleHelp));
    fitSubjectGroup();
    showSubjects(subjectSlots_);

    const QString contactsHelp = HelpText(kContactsHelp);
    helpFor_ = {
        { titleEdit_, HelpText(kTitleHelp) },
        { descriptionEdit_, HelpText(kDescriptionHelp) },
        { techRequestEdit_, HelpText(kTechRequestHelp) },
        { manualEdit_, HelpText(kManualHelp) },
        { postIndexEdit_, contactsHelp },
        { postAddressEdit_, contactsHelp },
        { phoneEdit_, contactsHelp },
        { emailEdit_, contactsHelp },
    };
    for (QObject *field : helpFor_.keys())
        field->installEventFilter(this);
    const std::initializer_list<MemoEdit *> texts
        = { titleEdit_, descriptionEdit_, techRequestEdit_, manualEdit_ };
    for (MemoEdit *edit : texts)
        edit->viewport()->installEventFilter(this);

    for (QLineEdit *edit : { postIndexEdit_, postAddressEdit_, phoneEdit_, emailEdit_ })
        connect(edit, &QLineEdit::textChanged, this, &MainWindow::markModified);
    for (MemoEdit *edit : texts) {
        connect(edit, &MemoEdit::edited, this, &MainWindow::markModified);
        checkSpelling(edit);
    }
}

void MainWindow::buildPicturePage(QWidget *page)
{
    auto *box = MakeGroup(
        page, "GroupBox3", QRect(3, 3, 350, 431), QStringLiteral("Изображение к работе"));
    auto *bevel = MakeControl<QFrame>(box, "Bevel1", QRect(15, 23, 316, 316));
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pictureView_ = MakeControl<QLabel>(box, "WorkImg", QRect(23, 30, 300, 300));
    pictureView_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    drawPlaceholder(true);

    captionEdit_ = memoEdit<LineEdit>(box, "WorkImgSign", QRect(15, 360, 316, 21), 32767);
    MakeLabel(
        box, "WorkImgSignLabel", QStringLiteral("Подпись к картинке"), { 15, 343 }, captionEdit_);
    captionEdit_->setEnabled(false);
    setFieldColour(captionEdit_, false);
    connect(captionEdit_, &MemoEdit::edited, this, &MainWindow::markModified);
    checkSpelling(captionEdit_);

    addPictureButton_
        = MakeButton(box, "AddImg", QRect(175, 387, 75, 25), QStringLiteral("Добавить"));
    removePictureButton_
        = MakeButton(box, "DelImg", QRect(256, 387, 75, 25), QStringLiteral("Удалить"));
    removePictureButton_->setEnabled(false);
    connect(addPictureButton_, &QPushButton::clicked, this, &MainWindow::onAddPicture);
    connect(removePictureButton_, &QPushButton::clicked, this, &MainWindow::onRemovePicture);

    auto *help = MakeGroup(page, "GroupBox4", QRect(359, 3, 415, 431), QStringLiteral("Помощь"));
    new HelpPanel(help, "Memo5", HelpText(kPictureHelp));
}

void MainWindow::buildCommentsPage(QWidget *page)
{
    notesEdit_ = memoEdit(page, "Notes", QRect(3, 22, 470, 403), Limits::notes);
    MakeLabel(page, "Label1", QStringLiteral("Комментарии:"), { 3, 3 }, notesEdit_);
    connect(notesEdit_, &MemoEdit::edited, this, &MainWindow::markModified);
    checkSpelling(notesEdit_);
    auto *help = MakeGroup(page, "GroupBox2", QRect(479, 16, 295, 410), QStringLiteral("Помощь"));
    new HelpPanel(help, "Memo2", HelpText(kCommentsHelp));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (takeLentarDrop(event))
        return true;
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress) {
        QObject *field = watched;
        // A multi-line field gets its mouse presses through its viewport.
        if (auto *area = qobject_cast<QAbstractScrollArea *>(watched->parent());
            area && area->viewport() == watched)
            field = area;
        const auto help = helpFor_.constFind(field);
        if (help != helpFor_.constEnd())
            helpPanel_->showText(*help);
    }
    return QWidget::eventFilter(watched, event);
}

LentarDocument MainWindow::document() const
{
    LentarDocument doc;
    doc.title = titleEdit_->text();
    doc.description = descriptionEdit_->text();
    doc.techRequest = techRequestEdit_->text();
    doc.manual = manualEdit_->text();
    doc.subjectSlots = subjectSlots_;
    doc.authors = participantsPage_->authors();
    doc.leaders = participantsPage_->leaders();
    doc.invoiceLeader = participantsPage_->invoiceLeader();
    doc.publicPostIndex = postIndexEdit_->text();
    doc.publicPostAddress = postAddressEdit_->text();
    doc.publicPhone = phoneEdit_->text();
    doc.publicEmail = emailEdit_->text();
    doc.picture = picture_;
    doc.picture.caption = picture_.present ? captionEdit_->text() : QString();
    doc.notes = notesEdit_->text();
    return doc;
}

void MainWindow::showDocument(const LentarDocument &doc, const QImage *pixels)
{
    titleEdit_->setText(doc.title);
    descriptionEdit_->setText(doc.description);
    techRequestEdit_->setText(doc.techRequest);
    manualEdit_->setText(doc.manual);
    postIndexEdit_->setText(doc.publicPostIndex);
    postAddressEdit_->setText(doc.publicPostAddress);
    phoneEdit_->setText(doc.publicPhone);
    emailEdit_->setText(doc.publicEmail);
    notesEdit_->setText(doc.notes);
    subjectDialog_->setChosen(doc.subjectSlots);
    showSubjects(doc.subjectSlots);
    participantsPage_->setParticipants(doc.authors, doc.leaders, doc.invoiceLeader);
    if (doc.picture.present)
        showPicture(doc.picture, pixels);
    else if (picture_.present)
        onRemovePicture();
}

void MainWindow::onChooseSubjects()
{
    if (subjectDialog_->exec() != QDialog::Accepted)
        return;
    showSubjects(subjectDialog_->chosenSlots());
    markModified();
}

void MainWindow::showSubjects(const std::array<int, kSubjectSlots> &chosen)
{
    subjectSlots_ = chosen;
    subjectLabels_[0]->setText(QString::fromUtf8(kNoSubject));
    for (int k = 1; k < kSubjectSlots; ++k)
        subjectLabels_[k]->clear();
    for (int k = 0; k < kSubjectSlots; ++k) {
        if (chosen[k] != 0)
            subjectLabels_[k]->setText(SubjectCatalogue::caption(chosen[k]));
    }
    placeSubjectLabels();
}

// A long subject name wraps instead of being cut. The group "Раздел" is made tall
// enough for the longest names that can be chosen together (three main subjects,
// then the two additional ones), taking the room from the help group above it; the
// last name runs beside the button, which sits below the others.
void MainWindow::fitSubjectGroup()
{
    const int width = subjectGroup_->width() - kSubjectLeft - 6;
    const int besideButton = chooseSubjectsButton_->x() - kSubjectLeft - 6;
    std::vector<int> mainHeights;
    std::vector<int> additionalHeights;
    int lastHeight = 0;
    for (const Subject &subject : SubjectCatalogue::all()) {
        const int height = subjectHeight(*subjectLabels_[0], subject.caption, width);
        if (subject.group == SubjectGroup::Additional) {
            additionalHeights.push_back(height);
            lastHeight = std::max(
                lastHeight, subjectHeight(*subjectLabels_[0], subject.caption, besideButton));
        } else {
            mainHeights.push_back(height);
        }
    }
    std::sort(mainHeights.begin(), mainHeights.end(), std::greater<int>());
    std::sort(additionalHeights.begin(), additionalHeights.end(), std::greater<int>());
    // The first four lines hold at most three main and two additional subjects.
    int firstFour = 0;
    for (std::size_t main = 0; main <= 3 && main <= mainHeights.size(); ++main) {
        for (std::size_t extra = 0; extra <= 2 && extra <= additionalHeights.size(); ++extra) {
            if (main + extra > 4)
                continue;
            const int sum = std::accumulate(mainHeights.begin(), mainHeights.begin() + main, 0)
                + std::accumulate(additionalHeights.begin(), additionalHeights.begin() + extra, 0);
            firstFour = std::max(firstFour, sum);
        }
    }
    const int aboveLast = kSubjectTop + std::max(firstFour, 4 * kSubjectPitch);

    const int buttonTop = std::max(120, aboveLast);
    const int height = std::max(
        { 152, buttonTop + chooseSubjectsButton_->height() + 8, aboveLast + lastHeight + 6 });
    const int bottom = subjectGroup_->geometry().bottom();
    subjectGroup_->setGeometry(
        subjectGroup_->x(), bottom + 1 - height, subjectGroup_->width(), height);
    chooseSubjectsButton_->move(chooseSubjectsButton_->x(), buttonTop);
    helpGroup_->resize(helpGroup_->width(), subjectGroup_->y() - 6 - helpGroup_->y());
    placeSubjectLabels();
}

void MainWindow::placeSubjectLabels()
{
    const int width = subjectGroup_->width() - kSubjectLeft - 6;
    int top = kSubjectTop;
    for (int k = 0; k < kSubjectSlots; ++k) {
        const bool last = k == kSubjectSlots - 1;
        const int w = last ? chooseSubjectsButton_->x() - kSubjectLeft - 6 : width;
        const int h = subjectHeight(*subjectLabels_[k], subjectLabels_[k]->text(), w);
        subjectLabels_[k]->setGeometry(kSubjectLeft, top, w, h);
        top += h;
    }
}

void MainWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && subjectGroup_)
        fitSubjectGroup();
}

void MainWindow::drawPlaceholder(bool withText)
{
    QPixmap surface(300, 300);
    surface.fill(Qt::white);
    if (withText) {
        QPainter painter(&surface);
        painter.setPen(Qt::black);
        painter.drawText(
            QRect(130, 148, 170, 152), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("300 x 300"));
    }
    pictureView_->resize(300, 300);
    pictureView_->setPixmap(surface);
}

void MainWindow::showPicture(const WorkImage &image, const QImage *pixels)
{
    picture_ = image;
    pictureView_->resize(image.width, image.height);
    if (pixels) {
        pictureView_->setPixmap(QPixmap::fromImage(*pixels));
    } else {
        QPixmap blank(image.width, image.height);
        blank.fill(Qt::white);
        pictureView_->setPixmap(blank);
    }
    captionEdit_->setEnabled(true);
    setFieldColour(captionEdit_, true);
    captionEdit_->setText(image.caption);
    removePictureButton_->setEnabled(true);
    addPictureButton_->setEnabled(false);
}

void MainWindow::onAddPicture()
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
        const QImage pixels = ToQImage(imported->image);
        WorkImage image;
        image.present = true;
        image.base64 = imported->base64;
        image.width = imported->image.width;
        image.height = imported->image.height;
        showPicture(image, &pixels);
        markModified();
    });
}

void MainWindow::onRemovePicture()
{
    drawPlaceholder(false);
    captionEdit_->setEnabled(false);
    captionEdit_->clear();
    setFieldColour(captionEdit_, false);
    removePictureButton_->setEnabled(false);
    addPictureButton_->setEnabled(true);
    picture_ = WorkImage {};
    markModified();
}

void MainWindow::onPreview()
{
    PreviewLentar(document(), platform_);
}

bool MainWindow::onSave()
{
    std::optional<QString> saved;
    guarded([&] { saved = SaveLentarFile(document(), platform_, currentFile_); });
    if (!saved)
        return false;
    currentFile_ = *saved;
    setWindowModified(false);
    recovery_->forget();
    showFileName();
    return true;
}

void MainWindow::onOpen()
{
    if (!mayDropChanges(kOpenQuestion))
        return;
    std::optional<QString> path;
    guarded([&] { path = ChooseLentar(platform_); });
    if (path)
        loadLentar(*path);
}

bool MainWindow::openLentar(const QString &path)
{
    return mayDropChanges(kOpenQuestion) && loadLentar(path);
}

bool MainWindow::loadLentar(const QString &path)
{
    std::optional<OpenedLentar> opened;
    guarded([&] { opened = OpenLentar(path, platform_); });
    if (!opened)
        return false;
    const QImage pixels = ToQImage(opened->pixels);
    showDocument(opened->doc, opened->pixels.rgb.empty() ? nullptr : &pixels);
    currentFile_ = opened->path;
    setWindowModified(false);
    recovery_->forget();
    showFileName();
    pages_->setCurrentIndex(0);
    titleEdit_->setFocus();
    return true;
}

void MainWindow::offerRecovery()
{
    std::optional<RestoredCopy> restored;
    guarded([&] { restored = OfferRecoveryCopies(platform_); });
    if (!restored)
        return;
    const OpenedLentar &opened = restored->opened;
    const QImage pixels = ToQImage(opened.pixels);
    showDocument(opened.doc, opened.pixels.rgb.empty() ? nullptr : &pixels);
    // The work is as unsaved as it was, and belongs to the file it came from; its copy
    // stays until it is saved or let go.
    currentFile_ = restored->copy.originalFile;
    recovery_->adopt(restored->copy);
    setWindowModified(true);
    showFileName();
    pages_->setCurrentIndex(0);
    titleEdit_->setFocus();
}

void MainWindow::keepForNextStart()
{
    recovery_->writeNow();
}

void MainWindow::closeKeepingChanges()
{
    keepForNextStart();
    ending_ = true;
    close();
}

bool MainWindow::takeLentarDrop(QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (DraggedLentar(drag->mimeData()).isEmpty())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QString path = DraggedLentar(drop->mimeData());
        if (path.isEmpty())
            return false;
        drop->acceptProposedAction();
        // The program the file came from waits until the drop returns; the question
        // about unsaved changes and the messages of the opening come after it.
        QMetaObject::invokeMethod(
            this, [this, path] { openLentar(path); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return false;
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!takeLentarDrop(event))
        QWidget::dragEnterEvent(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent *event)
{
    if (!takeLentarDrop(event))
        QWidget::dragMoveEvent(event);
}

void MainWindow::dropEvent(QDropEvent *event)
{
    if (!takeLentarDrop(event))
        QWidget::dropEvent(event);
}

bool MainWindow::mayDropChanges(const char *question)
{
    if (!isWindowModified())
        return true;
    const MessageAnswer answer
        = platform_.showMessage(QString::fromUtf8(question), QString::fromUtf8(kApplicationTitle),
            MessageIcon::Question, MessageButtons::SaveDiscardCancel);
    return answer == MessageAnswer::Discard || (answer == MessageAnswer::Save && onSave());
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (ending_) {
        event->accept();
    } else if (mayDropChanges(kCloseQuestion)) {
        // Saved, let go, or nothing to save: no copy is needed any more.
        recovery_->forget();
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::markModified()
{
    setWindowModified(true);
    recovery_->changed();
}

// The file's name comes first, where a task bar that cuts the titleEdit_ still shows it.
void MainWindow::showFileName()
{
    const QString caption
        = QString::fromUtf8(kWindowCaptionStart) + QString::fromLatin1(kLentarVersion);
    setWindowTitle(currentFile_.isEmpty()
            ? caption + QStringLiteral("[*]")
            : QFileInfo(currentFile_).fileName() + QStringLiteral("[*] - ") + caption);
}

void MainWindow::checkSpelling(MemoEdit *edit)
{
    auto *highlighter = new SpellHighlighter(edit, *spellChecker_);
    highlighter->setRoom([edit] { return edit->maxLength() - int(edit->text().size()); });
    connect(highlighter, &SpellHighlighter::failed, this,
        [this](const QString &message) { ShowStandardError(platform_, message); });
}

void MainWindow::guarded(const std::function<void()> &body)
{
    try {
        body();
    } catch (const std::exception &error) {
        ShowStandardError(platform_, QString::fromUtf8(error.what()));
    } catch (...) {
        ShowStandardError(platform_, QString());
    }
}
