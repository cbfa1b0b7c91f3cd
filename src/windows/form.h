#pragma once

#include "document/lentar_document.h"

#include <QHash>
#include <QWidget>

#include <array>
#include <functional>

class Platform;
class MemoEdit;
class ParticipantsPage;
class QGroupBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class TForm1;
class TSubjects;
struct ImportedPicture;

// The main window: four pages on which the whole lentar is edited, a help panel that
// follows the focused field, and the two commands, preview and save.
class TLentar : public QWidget
{
    Q_OBJECT
public:
    explicit TLentar(Platform &platform, QWidget *parent = nullptr);
    ~TLentar() override;

    // The lentar as the window shows it.
    LentarDocument document() const;
    // Shows doc in the window (the subject dialog's boxes follow its subject slots).
    void setDocument(const LentarDocument &doc);

    TForm1 &identifierDialog() { return *Form1; }
    TSubjects &subjectDialog() { return *Subjects; }

    // Help handlers: each shows its field's help text in the panel.
    void titleClick();
    void descriptionClick();
    void tech_requestClick();
    void manualClick();
    void public_post_indexClick();

    void AddImgClick();
    void DelImgClick();
    void Button3Click();
    void PreviewClick();
    // True when the lentar was saved.
    bool SaveButtonClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWorkPage(QWidget *page);
    void buildPicturePage(QWidget *page);
    void buildCommentsPage(QWidget *page);
    void showHelp(const QString &text);
    void showSubjects(const std::array<int, kSubjectSlots> &chosen);
    void showPicture(const WorkImage &image, const QImage *pixels);
    void drawPlaceholder(bool withText);
    void markModified();
    // Runs a handler's body; an error it raises is shown in the standard error display.
    void guarded(const std::function<void()> &body);

    Platform &platform_;
    std::array<int, kSubjectSlots> subjectSlots_ {};
    WorkImage picture_;
    QHash<QObject *, QString> helpFor_;

public:
    QTabWidget *SectionsTabs = nullptr;
    QPushButton *Preview = nullptr;
    QPushButton *SaveButton = nullptr;

    QLineEdit *title = nullptr;
    MemoEdit *description = nullptr;
    QLineEdit *tech_request = nullptr;
    MemoEdit *manual = nullptr;
    QLineEdit *public_post_index = nullptr;
    QLineEdit *public_post_address = nullptr;
    QLineEdit *public_phone = nullptr;
    QLineEdit *public_email = nullptr;
    std::array<QLabel *, kSubjectSlots> subj {};
    QPushButton *Button3 = nullptr;
    QPlainTextEdit *HelpMemo = nullptr;

    QLabel *WorkImg = nullptr;
    QLineEdit *WorkImgSign = nullptr;
    QPushButton *AddImg = nullptr;
    QPushButton *DelImg = nullptr;

    MemoEdit *Notes = nullptr;

    ParticipantsPage *participants = nullptr;
    TSubjects *Subjects = nullptr;
    TForm1 *Form1 = nullptr;
};
