// The product name, credits and a link to the program's web page.
#pragma once

#include "framework/Window.h"

class AboutWindow : public fw::Window {
public:
    AboutWindow();
    bool StaticText3_MouseDown(int x, int y);  // opens the link's address

    fw::Shape& Rectangle1() const { return control<fw::Shape>(QStringLiteral("Rectangle1")); }
    fw::StaticText& StaticText1() const { return control<fw::StaticText>(QStringLiteral("StaticText1")); }
    fw::StaticText& StaticText2() const { return control<fw::StaticText>(QStringLiteral("StaticText2")); }
    fw::StaticText& StaticText3() const { return control<fw::StaticText>(QStringLiteral("StaticText3")); }

protected:
    void CreateControls() override;
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"  // the accessor is named after its class on purpose
AboutWindow& AboutWindow();
#pragma GCC diagnostic pop
