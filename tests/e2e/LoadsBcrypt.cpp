// Loads bcrypt.dll by its bare name, as a program does that neither restricts the DLL search nor
// names the system directory: the loader looks in the program's own folder first.
#include <windows.h>

int main() {
    return ::LoadLibraryA("bcrypt.dll") != nullptr ? 0 : 1;
}
