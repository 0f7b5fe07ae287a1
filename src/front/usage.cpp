// The usage blocks; they list only the options users are meant to know.
#include "usage.h"

namespace {

constexpr const char* kCorvaneUsage =
    "\n\n     -users | -defects | -features |  -parts\n"
    "     -o  outputFileName\n"
    "     -map | -nomap\n"
    "     -valuemap valueMapFile\n"
    "     -usermap userMapFile\n"
    "     -where sql query string for CVN or VANDOR Server\n"
    "     -partspec partSpecFile\n"
    "     -relspec  relSpecFile  |  -release releaseName\n"
    "     -partindex nn\n"
    "     -crlf \n"
    "     -target NT | UNIX\n"
    "     -jobs nn\n"
    "     -verify partsExportFile\n"
    "     -retries nn  -timeout secs  -resume  -progress  -plan\n\n";

constexpr const char* kVandorUsage =
    "\n\n     -users | -defects | -features |  -parts\n"
    "     -o  outputFileName\n"
    "     -map | -nomap\n"
    "     -valuemap valueMapFile\n"
    "     -usermap userMapFile\n"
    "     -partspec partSpecFile\n"
    "     -relspec  relSpecFile  |  -release releaseName\n"
    "     -partindex nn\n"
    "     -crlf \n"
    "     -target NT | UNIX\n"
    "     -componentlabels\n"
    "     -sidlabels\n"
    "     -jobs nn\n"
    "     -verify partsExportFile\n"
    "     -retries nn  -timeout secs  -resume  -progress  -plan\n\n";

// Every option the parse accepts, one line each, in the order of the parse.
constexpr const char* kOptionLines =
    "Every option:\n\n"
    "     -defects            export the defects (defectsExport.txt)\n"
    "     -features           export the features (featuresExport.txt)\n"
    "     -users              export the users (usersExport.txt)\n"
    "     -parts              export the parts of releases (partsExport.txt and the saved files)\n"
    "     -nomap              defects and features with the server's own fields and values\n"
    "     -map                defects and features in Sabrex's fields and values (the default)\n"
    "     -crlf               extract commands that ask for CR LF line ends\n"
    "     -workareas          Corvane: part lists also take parts of work areas in fix or integrate\n"
    "     -revisionlabels     Corvane: every exported version also gets its REVISION- label\n"
    "     -levellabels        Vandor: LEVEL- labels (always on)\n"
    "     -sidlabels          Vandor: every exported version also gets its SID- label\n"
    "     -componentlabels    Vandor: every exported version also gets its COMPONENT- label\n"
    "     -o file             the export file's name, in place of the export's default\n"
    "     -partindex nn       -partspec lines sent to the server in one query (default 20)\n"
    "     -jobs nn            client calls under way at once, 1 to 64 (default 1)\n"
    "     -target NT|UNIX     the system the extract commands are written for (default NT)\n"
    "     -query text         accepted for old scripts; it changes nothing\n"
    "     -infile file        export this raw report file of an earlier run instead of asking the server\n"
    "     -committedFile file Vandor: keep the last part's committed versions answer in this file\n"
    "     -where condition    the selection condition in place of the release condition\n"
    "     -valuemap file      under -map, value pairs of your own: field|server value|target value\n"
    "     -usermap file       logins renamed in every file written: server login|target login\n"
    "     -release name       the release whose parts are exported (after -parts)\n"
    "     -partspec file      only the parts and like patterns of this file, one a line (after -parts)\n"
    "     -since date         only versions changed at YYYY/MM/DD HH:MM:SS or later (after -parts)\n"
    "     -verify file        check an element import file of an earlier run instead of writing one\n"
    "     -relspec file       the releases of this file, one a line (after -parts)\n"
    "     -retries nn         try a failed client call again up to nn times, 0 to 10 (default 0)\n"
    "     -timeout secs       stop a client call still running after secs seconds; it counts as failed\n"
    "     -resume             go on from the journal of an earlier run that did not finish\n"
    "     -progress           keep a line on standard error with parts or records done and time left\n"
    "     -plan               only the connection test and the selection: what the export would take\n"
    "     -h, --help, /?      this text\n\n";

}  // namespace

std::string option_lines() { return kOptionLines; }

std::string usage_text(ServerKind kind) {
    return kind == ServerKind::Corvane ? std::string("ferrox_cvn") + kCorvaneUsage
                                       : std::string("ferrox_vandor") + kVandorUsage;
}

std::string invalid_parameters_text(ServerKind kind) {
    return "\nERROR:  Invalid Parameters\n\nCorrect Usage:\n\n" + usage_text(kind);
}
