// Placeholder run driver until the front end lands.
#include "driver.h"

int run_ferrox(const std::vector<std::string>&, Console& console, Shell&) {
    console.print("\n\nERROR:  ferrox is not complete yet\n\n");
    return -1;
}
