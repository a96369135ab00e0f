// Windows made from designs. Their single instances and the owner that
// destroys them are in Instances.h.
#pragma once

#include "Controls.h"
#include "Design.h"
#include "Menus.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

class QWidget;

namespace fw {

class WindowWidget;

class Window {
public:
    Window(WindowDesign design, std::vector<ControlDesign> controls);
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void Show();
    void Hide();
    bool Visible() const;
    QString Title() const;

    // The control of that name, typed by its kind; throws std::logic_error
    // naming the control when there is none or it is of another kind.
    template <class C>
    C& control(const QString& name) const {
        Control* c = findControl(name);
        if (auto* typed = dynamic_cast<C*>(c)) return *typed;
        throw std::logic_error(
            ("window \"" + className_ + "\" has no control \"" + name + (c ? "\" of that kind" : "\"")).toStdString());
    }
    const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

    // Shows the bar above the content area. The window does not own the bar,
    // which must outlive it: the instance owner (Instances.h) sees to that.
    void SetMenuBar(MenuBar* bar);
    MenuBar* GetMenuBar() const { return menuBar_; }
    // Registers the handler of the menu item of that name on this window.
    void AddMenuHandler(const QString& itemName, std::function<bool()> handler);
    // Chooses the menu item of that name, as the user does through the menu bar.
    void ChooseMenuItem(const QString& itemName);
    // Brings the menu items' enabled state up to date, as before a menu opens:
    // the clipboard is read to know whether Paste can act.
    void UpdateMenus();

    const WindowDesign& design() const { return design_; }
    // The window's class name, for messages and listings; set by construct().
    const QString& className() const { return className_; }
    QWidget* widget() const;  // the top-level widget, for screenshots and tests

    // Creates the window from its design: Layout, CreateControls,
    // AddMenuHandlers, the Open event, then shows it when the design says
    // visible. Called once, by Instance<W>() (Instances.h).
    void construct();

protected:
    virtual void Layout();          // applies the window properties
    virtual void CreateControls();  // creates every control of the design, in order
    virtual void AddMenuHandlers() {}
    virtual void Event_Open() {}
    virtual void Event_EnableMenuItems() {}

    Control& CreateControl(const ControlDesign& design);
    const std::vector<ControlDesign>& controlDesigns() const { return controlDesigns_; }
    void BindAction(const QString& controlName, std::function<void()> handler);

private:
    // Brings every item up to date and raises EnableMenuItems. Reading the
    // clipboard can mean a round trip to the program that holds it and a copy
    // of all its text, so only a menu about to open, or an item about to be
    // chosen, reads it (Read); other updates go by what the last read found
    // (Remembered). A clipboard not
    // read since it changed counts as holding text: that guess can neither
    // block a paste nor show a wrong item, since a focused text control takes
    // the editing shortcuts before the menu does, and a menu reads the
    // clipboard before it opens.
    enum class Clipboard { Read, Remembered };
    void refreshMenus(Clipboard clipboard);
    // The Edit items alone, the ones that follow the focus and the clipboard;
    // the clipboard is not read.
    void refreshEditItems();
    Control* findControl(const QString& name) const;
    void buildMenuBar();
    void dispatch(MenuItem& item);
    friend class WindowWidget;

    WindowDesign design_;
    std::vector<ControlDesign> controlDesigns_;
    QString className_;
    std::unique_ptr<WindowWidget> widget_;
    std::vector<std::unique_ptr<Control>> controls_;
    MenuBar* menuBar_ = nullptr;
    std::map<QString, std::function<bool()>> menuHandlers_;
    std::optional<bool> clipboardHoldsText_;  // as last read; unknown once it changes
};

}  // namespace fw
