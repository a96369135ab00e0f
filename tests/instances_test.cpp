// The owner of the single instances: one per class, and their destruction in
// one order (windows newest first, then the application object, last the menu
// bar), whether asked for or when the Qt application goes.
#include "framework/Instances.h"
#include "framework/Runtime.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string>& destroyed() {
    static std::vector<std::string> log;
    return log;
}

}  // namespace

class TestBar : public fw::MenuBar {
public:
    ~TestBar() override { destroyed().push_back("bar"); }
};

class TestApp : public fw::Application {
public:
    ~TestApp() override { destroyed().push_back("application"); }
};

// A window that shows the bar; as it goes it notes whether the bar and the Qt
// application are still there.
class ProbeWindow : public fw::Window {
public:
    ProbeWindow() : fw::Window({.title = "Probe", .width = 100, .height = 50}, {}) {}
    ~ProbeWindow() override {
        destroyed().push_back(className().toStdString() + (fw::IsLive<TestBar>() ? " with bar" : " without bar") +
                              (QCoreApplication::instance() ? "" : " after Qt"));
    }

protected:
    void Layout() override {
        SetMenuBar(&fw::Instance<TestBar>());
        fw::Window::Layout();
    }
};

class FirstWindow : public ProbeWindow {};
class SecondWindow : public ProbeWindow {};

class BrokenWindow : public ProbeWindow {
protected:
    void Event_Open() override { throw std::runtime_error("cannot open"); }
};

class Instances : public ::testing::Test {
protected:
    void SetUp() override { destroyed().clear(); }

    // Two windows showing the bar, and the application object.
    static void makeAll() {
        fw::Instance<FirstWindow>();
        fw::Instance<SecondWindow>();
        fw::RuntimeRegisterAppObject(std::make_unique<TestApp>());
    }
    const std::vector<std::string> kShutDownOrder = {"SecondWindow with bar", "FirstWindow with bar", "application",
                                                     "bar"};

    int argc_ = 1;
    char name_[16] = "instances_test";
    char* argv_[2] = {name_, nullptr};
    std::optional<QApplication> qt_{std::in_place, argc_, argv_};
};

TEST_F(Instances, OneInstancePerClassEvenWithACommonBase) {
    FirstWindow& first = fw::Instance<FirstWindow>();
    EXPECT_EQ(&fw::Instance<FirstWindow>(), &first);
    EXPECT_FALSE(fw::IsLive<SecondWindow>());
    EXPECT_NE(static_cast<fw::Window*>(&fw::Instance<SecondWindow>()), &first);
    EXPECT_TRUE(fw::IsLive<SecondWindow>());
    EXPECT_EQ(fw::LiveWindows(), (std::vector<QString>{"FirstWindow", "SecondWindow"}));
}

TEST_F(Instances, AWindowThatFailsToOpenIsNotKept) {
    fw::Instance<FirstWindow>();
    EXPECT_THROW(fw::Instance<BrokenWindow>(), std::runtime_error);
    EXPECT_FALSE(fw::IsLive<BrokenWindow>());
    EXPECT_EQ(fw::LiveWindows(), std::vector<QString>{"FirstWindow"});
}

TEST_F(Instances, DestroyAllGoesInShutDownOrderAndStartsAfresh) {
    makeAll();
    fw::DestroyAllInstances();
    EXPECT_EQ(destroyed(), kShutDownOrder);
    EXPECT_TRUE(fw::LiveWindows().empty());
    EXPECT_EQ(fw::AppObject(), nullptr);
    EXPECT_FALSE(fw::IsLive<TestBar>());
    fw::Instance<FirstWindow>();
    EXPECT_TRUE(fw::IsLive<TestBar>());
}

// Nothing is released by hand: the Qt application takes everything with it,
// each time one goes.
TEST_F(Instances, TheQtApplicationTakesThemAllInShutDownOrder) {
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        destroyed().clear();
        if (!qt_) qt_.emplace(argc_, argv_);
        makeAll();
        qt_.reset();
        EXPECT_EQ(destroyed(), kShutDownOrder);
        EXPECT_TRUE(fw::LiveWindows().empty());
    }
}
