// The host program. Its shell (login, main window, navigator) is being built;
// until then it says so and ends.
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::fputs("Korvane: the main window is not built yet. What works so far is covered by "
               "scripts/test.sh.\n", stdout);
    return 0;
}
