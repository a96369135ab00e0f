#include "framework/Instances.h"

#include "framework/Runtime.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <utility>

namespace fw {
namespace {

template <class T>
struct Record {
    std::type_index type;
    std::unique_ptr<T> object;
};

template <class T>
T* find(const std::vector<Record<T>>& records, std::type_index type) {
    for (const Record<T>& record : records) {
        if (record.type == type) return record.object.get();
    }
    return nullptr;
}

// Destroys the newest object first. Each leaves the list before it is
// destroyed, so a destructor that asks for it finds it gone.
template <class T>
void destroyNewestFirst(std::vector<Record<T>>& records) {
    while (!records.empty()) {
        std::unique_ptr<T> doomed = std::move(records.back().object);
        records.pop_back();
    }
}

struct Owner {
    ~Owner() { destroyAll(); }

    void destroyAll() {
        destroyNewestFirst(windows);
        app.reset();
        destroyNewestFirst(menuBars);
    }

    std::unique_ptr<Application> app;
    std::vector<Record<MenuBar>> menuBars;
    std::vector<Record<Window>> windows;
    bool postRoutineAdded = false;
};

Owner& owner() {
    static Owner theOwner;
    return theOwner;
}

// Qt destroys what is left of the widgets when the Qt application goes; the
// windows must go before that, so the owner empties itself first. Qt runs the
// routine once, when the Qt application goes; it is added again with the
// first object made after that.
void emptyWhenTheQtApplicationGoes() {
    if (owner().postRoutineAdded) return;
    owner().postRoutineAdded = true;
    qAddPostRoutine([] {
        owner().postRoutineAdded = false;
        owner().destroyAll();
    });
}

}  // namespace

QString ClassName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    return QString::fromLatin1(status == 0 && name ? name.get() : type.name());
}

std::vector<QString> LiveWindows() {
    std::vector<QString> names;
    for (const auto& record : owner().windows) names.push_back(record.object->className());
    return names;
}

void DestroyAllInstances() { owner().destroyAll(); }

namespace instances {

Window* FindWindow(std::type_index type) { return find(owner().windows, type); }

void AddWindow(std::type_index type, std::unique_ptr<Window> window) {
    emptyWhenTheQtApplicationGoes();
    owner().windows.push_back({type, std::move(window)});
}

void RemoveWindow(std::type_index type) {
    auto& windows = owner().windows;
    const auto it = std::find_if(windows.begin(), windows.end(), [&](const auto& r) { return r.type == type; });
    if (it == windows.end()) return;
    std::unique_ptr<Window> doomed = std::move(it->object);
    windows.erase(it);
}

MenuBar* FindMenuBar(std::type_index type) { return find(owner().menuBars, type); }

MenuBar& AddMenuBar(std::type_index type, std::unique_ptr<MenuBar> bar) {
    emptyWhenTheQtApplicationGoes();
    owner().menuBars.push_back({type, std::move(bar)});
    return *owner().menuBars.back().object;
}

void SetApplication(std::unique_ptr<Application> app) {
    if (app) emptyWhenTheQtApplicationGoes();
    std::unique_ptr<Application> replaced = std::exchange(owner().app, std::move(app));
}

Application* FindApplication() { return owner().app.get(); }

}  // namespace instances
}  // namespace fw
