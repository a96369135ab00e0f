#include "templates/WindowF.h"

#include "framework/Globals.h"
#include "framework/Instances.h"
#include "templates/Placeholders.h"
#include "templates/TemplateDesign.h"

namespace {

// The CGI results form: it continues the report's open string, closes it with
// "');", writes the script that sends the form, closes the results document
// and fills grade, referrer and date. "xxxx" is the title, the subject of the
// mail; the placeholder address is the teacher's form-mail script.
const QString kCgiFormFragment = JoinLines({
    "<BR><FORM action=\"" + kUrlPlaceholder +
        "\" Method=\"Post\" ENCTYPE=\"application/x-www-form-urlencoded\" > "
        "<input type=hidden name=\"send_to\" value=\"\"><input type=hidden name=\"subject\" value=\"xxxx\"><input type=hidden name=\"field_order\" value=\"subject,fullname,passWd,class,grade,quesgrades,date,referrer\"><INPUT NAME=\"grade\" TYPE=Hidden><INPUT NAME=\"quesgrades\" TYPE=Hidden><INPUT NAME=\"referrer\" TYPE=Hidden><INPUT NAME=\"date\" TYPE=Hidden>"
        "<BLOCKQUOTE><h2>Report Information</h2><p></P><TABLE BORDER=0 CELLSPACING=0  > "
        "<TR><TH>My Name:</TH><TD><input name=\"fullname\" type=text ></TD></TR>"
        "<TR><TH>My Passwrd/ID:</TH><TD><input name=\"passWd\" type=\"password\"></TD></TR>"
        "<tr><TH>My Class:</TH><TD><input name=\"class\" type=text ></TD></TR>"
        "<TR><TD COLSPAN=\"2\" ><H3>E-mail my results<H3></TD></TR>"
        "<TR ><TD></TD><TD><BIG><I>E-mail Address</I></BIG></TD></TR>"
        "<TR><TH>Me (required): </TH><TD><input name=\"email\" type=text ></TD></TR>"
        "<TR><TH>Instructor : </TH><TD><input name=\"instructor\" type=text ></TD></TR>"
        "</TABLE>"
        "<BR><INPUT  TYPE=button value=\"E-Mail Results\"  onClick=\"mailit(this.form)\"><INPUT  TYPE=button VALUE=\"Close\" onClick=\"self.close()\">"
        "</FORM></BLOCKQUOTE><hr noshade><BR>');",
    "msg.document.write(\"<SCRIPT LANGUAGE='Jav\");",
    "msg.document.write(\"aScript1.2'>function mailit(obj){obj.send_to.value=obj.instructor.value;if(obj.fullname.value!=''){obj.submit()}else{alert('Please Enter Your Name')}}\");",
    "msg.document.write(\"<\\/script></body></html>\");",
    "msg.document.close();msg.document.forms[0].grade.value=grade;msg.document.forms[0].referrer.value=catc;msg.document.forms[0].date.value=Date();",
});

// What to put in place of the highlighted host; ends with a line break.
const QString kCgiInstructions = JoinLines({
    "This is set up to use the simple form mail cgi (called generiform cgi) available at  " + kGeneriformHomeAddress +
        " ",
    "If you use this and call it form.pl and put it in your cgi-bin then all you have to do is replace the highlighted text with your domain name.",
    "If you use another cgi you will have to edit this page further following the instructions supplied with the cgi. The first three inputs are for generiform cgi and should be removed if use another cgi. ",
    "",
});

const QString kPrefNote = QStringLiteral(
    "You can avoid this step in the future by including a text file in the same folder as this application "
    "titled pref.txt with the full address of your cgi in it (everything between the \" \".)");

fw::WindowDesign windowDesign() { return TemplateWindowDesign(QStringLiteral("Edit Domain"), 627, 550); }

std::vector<fw::ControlDesign> controlTable() {
    using fw::Kind;
    // clang-format off
    return {
        FragmentArea(8, 7, 600, 287, kCgiFormFragment),
        {.kind = Kind::StaticText, .name = QStringLiteral("StaticText1"), .left = 8, .top = 306, .width = 593,
         .height = 96, .textSize = 10, .text = kCgiInstructions, .style = fw::Bold | fw::Multiline, .parent = {}},
        {.kind = Kind::PushButton, .name = QStringLiteral("PushButton1"), .left = 481, .top = 485, .width = 89,
         .height = 40, .textSize = 12, .text = QStringLiteral("DONE"), .style = fw::Bold, .parent = {}},
        {.kind = Kind::StaticText, .name = QStringLiteral("StaticText2"), .left = 8, .top = 406, .width = 562,
         .height = 72, .textSize = 12, .text = kPrefNote, .style = fw::Bold | fw::Multiline, .textColor = 0xF63F1B, .parent = {}},
    };
    // clang-format on
}

}  // namespace

WindowF::WindowF() : FormEditorWindow(windowDesign(), controlTable()) {}

// Selects the placeholder's host, so that typing the teacher's domain replaces it.
void WindowF::Event_Open() {
    EditField1().SetSelLength(int(kUrlPlaceholderHost.size()));
    EditField1().SetSelStart(fw::InStr(0, EditField1().Text(), kUrlPlaceholderHost) - 1);
}

class WindowF& WindowF() {
    return fw::Instance<class WindowF>();
}
