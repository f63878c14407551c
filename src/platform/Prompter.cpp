#include "platform/Prompter.h"

#include <cstdlib>
#include <cstdio>

namespace {
Prompter *&slot()
{
    static Prompter *prompter = nullptr;
    return prompter;
}
} // namespace

Prompter &Prompter::current()
{
    if (!slot()) {
        std::fputs("Tolm Export: no prompter installed\n", stderr);
        std::abort();
    }
    return *slot();
}

void Prompter::setCurrent(Prompter *prompter)
{
    slot() = prompter;
}
