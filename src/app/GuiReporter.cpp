#include "app/GuiReporter.h"

#include <QMetaObject>

namespace vellumark::app {

GuiReporter::GuiReporter(QObject* context, Handlers handlers)
    : context_(context), handlers_(std::move(handlers)) {}

bool GuiReporter::AskAndWait(std::function<bool()> ask, bool fallback) {
    struct Answer {
        bool done = false;
        bool value = false;
    };
    auto answer = std::make_shared<Answer>();
    auto sync = sync_;
    QObject* context = context_.data();
    if (context == nullptr)
        return fallback;
    QMetaObject::invokeMethod(
        context,
        [sync, answer, ask = std::move(ask)] {
            {
                std::lock_guard lock(sync->mutex);
                if (sync->abandoned)
                    return;
            }
            const bool value = ask();
            std::lock_guard lock(sync->mutex);
            answer->value = value;
            answer->done = true;
            sync->answered.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(sync->mutex);
    sync->answered.wait(lock, [&] { return answer->done || sync->abandoned; });
    return answer->done ? answer->value : fallback;
}

void GuiReporter::Note(const std::string& text) {
    const QString message = QString::fromStdString(text);
    AskAndWait(
        [note = handlers_.note, message] {
            note(message);
            return true;
        },
        false);
}

bool GuiReporter::ConfirmOverwrite(const std::filesystem::path& output) {
    const QString path = QString::fromStdString(output.string());
    return AskAndWait([confirm = handlers_.confirmOverwrite, path] { return confirm(path); },
                      false);
}

void GuiReporter::Status(const std::string& text) {
    if (context_.isNull())
        return;
    QMetaObject::invokeMethod(
        context_.data(),
        [status = handlers_.status, text = QString::fromStdString(text)] { status(text); },
        Qt::QueuedConnection);
}

void GuiReporter::Progress(int done, int total) {
    if (context_.isNull())
        return;
    QMetaObject::invokeMethod(
        context_.data(), [progress = handlers_.progress, done, total] { progress(done, total); },
        Qt::QueuedConnection);
}

bool GuiReporter::CancelRequested() {
    std::lock_guard lock(sync_->mutex);
    return sync_->abandoned;
}

void GuiReporter::Abandon() {
    {
        std::lock_guard lock(sync_->mutex);
        sync_->abandoned = true;
        sync_->answered.notify_all();
    }
    // Outside the lock: the job's stop callbacks take locks of their own.
    stop_.request_stop();
}

}  // namespace vellumark::app
