// The floor of any hand-off: a program that only looks for the running copy's
// window and makes (and deletes) a global atom, as a second copy of Velmora
// does before it ends.
#include <windows.h>

int main() {
    FindWindowA("Tmainform", nullptr);
    const ATOM atom = GlobalAddAtomA("127.0.0.1:27500 qws");
    GlobalDeleteAtom(atom);
    return 0;
}
