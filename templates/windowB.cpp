#include "templates/windowB.h"

#include "framework/Instances.h"
#include "templates/TemplateDesign.h"

namespace {

// The end of the grading function and of the head, the white body, and the
// page's form with the title header and the "New Problems" button. The form
// ignores a submit (Enter in an answer box would reload the page and lose the
// answers). "xxxx" is the title; the first problem continues the last line.
const QString kPageBodyFragment = JoinLines({
    "else{alert(\"You must use the 'New Problems' button first\")} };</script></HEAD>",
    "<BODY BGCOLOR=\"#FFFFFF\">",
    "<FORM onSubmit='return false'> "
    "<table border=0 align=right> <tr> <td align=right valign='bottom'> <b><font face=' sans-serif'> <font size=+1 color=555555>xxxx</font><br> <font size=+1 color=000000>Practice Problems</font></font></b> </td> <td valign='bottom'><img src='small.gif'></td> </tr></tr> </table> "
    "<br clear=all><p><br> <BASEFONT SIZE=4><HR> "
    "<TABLE> <TR> <TD><INPUT TYPE= 'button' VALUE='New Problems' onClick='location.reload()' ></TD> <TD><FONT SIZE=3> <B>New Problems</B> reloads the page with new  variable values in all questions. You must do this after grading the test to rework it another time. </FONT><BR><B>Make sure to enter your answers in the specified units .</B></TD><TR> </TABLE> ",
});

}  // namespace

windowB::windowB()
    : TemplateWindow(TemplateWindowDesign(QStringLiteral("B"), 632, 602),
                     {FragmentArea(20, 14, 579, 557, kPageBodyFragment)}) {}

class windowB& windowB() {
    return fw::Instance<class windowB>();
}
