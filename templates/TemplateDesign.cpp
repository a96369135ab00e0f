#include "templates/TemplateDesign.h"

#include <QStringList>

QString JoinLines(std::initializer_list<QString> lines) { return QStringList(lines).join(QChar(u'\r')); }

fw::WindowDesign TemplateWindowDesign(const QString& title, int width, int height, bool visible) {
    fw::WindowDesign design;
    design.title = title;
    design.width = width;
    design.height = height;
    design.visible = visible;
    design.resizeable = true;
    design.minimizeButton = true;
    design.maximizeButton = true;
    design.backColor = fw::kNoColor;
    return design;
}

fw::ControlDesign FragmentArea(int left, int top, int width, int height, const QString& text) {
    // clang-format off
    return {.kind = fw::Kind::TextArea, .name = QStringLiteral("EditField1"), .left = left, .top = top,
            .width = width, .height = height, .textSize = 12, .text = text, .style = fw::Multiline,
            .textColor = 0x000000, .fillColor = 0xFFFFFF, .parent = {}};
    // clang-format on
}
