#include "platform/dialogs.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

namespace platform {

namespace {
Dialogs::MessageAnswer &messageAnswer()
{
    static Dialogs::MessageAnswer answer;
    return answer;
}
Dialogs::FolderAnswer &folderAnswer()
{
    static Dialogs::FolderAnswer answer;
    return answer;
}

bool &showWithoutScreen()
{
    static bool on = false;
    return on;
}

// Without a screen a modal dialog could never be dismissed: answer with the
// default instead of hanging a headless run.
bool headless()
{
    return !showWithoutScreen()
           && (QGuiApplication::platformName() == QLatin1String("offscreen")
               || QGuiApplication::platformName() == QLatin1String("minimal"));
}

QMessageBox::StandardButton toStandard(MessageResult r)
{
    switch (r) {
    case MessageResult::Ok: return QMessageBox::Ok;
    case MessageResult::Cancel: return QMessageBox::Cancel;
    case MessageResult::Yes: return QMessageBox::Yes;
    case MessageResult::No: return QMessageBox::No;
    case MessageResult::Retry: return QMessageBox::Retry;
    case MessageResult::Extra: return QMessageBox::NoButton;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons toStandard(MessageButtons b)
{
    switch (b) {
    case MessageButtons::Ok: return QMessageBox::Ok;
    case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// The standard buttons of a set in the order its name gives them.
QList<QMessageBox::StandardButton> inOrder(MessageButtons b)
{
    switch (b) {
    case MessageButtons::Ok: return {QMessageBox::Ok};
    case MessageButtons::OkCancel: return {QMessageBox::Ok, QMessageBox::Cancel};
    case MessageButtons::YesNo: return {QMessageBox::Yes, QMessageBox::No};
    case MessageButtons::YesNoCancel: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case MessageButtons::RetryCancel: return {QMessageBox::Retry, QMessageBox::Cancel};
    }
    return {};
}

QMessageBox::Icon toQt(MessageIcon i)
{
    switch (i) {
    case MessageIcon::None: return QMessageBox::NoIcon;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

MessageResult fromStandard(int b, MessageResult fallback)
{
    switch (b) {
    case QMessageBox::Ok: return MessageResult::Ok;
    case QMessageBox::Cancel: return MessageResult::Cancel;
    case QMessageBox::Yes: return MessageResult::Yes;
    case QMessageBox::No: return MessageResult::No;
    case QMessageBox::Retry: return MessageResult::Retry;
    default: return fallback;
    }
}

// Closing a box with its close button answers like its cancelling button.
MessageResult escapeAnswer(const MessageRequest &r)
{
    switch (r.buttons) {
    case MessageButtons::Ok: return MessageResult::Ok;
    case MessageButtons::YesNo: return MessageResult::No;
    default: return MessageResult::Cancel;
    }
}
} // namespace

MessageResult Dialogs::messageBox(const MessageRequest &request, QWidget *parent)
{
    if (messageAnswer())
        return messageAnswer()(request);
    if (headless()) {
        std::fprintf(stderr, "[dialog] %s: %s\n", qPrintable(request.title), qPrintable(request.text));
        return request.defaultButton;
    }
    QMessageBox box(toQt(request.icon), request.title, request.text, toStandard(request.buttons), parent);
    const QList<QMessageBox::StandardButton> order = inOrder(request.buttons);
    for (qsizetype i = 0; i < request.buttonTexts.size() && i < order.size(); ++i)
        if (QAbstractButton *button = box.button(order[i]))
            button->setText(request.buttonTexts[i]);
    QAbstractButton *extra = nullptr;
    if (!request.extraButton.isEmpty())
        extra = box.addButton(request.extraButton, QMessageBox::ActionRole);
    if (request.defaultButton == MessageResult::Extra && extra)
        box.setDefaultButton(static_cast<QPushButton *>(extra));
    else
        box.setDefaultButton(toStandard(request.defaultButton));
    const int answer = box.exec();
    if (extra && box.clickedButton() == extra)
        return MessageResult::Extra;
    return fromStandard(answer, escapeAnswer(request));
}

MessageResult Dialogs::messageBox(const QString &title, const QString &text, MessageIcon icon,
                                  MessageButtons buttons, MessageResult defaultButton, QWidget *parent)
{
    return messageBox(MessageRequest{title, text, icon, buttons, defaultButton}, parent);
}

QString Dialogs::browseFolder(const FolderRequest &request, QWidget *parent)
{
    if (folderAnswer())
        return folderAnswer()(request);
    if (headless())
        return {};
    return QFileDialog::getExistingDirectory(parent, request.title, request.startFolder);
}

void Dialogs::setMessageAnswer(MessageAnswer answer)
{
    messageAnswer() = std::move(answer);
}

void Dialogs::setFolderAnswer(FolderAnswer answer)
{
    folderAnswer() = std::move(answer);
}

void Dialogs::setShowWithoutScreen(bool on)
{
    showWithoutScreen() = on;
}

ScopedDialogAnswers::ScopedDialogAnswers(MessageResult messageAnswer, QString folderAnswer)
    : m_messageAnswer(messageAnswer), m_folderAnswer(std::move(folderAnswer))
{
    Dialogs::setMessageAnswer([this](const MessageRequest &r) {
        m_messages.append(r);
        return m_messageAnswer;
    });
    Dialogs::setFolderAnswer([this](const FolderRequest &r) {
        m_folders.append(r);
        return m_folderAnswer;
    });
}

ScopedDialogAnswers::~ScopedDialogAnswers()
{
    Dialogs::setMessageAnswer({});
    Dialogs::setFolderAnswer({});
}

} // namespace platform
