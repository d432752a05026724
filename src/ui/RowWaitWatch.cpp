#include "RowWaitWatch.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ui {

namespace {

using namespace std::chrono_literals;

// A lock may be released or a server frozen at any moment; asking this
// often keeps the dialog's words no older than a few seconds.
constexpr auto kAskAgainAfter = 2s;
// Beyond the probe's own time, what the question's thread may take to
// come back with the answer.
constexpr auto kAnswerMargin = 500ms;
// Beyond the probe's own time, how long the program's end waits for a
// question still out: each of the probe's calls waits at most its time,
// and an ended one is closed under its read.
constexpr auto kEndingMargin = 1s;

// Every question's thread, until it has ended: the program waits for them
// before it goes, rather than leaving one behind in the driver.
struct RunningQuestions {
    std::mutex mutex;
    std::condition_variable ended;
    int running = 0;
    std::chrono::seconds longestAnswerWithin{0};
};

RunningQuestions& runningQuestions() {
    static RunningQuestions questions;
    return questions;
}

}  // namespace

// Shared with the question's thread, which may outlive the watch.
struct TRowWaitWatch::Question {
    std::string productId;
    TRowWaitWatch::Clock::time_point askedAt;
    bool abortSent = false;  // the window's thread's own
    std::mutex mutex;
    std::condition_variable ended;
    bool running = true;
    db::RowWait answer = db::RowWait::Server;
};

TRowWaitWatch::TRowWaitWatch(std::shared_ptr<db::TRowWaitProbe> probe) : probe_(std::move(probe)) {}

// The question out is ended, not waited for: the window's thread goes on,
// and awaitQuestions() at the program's end sees it finish.
TRowWaitWatch::~TRowWaitWatch() {
    if (question_) probe_->abort();
}

void TRowWaitWatch::awaitQuestions() {
    RunningQuestions& questions = runningQuestions();
    std::unique_lock lock(questions.mutex);
    questions.ended.wait_for(lock, questions.longestAnswerWithin + kEndingMargin,
                             [&questions] { return questions.running == 0; });
}

std::optional<db::RowWait> TRowWaitWatch::look(const std::optional<std::string>& productId,
                                                   Clock::time_point now) {
    if (!probe_) return std::nullopt;
    if (!productId || *productId != productId_) {
        known_.reset();
        productId_ = productId.value_or(std::string());
    }
    if (question_) collect(now);
    if (productId && !question_ && (!known_ || now - answeredAt_ >= kAskAgainAfter)) ask(now);
    return known_;
}

void TRowWaitWatch::ask(Clock::time_point now) {
    auto question = std::make_shared<Question>();
    question->productId = productId_;
    question->askedAt = now;
    RunningQuestions& questions = runningQuestions();
    {
        const std::lock_guard lock(questions.mutex);
        ++questions.running;
        questions.longestAnswerWithin = std::max(questions.longestAnswerWithin, probe_->answerWithin());
    }
    std::thread([probe = probe_, question, &questions]() mutable {
        const db::RowWait answer = probe->ask(question->productId);
        // Let go of before it counts as ended: the probe's owner may then
        // take it as free.
        probe.reset();
        {
            const std::lock_guard lock(question->mutex);
            question->answer = answer;
            question->running = false;
        }
        {
            const std::lock_guard lock(questions.mutex);
            --questions.running;
        }
        questions.ended.notify_all();
    }).detach();
    question_ = std::move(question);
}

void TRowWaitWatch::collect(Clock::time_point now) {
    Question& question = *question_;
    bool running = false;
    db::RowWait answer{};
    {
        const std::lock_guard lock(question.mutex);
        running = question.running;
        answer = question.answer;
    }
    const bool aboutThisRow = question.productId == productId_;
    if (!running) {
        if (aboutThisRow) {
            known_ = answer;
            answeredAt_ = now;
        }
        question_.reset();
        return;
    }
    if (now - question.askedAt < probe_->answerWithin() + kAnswerMargin) return;
    // No answer in time: the server is not answering. The question is
    // ended; the next is asked once it has.
    if (aboutThisRow) {
        known_ = db::RowWait::Server;
        answeredAt_ = now;
    }
    if (!question.abortSent) {
        probe_->abort();
        question.abortSent = true;
    }
}

}  // namespace ui
