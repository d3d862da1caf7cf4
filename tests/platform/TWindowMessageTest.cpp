#include "platform/TWindowMessage.h"

#include "tests/support/WaitUntil.h"

#include <QObject>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int WM_TEST_A = 1034;
constexpr int WM_TEST_B = 1038;

struct THandled {
    int Msg;
    std::intptr_t WParam;
    QThread* Thread;
};

// Handles every message on its own thread, slowly, and notes the order and the overlap.
class TReceiver : public QObject {
public:
    std::vector<THandled> Handled;
    std::mutex HandledLock;
    std::atomic<int> Active{0};
    std::atomic<int> MostActive{0};
    int HandlerSleepMs = 0;

protected:
    bool event(QEvent* e) override {
        TWindowMessage* message = TWindowMessage::From(e);
        if (message == nullptr)
            return QObject::event(e);
        const int now = ++Active;
        MostActive = std::max(MostActive.load(), now);
        if (HandlerSleepMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(HandlerSleepMs));
        {
            std::lock_guard<std::mutex> guard(HandledLock);
            Handled.push_back({message->Msg(), message->WParam, QThread::currentThread()});
        }
        message->Result = message->WParam * 10;
        --Active;
        return true;
    }
};

TEST(TWindowMessageTest, SendFromWorkerReturnsAfterTheHandlerRanOnTheUiThread) {
    TReceiver receiver;
    receiver.HandlerSleepMs = 50;
    std::atomic<bool> returned{false};
    std::atomic<std::size_t> handledWhenReturned{0};
    std::intptr_t result = 0;

    std::thread worker([&] {
        result = TWindowMessage::Send(&receiver, WM_TEST_A, 7, 0);
        std::lock_guard<std::mutex> guard(receiver.HandledLock);
        handledWhenReturned = receiver.Handled.size();
        returned = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return returned.load(); }));
    worker.join();

    EXPECT_EQ(result, 70);
    EXPECT_EQ(handledWhenReturned.load(), 1u);
    ASSERT_EQ(receiver.Handled.size(), 1u);
    EXPECT_EQ(receiver.Handled[0].Thread, QThread::currentThread());
}

TEST(TWindowMessageTest, SendsFromTwoWorkersAreHandledOneAtATime) {
    TReceiver receiver;
    receiver.HandlerSleepMs = 30;
    std::atomic<int> done{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 2; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(TWindowMessage::Send(&receiver, WM_TEST_A, w * 100 + i),
                          (w * 100 + i) * 10);
            ++done;
        });
    }
    ASSERT_TRUE(WaitUntil([&] { return done.load() == 2; }));
    for (std::thread& worker : workers)
        worker.join();

    EXPECT_EQ(receiver.Handled.size(), 6u);
    EXPECT_EQ(receiver.MostActive.load(), 1);
    // Each worker's own messages arrive in the order it sent them.
    std::vector<std::intptr_t> first, second;
    for (const THandled& h : receiver.Handled)
        (h.WParam < 100 ? first : second).push_back(h.WParam);
    EXPECT_EQ(first, (std::vector<std::intptr_t>{0, 1, 2}));
    EXPECT_EQ(second, (std::vector<std::intptr_t>{100, 101, 102}));
}

TEST(TWindowMessageTest, PostIsHandledLaterInOrder) {
    TReceiver receiver;
    TWindowMessage::Post(&receiver, WM_TEST_A, 1);
    TWindowMessage::Post(&receiver, WM_TEST_B, 2);
    std::thread worker([&] { TWindowMessage::Post(&receiver, WM_TEST_A, 3); });
    worker.join();
    EXPECT_TRUE(receiver.Handled.empty()) << "a post must not be handled before the loop runs";

    ASSERT_TRUE(WaitUntil([&] { return receiver.Handled.size() == 3; }));
    EXPECT_EQ(receiver.Handled[0].Msg, WM_TEST_A);
    EXPECT_EQ(receiver.Handled[0].WParam, 1);
    EXPECT_EQ(receiver.Handled[1].Msg, WM_TEST_B);
    EXPECT_EQ(receiver.Handled[2].WParam, 3);
}

TEST(TWindowMessageTest, SendOnTheTargetsOwnThreadRunsTheHandlerAtOnce) {
    TReceiver receiver;
    EXPECT_EQ(TWindowMessage::Send(&receiver, WM_TEST_A, 4), 40);
    EXPECT_EQ(receiver.Handled.size(), 1u);
}

TEST(TWindowMessageTest, SendToATargetDestroyedBeforeDeliveryReturnsWithoutHandling) {
    auto* receiver = new TReceiver;
    std::atomic<bool> returned{false};
    std::intptr_t result = -1;
    std::thread worker([&] {
        result = TWindowMessage::Send(receiver, WM_TEST_A, 5);
        returned = true;
    });
    // The worker's call is queued but not delivered while this thread does not loop.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    delete receiver;
    ASSERT_TRUE(WaitUntil([&] { return returned.load(); }, 5000));
    worker.join();
    EXPECT_EQ(result, 0);
}

TEST(TWindowMessageTest, OtherEventsAreNotMessages) {
    QEvent plain(QEvent::User);
    EXPECT_EQ(TWindowMessage::From(&plain), nullptr);
    QEvent show(QEvent::Show);
    EXPECT_EQ(TWindowMessage::From(&show), nullptr);
}

} // namespace
