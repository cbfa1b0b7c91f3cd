#pragma once

#include "document/lentar_document.h"

#include <QHash>
#include <QWidget>

#include <array>
#include <functional>

class Platform;
class HelpPanel;
class LineEdit;
class MemoEdit;
class ParticipantsPage;
class SpellChecker;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class IdentifierDialog;
class RecoveryKeeper;
class SubjectDialog;

// The main window: four pages on which the whole lentar is edited, a help panel that
// follows the focused field, and the two commands, preview and save. Its controls and
// handlers are its own; tests find the controls by object name and press them.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindow(Platform &platform, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The lentar as the window shows it.
    LentarDocument document() const;
    // Opens the lentar file at path as the command "Открыть" does, asking first what to do
    // with unsaved changes. True when the file was opened.
    bool openLentar(const QString &path);
    // Asks about the recovery copies of runs that ended without saving, one after the
    // other, and shows the one the user restores.
    void offerRecovery();
    // The session ends: the unsaved changes go into the recovery copy at once.
    void keepForNextStart();
    // The program is told to stop: the same, and the window closes without asking about
    // the changes, which the next start offers back.
    void closeKeepingChanges();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildWorkPage(QWidget *page);
    void buildPicturePage(QWidget *page);
    void buildCommentsPage(QWidget *page);
    void showSubjects(const std::array<int, kSubjectSlots> &chosen);
    void fitSubjectGroup();
    void placeSubjectLabels();
    void showDocument(const LentarDocument &doc, const QImage *pixels);
    void showPicture(const WorkImage &image, const QImage *pixels);
    void drawPlaceholder(bool withText);
    void markModified();
    void showFileName();
    // Asks what to do with unsaved changes before they would be lost: true when the
    // user saved them or let them go, false when the user kept them.
    bool mayDropChanges(const char *question);
    bool loadLentar(const QString &path);
    // Handles a drag that carries a lentar file, wherever in the window it arrives.
    bool takeLentarDrop(QEvent *event);
    // Runs a handler's body; an error it raises is shown in the standard error display.
    void guarded(const std::function<void()> &body);
    // Underlines the misspelt words of edit and offers corrections in its context menu.
    void checkSpelling(MemoEdit *edit);

    void onAddPicture();
    void onRemovePicture();
    void onChooseSubjects();
    void onPreview();
    void onOpen();
    // True when the lentar was saved.
    bool onSave();

    Platform &platform_;
    std::array<int, kSubjectSlots> subjectSlots_ {};
    WorkImage picture_;
    QString currentFile_; // the file the lentar was opened from or last saved to
    QHash<QObject *, QString> helpFor_;

    QTabWidget *pages_ = nullptr;
    QPushButton *openButton_ = nullptr;
    QPushButton *previewButton_ = nullptr;
    QPushButton *saveButton_ = nullptr;

    SpellChecker *spellChecker_ = nullptr;

    LineEdit *titleEdit_ = nullptr;
    MemoEdit *descriptionEdit_ = nullptr;
    LineEdit *techRequestEdit_ = nullptr;
    MemoEdit *manualEdit_ = nullptr;
    QLineEdit *postIndexEdit_ = nullptr;
    QLineEdit *postAddressEdit_ = nullptr;
    QLineEdit *phoneEdit_ = nullptr;
    QLineEdit *emailEdit_ = nullptr;
    QGroupBox *subjectGroup_ = nullptr;
    std::array<QLabel *, kSubjectSlots> subjectLabels_ {};
    QPushButton *chooseSubjectsButton_ = nullptr;
    QGroupBox *helpGroup_ = nullptr;
    HelpPanel *helpPanel_ = nullptr;

    QLabel *pictureView_ = nullptr;
    LineEdit *captionEdit_ = nullptr;
    QPushButton *addPictureButton_ = nullptr;
    QPushButton *removePictureButton_ = nullptr;

    MemoEdit *notesEdit_ = nullptr;

    ParticipantsPage *participantsPage_ = nullptr;
    SubjectDialog *subjectDialog_ = nullptr;
    IdentifierDialog *identifierDialog_ = nullptr;

    RecoveryKeeper *recovery_ = nullptr;
    bool ending_ = false; // closing keeps the unsaved changes for the next start
};
