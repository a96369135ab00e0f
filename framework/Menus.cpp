#include "framework/Menus.h"

#include "framework/Globals.h"

namespace fw {

MenuItem::~MenuItem() = default;

void MenuItem::SetEnabled(bool on) {
    enabled_ = on;
    if (action_) action_->setEnabled(on);
}

void MenuItem::Append(std::unique_ptr<MenuItem> item) { children_.push_back(std::move(item)); }

MenuItem* MenuItem::Child(const QString& name) const {
    for (const auto& child : children_) {
        if (child->Name() == name) return child.get();
    }
    return nullptr;
}

MenuItem* MenuItem::Lookup(const QString& name) const {
    for (const auto& child : children_) {
        if (child->Name() == name) return child.get();
        if (MenuItem* found = child->Lookup(name)) return found;
    }
    return nullptr;
}

bool QuitMenuItem::OwnAction() {
    Quit(0);
    return true;
}

}  // namespace fw
