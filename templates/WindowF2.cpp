#include "templates/WindowF2.h"

#include "framework/Globals.h"
#include "framework/Instances.h"
#include "templates/Placeholders.h"
#include "templates/TemplateDesign.h"

namespace {

// The mailto: results form: it continues the report's open string, closes it
// with "');", writes the script that addresses and checks the form, closes
// the results document and fills grade, referrer and date. "xxxx" is the
// title, the subject of the mail; the placeholder address is the teacher's.
const QString kMailtoFormFragment = JoinLines({
    "<BR><FORM Method=\"Post\" ENCTYPE=\"text/plain\" onSubmit=\"return validate()\" > "
    "<input type=hidden name=\"send_to\" value=\"\"><input type=hidden name=\"subject\" value=\"xxxx\"><INPUT NAME=\"grade\" TYPE=Hidden><INPUT NAME=\"quesgrades\" TYPE=Hidden><INPUT NAME=\"referrer\" TYPE=Hidden><INPUT NAME=\"date\" TYPE=Hidden>"
    "<BLOCKQUOTE><h2> Your Information</h2><p></P><TABLE BORDER=0 CELLSPACING=0  > "
    "<TR><TH>My Name</TH><TD><input name=\"fullname\" type=text ></TD></TR>"
    "<TR><TD COLSPAN=\"2\" ></TD></TR>"
    "<TR ><TD></TD><TD></TD></TR>"
    "<TR><TH>My Class: </TH><TD><input name=\"class\" type=text ></TD></TR>"
    "><TH>My Password/ID: </TH><TD><input name=\"PWorID\" type=\"password\" ></TD></TR>"
    "<TR><TH> </TH><TD><input name=\"instructor\" type=hidden value=\"" +
        kEmailPlaceholder +
        "\" ></TD></TR></TABLE>"
        "<BR><INPUT  TYPE=submit value=\"E-Mail Results\"  onClick=\"mailit(this.form)\"><INPUT  TYPE=button VALUE=\"Close\" onClick=\"self.close()\">"
        "</FORM></BLOCKQUOTE><hr noshade><BR></body></html>');",
    "msg.document.write(\"<SCRIPT LANGUAGE='Jav\");",
    "msg.document.write(\"aScript1.2'>function mailit(obj){obj.action='mailto:'+obj.instructor.value+'?subject='+encodeURIComponent(obj.subject.value)};function validate(){if(document.forms[0].fullname.value!=\\\"\\\"){return true;}else{alert(\\\"Please fill in your name\\\");return false;}};\");",
    "msg.document.write(\"<\\/script></body></html>\");",
    "msg.document.close();msg.document.forms[0].grade.value=grade;msg.document.forms[0].referrer.value=catc;msg.document.forms[0].date.value=Date();",
});

const QString kPrefeNote = QStringLiteral(
    "You can avoid this step in the future by including a text file in the same folder as this application "
    "titled prefe.txt with your full email address in it (everything between the \" \".)");

fw::WindowDesign windowDesign() { return TemplateWindowDesign(QStringLiteral("Edit Email"), 636, 540); }

std::vector<fw::ControlDesign> controlTable() {
    using fw::Kind;
    // clang-format off
    return {
        FragmentArea(20, 14, 594, 313, kMailtoFormFragment),
        {.kind = Kind::StaticText, .name = QStringLiteral("StaticText1"), .left = 20, .top = 350, .width = 580,
         .height = 54, .textSize = 14, .text = QStringLiteral("Simply replace the highlighted text with your email address."),
         .style = fw::Bold | fw::Multiline | fw::AlignCenter, .parent = {}},
        {.kind = Kind::PushButton, .name = QStringLiteral("PushButton1"), .left = 526, .top = 489, .width = 74,
         .height = 31, .textSize = 12, .text = QStringLiteral("DONE"), .style = fw::Bold, .parent = {}},
        {.kind = Kind::StaticText, .name = QStringLiteral("StaticText2"), .left = 20, .top = 384, .width = 594,
         .height = 71, .textSize = 12, .text = kPrefeNote, .style = fw::Bold | fw::Multiline, .textColor = 0xF63F1B, .parent = {}},
    };
    // clang-format on
}

}  // namespace

WindowF2::WindowF2() : FormEditorWindow(windowDesign(), controlTable()) {}

// Selects the placeholder address, so that typing the teacher's replaces it.
void WindowF2::Event_Open() {
    EditField1().SetSelLength(int(kEmailPlaceholder.size()));
    EditField1().SetSelStart(fw::InStr(0, EditField1().Text(), kEmailPlaceholder) - 1);
}

class WindowF2& WindowF2() {
    return fw::Instance<class WindowF2>();
}
