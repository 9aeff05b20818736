#pragma once
// Modal message boxes and the folder browser behind one small service, so that
// tests can answer them without showing anything.
#include <QList>
#include <QString>
#include <functional>

class QWidget;

namespace platform {

enum class MessageIcon { None, Information, Warning, Critical, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MessageResult { Ok, Cancel, Yes, No, Retry, Extra };

struct MessageRequest {
    QString title;
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    MessageResult defaultButton = MessageResult::Ok;
    // A further button beside the standard ones (answers Extra), e.g. "폴더 열기".
    QString extraButton = {};
    // Own texts for the standard buttons, in the order `buttons` names them
    // (YesNoCancel: "적용", "버리기", "취소"); missing ones keep Qt's texts.
    QList<QString> buttonTexts = {};
};

struct FolderRequest {
    QString title;
    QString startFolder;
};

class Dialogs {
public:
    // Shows a modal message box and returns the button the user chose.
    static MessageResult messageBox(const MessageRequest &request, QWidget *parent = nullptr);
    static MessageResult messageBox(const QString &title, const QString &text, MessageIcon icon,
                                    MessageButtons buttons = MessageButtons::Ok,
                                    MessageResult defaultButton = MessageResult::Ok,
                                    QWidget *parent = nullptr);
    // Lets the user pick a folder; an empty string when cancelled.
    static QString browseFolder(const FolderRequest &request, QWidget *parent = nullptr);

    // Test hooks: while set, the answerer replaces the dialog. An empty function
    // restores the real dialogs.
    using MessageAnswer = std::function<MessageResult(const MessageRequest &)>;
    using FolderAnswer = std::function<QString(const FolderRequest &)>;
    static void setMessageAnswer(MessageAnswer answer);
    static void setFolderAnswer(FolderAnswer answer);
    // Without a screen the dialogs answer with their defaults unless this is
    // on: a test that drives a real box with key events turns it on.
    static void setShowWithoutScreen(bool on);
};

// Answers every dialog while it lives and keeps what was asked, for tests.
class ScopedDialogAnswers {
public:
    explicit ScopedDialogAnswers(MessageResult messageAnswer = MessageResult::Ok,
                                 QString folderAnswer = {});
    ~ScopedDialogAnswers();
    ScopedDialogAnswers(const ScopedDialogAnswers &) = delete;
    ScopedDialogAnswers &operator=(const ScopedDialogAnswers &) = delete;

    const QList<MessageRequest> &messages() const { return m_messages; }
    const QList<FolderRequest> &folders() const { return m_folders; }
    void setMessageAnswer(MessageResult answer) { m_messageAnswer = answer; }
    void setFolderAnswer(const QString &answer) { m_folderAnswer = answer; }

private:
    QList<MessageRequest> m_messages;
    QList<FolderRequest> m_folders;
    MessageResult m_messageAnswer;
    QString m_folderAnswer;
};

} // namespace platform
