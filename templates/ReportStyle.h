// The write that both results report scripts share: the head of the results
// page with its BLOCKQUOTE style, the white body that takes the focus, and a
// rule. It ends with ")" and no semicolon; the line break ends the statement.
#pragma once

#include <QString>

inline const QString kReportStyleWrite = QStringLiteral(
    "msg.document.write(\"<html><head> <STYLE TYPE='text/css'>"
    "BLOCKQUOTE {BORDER-STYLE: none;BORDER-COLOR: #d9d9d9;BORDER-LEFT-WIDTH: 1px;BORDER-BOTTOM-WIDTH: 1px;BORDER-RIGHT-WIDTH: 1px;BORDER-TOP-WIDTH: 1px;PADDING-LEFT: 5px;PADDING-BOTTOM: 5px;PADDING-RIGHT: 5px;PADDING-TOP: 5px;BACKGROUND-COLOR: #d9d9d9;FONT-SIZE: 14px;FONT-WEIGHT: 400;FONT-STYLE: normal;COLOR: black}"
    "</STYLE></head><BODY  bgcolor='#FFFFFF'  onLoad='focus()' ><HR noshade>\")");
