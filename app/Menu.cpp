#include "app/Menu.h"

#include "framework/Instances.h"

#include <memory>
#include <span>
#include <stdexcept>

Menu::Menu() {
    Untitled1();
    Untitled2();
    Untitled3();
    Untitled4();
}

namespace {

struct ItemRow {
    enum Class { Plain, Quit, Apple } itemClass;
    const char* name;
    const char* text;
    const char* shortcut;  // nullptr: none set
    bool autoEnable;
    const char* parent;  // "" : the bar
};

std::unique_ptr<fw::MenuItem> makeItem(ItemRow::Class itemClass) {
    switch (itemClass) {
    case ItemRow::Quit: return std::make_unique<fw::QuitMenuItem>();
    case ItemRow::Apple: return std::make_unique<fw::AppleMenuItem>();
    case ItemRow::Plain: break;
    }
    return std::make_unique<fw::MenuItem>();
}

const ItemRow kFileMenu[] = {
    {ItemRow::Plain, "UntitledMenu4", "File", "", false, ""},
    {ItemRow::Quit, "FileQuit", "Quit", "Cmd+Q", true, "UntitledMenu4"},
};

const ItemRow kEditMenu[] = {
    {ItemRow::Plain, "UntitledMenu2", "Edit", "", false, ""},
    {ItemRow::Plain, "EditUndo", "Undo", "Cmd+Z", false, "UntitledMenu2"},
    {ItemRow::Plain, "UntitledMenu3", "-", nullptr, false, "UntitledMenu2"},
    {ItemRow::Plain, "EditCut", "Cut", "Cmd+X", false, "UntitledMenu2"},
    {ItemRow::Plain, "EditCopy", "Copy", "Cmd+C", false, "UntitledMenu2"},
    {ItemRow::Plain, "EditPaste", "Paste", "Cmd+V", false, "UntitledMenu2"},
    {ItemRow::Plain, "EditClear", "Clear", "", false, "UntitledMenu2"},
};

const ItemRow kUntitledMenu[] = {
    {ItemRow::Plain, "UntitledMenu1", "", "", false, ""},
};

const ItemRow kHelpMenu[] = {
    {ItemRow::Plain, "UntitledMenu0", "Help", "", false, ""},
    {ItemRow::Plain, "HelpHelp", "Help", "Cmd+H", false, "UntitledMenu0"},
    {ItemRow::Apple, "AppleAbout", "About Qlry3", "", false, "UntitledMenu0"},
};

// Builds one menu: each item gets its name, auto-enable flag, text and
// shortcut (the separator none at all), then goes onto the bar or into the
// top-level menu of its row, looked up afresh for every item.
void build(fw::MenuBar& bar, std::span<const ItemRow> rows) {
    for (const ItemRow& row : rows) {
        std::unique_ptr<fw::MenuItem> item = makeItem(row.itemClass);
        item->SetName(QString::fromLatin1(row.name));
        item->SetAutoEnable(row.autoEnable);
        item->SetText(QString::fromLatin1(row.text));
        if (row.shortcut) item->SetKeyboardShortcut(QString::fromLatin1(row.shortcut));
        if (*row.parent == '\0') {
            bar.Append(std::move(item));
            continue;
        }
        fw::MenuItem* parent = bar.Child(QString::fromLatin1(row.parent));
        if (!parent) throw std::logic_error(std::string("menu bar has no menu ") + row.parent);
        parent->Append(std::move(item));
    }
}

}  // namespace

void Menu::Untitled1() { build(*this, kFileMenu); }
void Menu::Untitled2() { build(*this, kEditMenu); }
void Menu::Untitled3() { build(*this, kUntitledMenu); }
void Menu::Untitled4() { build(*this, kHelpMenu); }

class Menu& Menu() {
    return fw::Instance<class Menu>();
}
