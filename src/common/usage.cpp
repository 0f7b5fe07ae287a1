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
    "     -verify partsExportFile\n\n";

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
    "     -verify partsExportFile\n\n";

}  // namespace

std::string usage_text(ServerKind kind) {
    return kind == ServerKind::Corvane ? std::string("ferrox_cvn") + kCorvaneUsage
                                       : std::string("ferrox_vandor") + kVandorUsage;
}

std::string invalid_parameters_text(ServerKind kind) {
    return "\nERROR:  Invalid Parameters\n\nCorrect Usage:\n\n" + usage_text(kind);
}
