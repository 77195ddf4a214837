#pragma once
// Dialogs that answer from a script and record what the window showed.

#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>
#include <vector>

#include "app/Dialogs.h"

namespace vellumark::app::testing {

struct DialogLog {
    struct Box {
        QString title;
        QString text;
    };
    std::vector<Box> messages;  // Message(): title and text
    QStringList errors;         // ShowError()
    QList<QUrl> opened;         // OpenUrl()
    int overwriteQuestions = 0;

    // Answers.
    QString documentPath;
    QString coverPath;
    QString folder;
    bool overwrite = false;
};

class FakeDialogs final : public Dialogs {
public:
    explicit FakeDialogs(std::shared_ptr<DialogLog> log) : log_(std::move(log)) {}

    QString OpenDocumentPath(QWidget*) override { return log_->documentPath; }
    QString OpenCoverPath(QWidget*) override { return log_->coverPath; }
    QString ChooseFolder(QWidget*, const QString&) override { return log_->folder; }
    void Message(QWidget*, const QString& title, const QString& text) override {
        log_->messages.push_back({title, text});
    }
    bool ConfirmOverwrite(QWidget*) override {
        ++log_->overwriteQuestions;
        return log_->overwrite;
    }
    void ShowError(QWidget*, const QString& text) override { log_->errors << text; }
    void OpenUrl(const QUrl& url) override { log_->opened << url; }

private:
    std::shared_ptr<DialogLog> log_;
};

}  // namespace vellumark::app::testing
