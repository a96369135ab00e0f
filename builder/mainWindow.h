// The test builder's window: title, delivery mode, and problem after problem
// the statement, variable ranges, solution, error margin and answer decimals.
#pragma once

#include "framework/Window.h"

class mainWindow : public fw::Window {
public:
    mainWindow();

    // Action handlers of the four action controls.
    void nextButton1_Action();   // "Submit Problem"
    void PushButton1_Action();   // "Done"
    void RadioButton1_Action();  // "Use mailto:"
    void RadioButton2_Action();  // "Use CGI"

    // Menu items of the window's menu bar, looked up by name.
    fw::MenuItem& UntitledMenu0() const;
    fw::AppleMenuItem& AppleAbout() const;
    fw::MenuItem& HelpHelp() const;
    fw::MenuItem& UntitledMenu1() const;
    fw::MenuItem& UntitledMenu2() const;
    fw::MenuItem& EditClear() const;
    fw::MenuItem& EditPaste() const;
    fw::MenuItem& EditCopy() const;
    fw::MenuItem& EditCut() const;
    fw::MenuItem& UntitledMenu3() const;
    fw::MenuItem& EditUndo() const;
    fw::MenuItem& UntitledMenu4() const;
    fw::QuitMenuItem& FileQuit() const;
    fw::MenuItem& UntitledMenu5() const;

    bool AppleAbout_Action();  // shows the About window
    bool HelpHelp_Action();    // shows the Help window

    // Controls, by name.
    fw::TextArea& probField() const { return control<fw::TextArea>(QStringLiteral("probField")); }
    fw::TextField& var1min() const { return field(QStringLiteral("var1min")); }
    fw::TextField& var1max() const { return field(QStringLiteral("var1max")); }
    fw::TextField& var1dec() const { return field(QStringLiteral("var1dec")); }
    fw::TextField& var2min() const { return field(QStringLiteral("var2min")); }
    fw::TextField& var2max() const { return field(QStringLiteral("var2max")); }
    fw::TextField& var2dec() const { return field(QStringLiteral("var2dec")); }
    fw::TextField& var3min() const { return field(QStringLiteral("var3min")); }
    fw::TextField& var3max() const { return field(QStringLiteral("var3max")); }
    fw::TextField& var3dec() const { return field(QStringLiteral("var3dec")); }
    fw::TextField& solField() const { return field(QStringLiteral("solField")); }
    fw::TextField& EditField5() const { return field(QStringLiteral("EditField5")); }
    fw::TextField& numField6() const { return field(QStringLiteral("numField6")); }
    fw::Listbox& errorbox() const { return control<fw::Listbox>(QStringLiteral("errorbox")); }
    fw::Listbox& decBox() const { return control<fw::Listbox>(QStringLiteral("decBox")); }
    fw::PushButton& nextButton1() const { return control<fw::PushButton>(QStringLiteral("nextButton1")); }
    fw::PushButton& PushButton1() const { return control<fw::PushButton>(QStringLiteral("PushButton1")); }
    fw::RadioButton& RadioButton1() const { return control<fw::RadioButton>(QStringLiteral("RadioButton1")); }
    fw::RadioButton& RadioButton2() const { return control<fw::RadioButton>(QStringLiteral("RadioButton2")); }

    // The minimum, maximum and decimals fields of one variable: 0 for [x]
    // (var1...), 1 for [y], 2 for [z].
    static constexpr int kVariableCount = 3;
    struct VariableFields {
        fw::TextField& min;
        fw::TextField& max;
        fw::TextField& dec;
    };
    VariableFields variableFields(int variable) const;

protected:
    void Layout() override;
    void CreateControls() override;
    void AddMenuHandlers() override;
    void Event_EnableMenuItems() override;
    // In the application's folder: settles an interrupted "Done", then applies
    // the preference files. Where that folder is unknown, says so instead.
    void Event_Open() override;

private:
    void CreateControls0();  // probField to solField
    void CreateControls1();  // errorbox to RadioButton2, and the buttons' actions
    fw::TextField& field(const QString& name) const { return control<fw::TextField>(name); }
    template <class T>
    T& menuItem(const char* name) const;
};

// The single instance, created and shown on first use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"  // the accessor is named after its class on purpose
mainWindow& mainWindow();
#pragma GCC diagnostic pop
