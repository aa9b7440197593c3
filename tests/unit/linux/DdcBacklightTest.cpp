#include "platform/linux/DdcBacklight.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace mirl;

namespace {

/// A gate the worker waits at while it is closed; the test can wait until the worker is there.
class Gate {
public:
    void close() {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void pass() {
        std::unique_lock lock(mutex_);
        held_ = !open_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        held_ = false;
    }
    void waitUntilHeld() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return held_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = true;
    bool held_ = false;
};

/// Two monitors (ranges 100 and 255) whose exchanges are recorded; detection and writes can
/// be held at gates.
struct FakeBus final : DdcBus {
    struct Shared {
        std::mutex mutex;
        std::vector<std::pair<std::size_t, int>> writes;
        int current[2] = {80, 200};
        int reads = 0;
        Gate detectGate, writeGate;
        bool available = true;
        int keepsEvery = 1; // the monitor's own levels: a multiple of this, the nearest one
    };
    explicit FakeBus(std::shared_ptr<Shared> shared) : s(std::move(shared)) {}
    bool available() const override { return s->available; }
    std::vector<Found> detect() override {
        s->detectGate.pass();
        std::lock_guard lock(s->mutex);
        return {{"left", 100, s->current[0], "DEL-left-1"}, {"right", 255, s->current[1], ""}};
    }
    std::optional<int> read(std::size_t monitor) override {
        std::lock_guard lock(s->mutex);
        ++s->reads;
        return s->current[monitor];
    }
    bool write(std::size_t monitor, int raw) override {
        s->writeGate.pass();
        std::lock_guard lock(s->mutex);
        s->writes.emplace_back(monitor, raw);
        s->current[monitor] = (raw + s->keepsEvery / 2) / s->keepsEvery * s->keepsEvery;
        return true;
    }
    std::shared_ptr<Shared> s;
};

} // namespace

TEST(DdcBacklight, ReadsTheFirstMonitorFromTheLastLevelsSeen) {
    auto bus = std::make_shared<FakeBus::Shared>();
    DdcBacklight ddc(std::make_unique<FakeBus>(bus));
    ddc.waitIdle();
    ASSERT_EQ(ddc.monitors().size(), 2u);
    EXPECT_FLOAT_EQ(*ddc.readLevel(), 0.8f);
    {
        std::lock_guard lock(bus->mutex);
        bus->current[0] = 40; // the user pressed the monitor's own buttons
    }
    EXPECT_FLOAT_EQ(*ddc.readLevel(), 0.8f) << "a read never waits for the bus";
    ddc.waitIdle();
    EXPECT_FLOAT_EQ(*ddc.readLevel(), 0.4f) << "the next read sees what the worker looked up";
}

TEST(DdcBacklight, WritesAreCoalescedToTheNewestLevel) {
    auto bus = std::make_shared<FakeBus::Shared>();
    DdcBacklight ddc(std::make_unique<FakeBus>(bus));
    ddc.waitIdle();
    bus->writeGate.close();
    EXPECT_TRUE(ddc.writeLevel(0.5f));
    bus->writeGate.waitUntilHeld(); // the worker is writing 0.5 to the first monitor
    EXPECT_TRUE(ddc.writeLevel(0.4f));
    EXPECT_TRUE(ddc.writeLevel(0.3f));
    EXPECT_TRUE(ddc.writeLevel(0.0f));
    bus->writeGate.open();
    ddc.waitIdle();
    std::lock_guard lock(bus->mutex);
    EXPECT_EQ(bus->writes, (std::vector<std::pair<std::size_t, int>>{{0, 50}, {1, 128}, {0, 1}, {1, 3}}))
        << "four levels asked, the first and the newest written; 0 is written as 1 % of the range";
}

TEST(DdcBacklight, AWriteBeforeDetectionEndsWaitsForIt) {
    auto bus = std::make_shared<FakeBus::Shared>();
    bus->detectGate.close();
    DdcBacklight ddc(std::make_unique<FakeBus>(bus));
    EXPECT_FALSE(ddc.readLevel()) << "nothing known yet";
    EXPECT_TRUE(ddc.writeLevel(0.6f)) << "the restore at launch must not be lost";
    bus->detectGate.open();
    ddc.waitIdle();
    std::lock_guard lock(bus->mutex);
    EXPECT_EQ(bus->writes, (std::vector<std::pair<std::size_t, int>>{{0, 60}, {1, 153}}));
}

TEST(DdcBacklight, WithoutTheLibraryThereAreNoMonitors) {
    auto bus = std::make_shared<FakeBus::Shared>();
    bus->available = false;
    DdcBacklight ddc(std::make_unique<FakeBus>(bus));
    ddc.waitIdle();
    EXPECT_FALSE(ddc.libraryLoaded());
    EXPECT_TRUE(ddc.monitors().empty());
    EXPECT_FALSE(ddc.readLevel());
    EXPECT_FALSE(ddc.writeLevel(0.5f));
}

TEST(DdcBacklight, EachMonitorKeepsItsOwnLevelUnderAStableId) {
    auto bus = std::make_shared<FakeBus::Shared>();
    bus->detectGate.close();
    DdcBacklight ddc(std::make_unique<FakeBus>(bus));
    // The restore at launch, before detection ends: taken for the monitors that may turn up.
    EXPECT_EQ(ddc.writeLevels({{"ddc:DEL-left-1", 0.5f}, {"backlight:panel", 0.1f}}),
              std::vector<std::string>{"ddc:DEL-left-1"});
    bus->detectGate.open();
    ddc.waitIdle();
    {
        std::lock_guard lock(bus->mutex);
        EXPECT_EQ(bus->writes, (std::vector<std::pair<std::size_t, int>>{{0, 50}}))
            << "the right one is left alone";
    }
    EXPECT_EQ(ddc.readLevels(),
              (std::vector<DisplayLevel>{{"ddc:DEL-left-1", 0.5f}, {"ddc:right-2", 200.0f / 255}}))
        << "a monitor without a serial number goes by its model and place";
    EXPECT_EQ(ddc.writeLevels({{"ddc:right-2", 1.0f}, {"ddc:gone", 0.3f}}),
              std::vector<std::string>{"ddc:right-2"});
    ddc.waitIdle();
    std::lock_guard lock(bus->mutex);
    EXPECT_EQ(bus->writes.back(), (std::pair<std::size_t, int>{1, 255}));
}

TEST(DdcBacklight, LearnsTheRoundingOfAMonitorWithFewerLevelsThanItsRange) {
    auto bus = std::make_shared<FakeBus::Shared>();
    bus->keepsEvery = 10; // announces 0..100, keeps tens
    DdcBacklight ddc(std::make_unique<FakeBus>(bus));
    ddc.waitIdle();
    ddc.readLevel();
    EXPECT_DOUBLE_EQ(ddc.levelStep(), 0.01) << "one step of the range until a write shows more";

    ddc.writeLevel(0.44f); // the monitor keeps 40
    ddc.waitIdle();
    EXPECT_FLOAT_EQ(*ddc.readLevel(), 0.44f) << "what was written, until the monitor is asked";
    ddc.waitIdle();
    EXPECT_FLOAT_EQ(*ddc.readLevel(), 0.40f);
    EXPECT_DOUBLE_EQ(ddc.levelStep(), 0.04);

    // A change larger than a tenth of the range after a write is somebody's, not rounding.
    ddc.writeLevel(0.30f);
    ddc.waitIdle();
    {
        std::lock_guard lock(bus->mutex);
        bus->current[0] = 70;
    }
    ddc.readLevel();
    ddc.waitIdle();
    EXPECT_FLOAT_EQ(*ddc.readLevel(), 0.70f);
    EXPECT_DOUBLE_EQ(ddc.levelStep(), 0.04);
}
