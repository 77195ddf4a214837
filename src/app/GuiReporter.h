#pragma once
// Carries a conversion's reports from the thread that runs it to the window's thread. Questions
// and notes wait for the window to answer; status and progress are posted and do not wait.

#include <QObject>
#include <QPointer>
#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

#include "epub/ConversionJob.h"

namespace vellumark::app {

class GuiReporter final : public epub::ConversionReporter {
public:
    // Run on the thread of `context`; dropped unseen when `context` is gone.
    struct Handlers {
        std::function<void(const QString& text)> note;
        std::function<bool(const QString& output)> confirmOverwrite;
        std::function<void(const QString& text)> status;
        std::function<void(int done, int total)> progress;
    };

    GuiReporter(QObject* context, Handlers handlers);

    // Called by the conversion's thread.
    void Note(const std::string& text) override;
    bool ConfirmOverwrite(const std::filesystem::path& output) override;
    void Status(const std::string& text) override;
    void Progress(int done, int total) override;
    bool CancelRequested() override;

    // Called by the window's thread when the user cancels, and before it waits for the
    // conversion to end: asks the job to stop (CancelRequested is true from now on), and lets any
    // report that waits for an answer go on at once (a question counts as declined). Without it,
    // waiting on the window's thread could wait for ever.
    void Abandon();
    // Requested by Abandon: given to the conversion (ConversionSettings::stop), it stops the
    // job at once instead of when it next asks.
    std::stop_token StopToken() const noexcept { return stop_.get_token(); }

private:
    struct Sync {
        std::mutex mutex;
        std::condition_variable answered;
        bool abandoned = false;
    };
    // Runs `ask` on the window's thread and waits for its answer; `fallback` when abandoned.
    bool AskAndWait(std::function<bool()> ask, bool fallback);

    QPointer<QObject> context_;
    Handlers handlers_;
    std::shared_ptr<Sync> sync_ = std::make_shared<Sync>();
    std::stop_source stop_;
};

}  // namespace vellumark::app
