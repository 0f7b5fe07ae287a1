// Standard output sink of tagsmith.
#include "label_console.h"

#include <cstdio>

namespace tagsmith {

void StdConsole::print(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace tagsmith
