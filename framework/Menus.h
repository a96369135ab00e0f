// Menu items and menu bars. A bar is a tree of named items; a window that has
// a bar shows it and dispatches a chosen item to the handler registered
// under the item's name.
#pragma once

#include <QAction>
#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

namespace fw {

class MenuItem {
public:
    MenuItem() = default;
    virtual ~MenuItem();
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    const QString& Name() const { return name_; }
    void SetName(const QString& name) { name_ = name; }
    const QString& Text() const { return text_; }
    void SetText(const QString& text) { text_ = text; }
    // "Cmd+Q" style; Cmd is the platform's command key (Ctrl here).
    const QString& KeyboardShortcut() const { return shortcut_; }
    void SetKeyboardShortcut(const QString& shortcut) { shortcut_ = shortcut; }
    bool AutoEnable() const { return autoEnable_; }
    void SetAutoEnable(bool on) { autoEnable_ = on; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);
    bool IsSeparator() const { return text_ == QLatin1String("-"); }

    // Adds item at the end of this menu; this menu owns it.
    void Append(std::unique_ptr<MenuItem> item);
    int Count() const { return int(children_.size()); }
    MenuItem& Item(int index) const { return *children_.at(size_t(index)); }
    // The direct child of that name, or nullptr.
    MenuItem* Child(const QString& name) const;
    // The item of that name at any depth below this one, or nullptr.
    MenuItem* Lookup(const QString& name) const;

    // What choosing the item does by itself; false when it has no action of its own.
    virtual bool OwnAction() { return false; }

    void bindAction(QAction* action) { action_ = action; }

private:
    QString name_, text_, shortcut_;
    bool autoEnable_ = false;
    bool enabled_ = true;
    QPointer<QAction> action_;
    std::vector<std::unique_ptr<MenuItem>> children_;
};

// An item whose own action quits the application.
class QuitMenuItem : public MenuItem {
public:
    bool OwnAction() override;
};

// The item that names the application's about box.
class AppleMenuItem : public MenuItem {};

// The root of a menu tree: its children are the menus shown in the bar.
class MenuBar : public MenuItem {};

}  // namespace fw
